#include "devtoolschannel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

// Our ids start far above any the inspector's own application will reach.
constexpr int FirstId = 1000000000;
constexpr int PollIntervalMs = 15;

// Runs in the inspector page before its application does. Holding back the application's
// first request (its preferences) keeps it from ever connecting: it enables no protocol
// domain, so a `debugger;` statement cannot stop the page and nothing is painted into it.
// Replies to our ids are kept for Poll(); all others go on to the application.
const QString Bootstrap = QStringLiteral(R"JS(
(function () {
  const host = window.InspectorFrontendHost, api = window.DevToolsAPI;
  if (!host || !api) return;
  const preferences = host.getPreferences;
  host.getPreferences = function (callback) {
    window.__velmoraUnpark = function () {
      host.getPreferences = preferences;
      preferences.call(host, callback);
    };
  };
  window.__velmoraReplies = [];
  const dispatch = api.dispatchMessage;
  api.dispatchMessage = function (message) {
    let parsed = null;
    try { parsed = JSON.parse(message); } catch (e) {}
    if (parsed && typeof parsed.id === 'number' && parsed.id >= %1) {
      window.__velmoraReplies.push(parsed);
      return;
    }
    return dispatch.apply(this, arguments);
  };
})();
)JS");

const QString TakeReplies = QStringLiteral(
    "(function () { const r = window.__velmoraReplies || []; window.__velmoraReplies = [];"
    " return JSON.stringify(r); })()");

} // namespace

QString JavaScriptString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

DevToolsChannel::DevToolsChannel(QWebEnginePage *inspected, int timeoutMs, QObject *parent)
    : QObject(parent), page(inspected), tools(new QWebEnginePage(inspected->profile(), this)),
      pollTimer(new QTimer(this)), timeout(timeoutMs), nextId(FirstId)
{
    QWebEngineScript script;
    script.setName(QStringLiteral("velmora-devtools-channel"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setSourceCode(Bootstrap.arg(FirstId));
    tools->scripts().insert(script);

    pollTimer->setInterval(PollIntervalMs);
    connect(pollTimer, &QTimer::timeout, this, &DevToolsChannel::Poll);
    connect(tools, &QWebEnginePage::loadFinished, this, &DevToolsChannel::OnToolsLoaded);
    // Loads the engine's inspector into `tools`; it is bound to that one address, so the
    // page must never be sent anywhere else.
    page->setDevToolsPage(tools);
}

DevToolsChannel::~DevToolsChannel()
{
    // Unbinding ends every emulation the commands set up.
    if (page)
        page->setDevToolsPage(nullptr);
}

void DevToolsChannel::send(const QString &method, const QJsonObject &params, ReplyHandler handler)
{
    Command command;
    command.id = nextId++;
    command.message =
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("id"), command.id},
                                                    {QStringLiteral("method"), method},
                                                    {QStringLiteral("params"), params}})
                              .toJson(QJsonDocument::Compact));
    command.handler = std::move(handler);
    command.deadline = QDeadlineTimer(timeout);
    commands.append(std::move(command));
    SendWaiting();
    pollTimer->start();
}

void DevToolsChannel::unpark()
{
    if (unparked)
        return;
    unparked = true;
    tools->runJavaScript(QStringLiteral("window.__velmoraUnpark && window.__velmoraUnpark()"));
}

void DevToolsChannel::OnToolsLoaded(bool ok)
{
    // A failed load leaves the commands to time out.
    if (!ok || toolsReady)
        return;
    toolsReady = true;
    SendWaiting();
}

void DevToolsChannel::SendWaiting()
{
    if (!toolsReady)
        return;
    for (Command &command : commands) {
        if (command.sent)
            continue;
        command.sent = true;
        tools->runJavaScript(QStringLiteral("InspectorFrontendHost.sendMessageToBackend(%1)")
                                 .arg(JavaScriptString(command.message)));
    }
}

void DevToolsChannel::Poll()
{
    ExpireOverdue();
    if (commands.isEmpty()) {
        pollTimer->stop();
        return;
    }
    if (!toolsReady || polling)
        return;
    polling = true;
    const QPointer<DevToolsChannel> self(this);
    tools->runJavaScript(TakeReplies, [self](const QVariant &replies) {
        if (!self)
            return;
        self->polling = false;
        self->Deliver(replies.toString());
    });
}

void DevToolsChannel::Deliver(const QString &repliesJson)
{
    const QJsonArray replies = QJsonDocument::fromJson(repliesJson.toUtf8()).array();
    for (const QJsonValue &value : replies) {
        const QJsonObject message = value.toObject();
        const int id = message.value(QStringLiteral("id")).toInt();
        for (qsizetype i = 0; i < commands.size(); ++i) {
            if (commands.at(i).id != id)
                continue;
            const Command command = commands.takeAt(i);
            DevToolsReply reply;
            reply.answered = true;
            reply.result = message.value(QStringLiteral("result")).toObject();
            const QJsonObject error = message.value(QStringLiteral("error")).toObject();
            if (message.contains(QStringLiteral("error"))) {
                reply.error = error.value(QStringLiteral("message")).toString();
                if (reply.error.isEmpty())
                    reply.error = QStringLiteral("refused");
            }
            if (command.handler)
                command.handler(reply);
            break;
        }
    }
}

void DevToolsChannel::ExpireOverdue()
{
    for (qsizetype i = 0; i < commands.size();) {
        if (!commands.at(i).deadline.hasExpired()) {
            ++i;
            continue;
        }
        const Command command = commands.takeAt(i);
        if (command.handler)
            command.handler(DevToolsReply{});
    }
}
