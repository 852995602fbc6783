#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

// Shows another process's X11 top-level window (a browser started with a class of our own)
// inside this widget, as if it were one of ours: it never shows as a window of its own, its
// pop-ups open where the page is, it gets the keyboard when the page is clicked, and our
// window's shortcuts still reach us while it has the keyboard. X11 only (XWayland included).
class ForeignWindowView : public QWidget, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit ForeignWindowView(QWidget *parent = nullptr);
    ~ForeignWindowView() override;

    // Whether windows of other processes can be taken in here (the X11 platform).
    static bool Supported();

    // Takes in the top-level window whose WM_CLASS class is `windowClass` and, when the
    // window says so, whose process is `pid`; embedded() follows once it is shown here, or
    // failed() within `timeoutMs`. Called right after the process starts, its window never
    // shows on its own; a window that is already shown is taken in as well.
    void Embed(const QByteArray &windowClass, qint64 pid, int timeoutMs);
    bool isEmbedded() const { return foreign != 0; }
    quint32 foreignWindow() const { return foreign; }

    // A press in the page gives it the keyboard, before the page sees it; a press on one of
    // our own widgets takes the keyboard back.

    // Keys that must reach our window while the embedded one has the keyboard (or the pointer
    // over it); each press emits shortcutPressed() instead of reaching the page. Replaces the
    // previous list, and holds for windows embedded later.
    void GrabShortcuts(const QList<QKeySequence> &keys);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void embedded();
    void failed(const QString &problem);
    // The embedded window is gone (its process closed it or ended).
    void lost();
    void shortcutPressed(const QKeySequence &key);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Grab
    {
        quint8 keycode;
        quint16 modifiers;
    };

    void Claim(quint32 window);
    void Wrap();
    void Search();
    void Release();
    void SendPosition();
    void ApplyGrabs(bool grab);
    void TakeKeyboardBack(QWidget *clicked);

    QByteArray wantedClass;
    qint64 wantedPid = 0;
    bool searching = false;
    QTimer searchTimer;
    QTimer deadline;
    QTimer positionTimer;
    quint32 foreign = 0;
    class XThread;
    std::unique_ptr<XThread> watcher; // for the window, until it is taken in
    std::unique_ptr<XThread> presses; // for presses in it, while it is shown here
    QPointer<QWidget> container;
    QList<QKeySequence> shortcuts;
    QHash<quint32, QKeySequence> grabbed; // (keycode << 16 | modifiers) -> key
    QList<Grab> grabs;
};
