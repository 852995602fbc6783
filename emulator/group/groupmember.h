#pragma once

#include "core/emulatorrequest.h"
#include "engine/browserpage.h"
#include "group/groupmessage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

class EmulatorGroup;
class EmulatorWindow;
class LiveReload;
class QAction;

// One window's part in the group: placed beside the others before it shows, and, with
// Follow on, following their navigation, scrolling, clicks and typing and leading them in
// turn. Its toolbar gets Follow, Open in all, Reload all, Screenshot of all and Live reload.
// Only what the user did is passed on: what the window does because another one did it, and
// what a page does on its own, never are; what the user did within a page is applied only
// to the same page.
class GroupMember : public QObject
{
    Q_OBJECT

public:
    // Joins the group before `window` shows: moves it, and opens the group's address in it
    // when it was given none. Call before EmulatorWindow::Start.
    GroupMember(EmulatorWindow *window, const EmulatorRequest &request);
    ~GroupMember() override;

    // What the follow script reports through: one message as JSON; whether the page leaves
    // because of the user ("user") or by itself ("page"), or a click that opens no window
    // ("pressed").
    static const QString FollowBinding;
    static const QString LeavingBinding;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QSize> FrameSizes(int askedPercent);
    void Arrange(const GroupMessage &welcome);
    void BuildActions(const EmulatorRequest &request);
    void InstallFollowScript();
    void OnBinding(const QString &name, const QString &text);
    void OnReceived(const GroupMessage &message);
    void OnNavigated(const QUrl &url, BrowserPage::NavigationCause cause);
    void RunInPage(const QString &call);
    void SaveScreenshot(const QString &stamp);
    void AnnounceWindow();
    bool Following() const;

    EmulatorWindow *window;
    EmulatorGroup *group;
    LiveReload *liveReload;
    QAction *followAction = nullptr;
    QString profileName;
    bool shownByPage = false; // the page went to the address it shows on its own
    // What the page is doing, though right after the user's click: leaving by itself, or
    // opening a window when what was clicked opens none.
    bool leftByPage = false;
    bool leaving = false;
    bool openedByPage = false;
    QElapsedTimer sincePressed;
    QTimer windowMoved;
    QList<int> zoomChoices; // the zoom of each frame size offered to the group
    int zoomChoice = 0;     // the one taken
};
