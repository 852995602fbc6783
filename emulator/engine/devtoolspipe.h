#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTimer;

// What became of one command.
struct DevToolsReply
{
    bool answered = false; // false: no reply before the deadline, or the browser went away
    QJsonObject result;
    QString error; // the browser's own words when it refused the command

    bool ok() const { return answered && error.isEmpty(); }
};

// The browser's debugging protocol over a private pair of pipes, which nobody else can reach:
// each message one JSON text ending in NUL. It knows framing, replies and deadlines, nothing
// of what the commands mean.
class DevToolsPipe : public QObject
{
    Q_OBJECT

public:
    using ReplyHandler = std::function<void(const DevToolsReply &)>;

    static constexpr int DefaultTimeoutMs = 10000;
    // A message this long is the browser's fault or a hostile one: the pipe closes.
    static constexpr qsizetype MaximumMessageBytes = 512 * 1024 * 1024;

    // Takes both ends (descriptors; handles on Windows), which it closes when it closes.
    DevToolsPipe(qintptr readEnd, qintptr writeEnd, QObject *parent = nullptr);
    ~DevToolsPipe() override;

    // `handler` gets the reply, or an unanswered one after `timeoutMs` or when the pipe
    // closes: always exactly once, and never from within this call. `sessionId` addresses
    // one attached target; empty, the browser itself.
    void Send(const QString &method, const QJsonObject &params = {}, const QString &sessionId = {},
              ReplyHandler handler = {}, int timeoutMs = DefaultTimeoutMs);
    bool isOpen() const { return ends != nullptr; }
    void Close();

Q_SIGNALS:
    void event(const QString &method, const QJsonObject &params, const QString &sessionId);
    // The browser closed its end; every waiting command has been answered unanswered.
    void closed();

private:
    struct Waiting
    {
        ReplyHandler handler;
        QDeadlineTimer deadline;
    };

    // The platform's part: watching both ends, writing what waits, closing them.
    struct Ends;
    struct EndsDeleter
    {
        void operator()(Ends *ends) const;
    };
    void OpenEnds(qintptr readEnd, qintptr writeEnd);
    void WantWrite();
    void Flush();
    void CloseEnds();

    // What the browser wrote; `ended` when it closed its end.
    void Received(const QByteArray &bytes, bool ended);
    void Dispatch(const QByteArray &text);
    void Answer(int id, const DevToolsReply &reply);
    void ExpireOverdue();
    void ArmExpiry();

    std::unique_ptr<Ends, EndsDeleter> ends;
    QTimer *expiry;
    QByteArray input;
    QByteArray output;
    int nextId = 1;
    QHash<int, Waiting> waiting;
};
