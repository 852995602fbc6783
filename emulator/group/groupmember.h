#pragma once

#include "emulatorrequest.h"
#include "groupmessage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

class EmulatorGroup;
class EmulatorWindow;
class LiveReload;
class QAction;

// One window's part in the group: placed beside the others before it shows, and, with
// Follow on, following their navigation, scrolling and clicks and leading them in turn. Its
// toolbar gets Follow, Open in all, Reload all and Live reload. What the window does because
// another one did it is never passed on again.
class GroupMember : public QObject
{
    Q_OBJECT

public:
    // Joins the group before `window` shows: moves it, and opens the group's address in it
    // when it was given none. Call before EmulatorWindow::Start.
    GroupMember(EmulatorWindow *window, const EmulatorRequest &request);
    ~GroupMember() override;

    static constexpr int FollowQuietMs = 1500;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Arrange(const GroupMessage &welcome);
    void BuildActions(const EmulatorRequest &request);
    void InstallFollowScript();
    void OnReceived(const GroupMessage &message);
    void OnUrlChanged(const QUrl &url);
    void Go(const QUrl &address);
    void RunInPage(const QString &call);
    void AnnounceWindow();
    bool Following() const;

    EmulatorWindow *window;
    EmulatorGroup *group;
    LiveReload *liveReload;
    QAction *followAction = nullptr;
    QTimer windowMoved;
    // Navigations caused by another window are not passed on until this has run out.
    QElapsedTimer sinceFollowed;
    QUrl followed;
    bool firstPage = true;
};
