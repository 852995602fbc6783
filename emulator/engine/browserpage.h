#pragma once

#include "core/device.h"
#include "core/useragentdetails.h"

#include <QByteArray>
#include <QJsonValue>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// One emulated page in a browser engine, as the window, the group, scripted runs and
// screenshots see it. The page sees the device for as long as this object lives; nothing
// here knows how the engine is reached.
class BrowserPage : public QObject
{
    Q_OBJECT

public:
    using Evaluated = std::function<void(const QJsonValue &value, const QString &problem)>;
    using Captured = std::function<void(const QByteArray &png, const QString &problem)>;

    // Where a script runs: beside the page's own scripts, which cannot reach it, or in the
    // page's world, to measure what the page itself sees.
    enum class World
    {
        Isolated,
        Page
    };
    Q_ENUM(World)

    // Why the shown page changed; a group passes on only what the user did.
    enum class NavigationCause
    {
        User,   // a click or key in the page, the address field, back or forward
        Script, // the page on its own: a timer, a redirect, a form sent by script
        Program // this program: the first page, a reload, a page opened for another window
    };
    Q_ENUM(NavigationCause)

    using QObject::QObject;

    // Starts the engine with the device emulated from the very first page; started() follows.
    virtual void Start(const Device &device, const UserAgentDetails &userAgent, qreal zoom) = 0;
    virtual bool isActive() const = 0;

    // Where the page is shown; owned by the caller once taken. Null before started().
    virtual QWidget *TakeView() = 0;
    // The window's shortcuts, which must work while the page has the keyboard too:
    // shortcutPressed() reports them.
    virtual void ForwardShortcuts(const QList<QKeySequence> &keys) = 0;

    // `cause` says who asked: the address field is the user's, a page opened for another
    // window is the program's.
    virtual void Load(const QUrl &url, NavigationCause cause = NavigationCause::Program) = 0;
    // A page of our own, with no address of its own (the start page).
    virtual void SetHtml(const QString &html) = 0;
    virtual void Reload() = 0;
    // The user's back and forward.
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual QUrl url() const = 0;
    virtual QString title() const = 0;

    // For rotation, display zoom and the notch; the page keeps its document.
    virtual void SetMetrics(const Device &device, qreal zoom) = 0;
    // Colour scheme, motion, network, CPU and location: before Start, from the first page;
    // after it, at once, the page keeping its document.
    virtual void SetConditions(const PageConditions &conditions) = 0;

    // `expression` is evaluated, a promise awaited, and its value handed over as JSON;
    // `done` is called exactly once, with a problem when there is no value.
    virtual void Evaluate(const QString &expression, Evaluated done,
                          World world = World::Isolated) = 0;
    // Runs `source` in the isolated world of every document the main frame loads from now
    // on. There, `name(text)` for each binding added reports to bindingCalled().
    virtual void AddScript(const QString &source) = 0;
    virtual void AddBinding(const QString &name) = 0;

    // The viewport, or the whole page, as PNG at device pixels.
    virtual void Capture(bool fullPage, Captured done) = 0;
    virtual void OpenInspector() = 0;
    // Ends a page that does not answer; rendererGone() follows, and Reload() brings it back.
    virtual void EndPage() = 0;

    // Answers the dialog that dialogOpened() announced; a prompt takes `text`.
    virtual void AnswerDialog(bool accept, const QString &text = {}) = 0;
    // Scripted runs: every dialog is answered at once, as its OK button would.
    virtual void SetAnswerDialogs(bool automatically) = 0;

    // Ends the engine cleanly (its data saved); finished() follows.
    virtual void Close() = 0;

    // "Chromium" and its version, once started.
    virtual QString engineName() const = 0;
    virtual QString engineVersion() const = 0;

Q_SIGNALS:
    // The emulation is in place (`active`), or not, with what went wrong.
    void started(bool active, const QString &problem);
    void loadStarted();
    void loadFinished(bool ok);
    void urlChanged(const QUrl &url);
    void titleChanged(const QString &title);
    // A navigation of the main frame committed.
    void navigated(const QUrl &url, BrowserPage::NavigationCause cause);
    void bindingCalled(const QString &name, const QString &text);
    // alert, confirm, prompt or beforeunload; the page waits for AnswerDialog().
    void dialogOpened(const QString &type, const QString &message, const QString &defaultText);
    // The dialog was answered or went with its page.
    void dialogClosed();
    // What the user should know: a dialog answered, a permission refused, a download saved.
    void notice(const QString &text);
    void shortcutPressed(const QKeySequence &key);
    // The page's renderer crashed or was killed; Reload() brings the page back.
    void rendererGone(const QString &reason);
    // The page has not answered for a while (true), or answers again (false).
    void unresponsive(bool stuck);
    // The engine has ended: asked to, or not (`problem`).
    void finished(const QString &problem);
};
