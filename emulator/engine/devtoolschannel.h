#pragma once

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTimer;
class QWebEnginePage;

// What became of one command.
struct DevToolsReply
{
    bool answered = false; // false: no reply before the deadline
    QJsonObject result;
    QString error; // the engine's own words when it refused the command

    bool ok() const { return answered && error.isEmpty(); }
};

// A private line to the browser engine's debugging protocol for one page, with no network
// port anyone else could reach: a hidden inspector page is bound to the page, and its own
// application is held back before it starts, so only our commands reach the engine. The
// line lasts as long as this object; it knows nothing of what the commands mean.
class DevToolsChannel : public QObject
{
    Q_OBJECT

public:
    using ReplyHandler = std::function<void(const DevToolsReply &)>;

    static constexpr int DefaultTimeoutMs = 5000;

    explicit DevToolsChannel(QWebEnginePage *inspected, int timeoutMs = DefaultTimeoutMs,
                             QObject *parent = nullptr);
    ~DevToolsChannel() override;

    // Sends one command; `handler` gets its reply, or an unanswered reply after the timeout,
    // always exactly once and never from within this call.
    void send(const QString &method, const QJsonObject &params = {}, ReplyHandler handler = {});

    // The hidden inspector page. Show it only after unpark().
    QWebEnginePage *toolsPage() const { return tools; }
    // Lets the inspector's own application start, for a visible inspector; our commands
    // keep working beside it.
    void unpark();
    bool isUnparked() const { return unparked; }

private:
    struct Command
    {
        int id = 0;
        QString message;
        ReplyHandler handler;
        QDeadlineTimer deadline;
        bool sent = false;
    };

    void OnToolsLoaded(bool ok);
    void SendWaiting();
    void Poll();
    void Deliver(const QString &repliesJson);
    void ExpireOverdue();

    QPointer<QWebEnginePage> page;
    QWebEnginePage *tools;
    QTimer *pollTimer;
    int timeout;
    int nextId;
    bool toolsReady = false;
    bool polling = false;
    bool unparked = false;
    QList<Command> commands;
};

// A JavaScript string literal holding `text`, for scripts built around a value.
QString JavaScriptString(const QString &text);
