#include "engine/devtoolspipe.h"

#include <QJsonDocument>
#include <QTimer>

namespace {

DevToolsReply Unanswered()
{
    return {};
}

} // namespace

DevToolsPipe::DevToolsPipe(qintptr readEnd, qintptr writeEnd, QObject *parent)
    : QObject(parent), expiry(new QTimer(this))
{
    OpenEnds(readEnd, writeEnd);
    expiry->setSingleShot(true);
    connect(expiry, &QTimer::timeout, this, &DevToolsPipe::ExpireOverdue);
}

DevToolsPipe::~DevToolsPipe()
{
    // Handlers may refer to their owners, which are going too: they are not called.
    waiting.clear();
    Close();
}

void DevToolsPipe::Send(const QString &method, const QJsonObject &params, const QString &sessionId,
                        ReplyHandler handler, int timeoutMs)
{
    const int id = nextId++;
    if (!isOpen()) {
        if (handler)
            QTimer::singleShot(0, this, [handler] { handler(Unanswered()); });
        return;
    }
    QJsonObject message{{QStringLiteral("id"), id},
                        {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!sessionId.isEmpty())
        message.insert(QStringLiteral("sessionId"), sessionId);
    waiting.insert(id, {std::move(handler), QDeadlineTimer(timeoutMs)});
    ArmExpiry();
    output += QJsonDocument(message).toJson(QJsonDocument::Compact);
    output += '\0';
    // Written from the event loop, so that no reply can come back within this call.
    WantWrite();
}

void DevToolsPipe::Received(const QByteArray &bytes, bool ended)
{
    if (!isOpen())
        return; // what was still on its way when the pipe closed
    input += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = input.indexOf('\0', start)) >= 0; start = end + 1) {
        Dispatch(input.mid(start, end - start));
        if (!isOpen())
            return; // a handler closed the pipe
    }
    input.remove(0, start);
    if (ended || input.size() > MaximumMessageBytes)
        Close();
}

void DevToolsPipe::Dispatch(const QByteArray &text)
{
    const QJsonObject message = QJsonDocument::fromJson(text).object();
    const QJsonValue id = message.value(QStringLiteral("id"));
    if (id.isDouble()) {
        DevToolsReply reply;
        reply.answered = true;
        reply.result = message.value(QStringLiteral("result")).toObject();
        if (message.contains(QStringLiteral("error"))) {
            reply.error = message.value(QStringLiteral("error"))
                              .toObject()
                              .value(QStringLiteral("message"))
                              .toString();
            if (reply.error.isEmpty())
                reply.error = QStringLiteral("refused");
        }
        Answer(id.toInt(), reply);
    } else if (message.contains(QStringLiteral("method"))) {
        Q_EMIT event(message.value(QStringLiteral("method")).toString(),
                     message.value(QStringLiteral("params")).toObject(),
                     message.value(QStringLiteral("sessionId")).toString());
    }
}

void DevToolsPipe::Answer(int id, const DevToolsReply &reply)
{
    const auto found = waiting.find(id);
    if (found == waiting.end())
        return; // expired already, or never asked
    const ReplyHandler handler = std::move(found->handler);
    waiting.erase(found);
    if (handler)
        handler(reply);
}

void DevToolsPipe::ExpireOverdue()
{
    QList<int> overdue;
    for (auto it = waiting.cbegin(); it != waiting.cend(); ++it) {
        if (it->deadline.hasExpired())
            overdue.append(it.key());
    }
    std::sort(overdue.begin(), overdue.end());
    for (int id : overdue)
        Answer(id, Unanswered());
    ArmExpiry();
}

void DevToolsPipe::ArmExpiry()
{
    qint64 soonest = -1;
    for (const Waiting &command : std::as_const(waiting)) {
        const qint64 left = command.deadline.remainingTime();
        if (soonest < 0 || left < soonest)
            soonest = left;
    }
    if (soonest < 0)
        expiry->stop();
    else if (!expiry->isActive() || expiry->remainingTime() > soonest)
        expiry->start(int(soonest));
}

void DevToolsPipe::Close()
{
    if (!isOpen())
        return;
    CloseEnds();
    output.clear();
    expiry->stop();
    QList<int> ids = waiting.keys();
    std::sort(ids.begin(), ids.end());
    for (int id : ids)
        Answer(id, Unanswered());
    Q_EMIT closed();
}
