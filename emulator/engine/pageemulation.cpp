#include "pageemulation.h"

#include "devtoolschannel.h"
#include "emulationcommands.h"
#include "emulatorrequest.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <cmath>
#include <memory>

namespace {

// Images beyond this many device pixels a side are refused by the graphics stack.
constexpr int MaximumCaptureSide = 16384;

// The browser engine's own name for its vendor, which needs no script.
const QString EngineVendor = QStringLiteral("Google Inc.");

} // namespace

QString UserAgentPageScript(const UserAgentDetails &userAgent)
{
    if (userAgent.userAgent.isEmpty())
        return {};
    QString script;
    if (!userAgent.hasUserAgentData)
        script += QStringLiteral("delete Navigator.prototype.userAgentData;\n");
    if (userAgent.vendor != EngineVendor) {
        script += QStringLiteral("Object.defineProperty(Navigator.prototype, 'vendor',"
                                 " {get: function () { return %1; }, configurable: true});\n")
                      .arg(JavaScriptString(userAgent.vendor));
    }
    return script;
}

PageEmulation::PageEmulation(QWebEnginePage *emulated, const Device &device,
                             const UserAgentDetails &userAgent, qreal zoom, QObject *parent)
    : QObject(parent), page(emulated),
      devTools(new DevToolsChannel(emulated, DevToolsChannel::DefaultTimeoutMs, this)),
      current(device), agent(userAgent), displayZoom(zoom)
{
    const QString source = UserAgentPageScript(agent);
    if (source.isEmpty())
        return;
    QWebEngineScript script;
    script.setName(QStringLiteral("velmora-user-agent"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(source);
    page->scripts().insert(script);
}

PageEmulation::~PageEmulation() = default;

void PageEmulation::Start(const std::function<void(bool)> &done)
{
    const QList<EmulationCommand> commands = EmulationCommands(current, agent, displayZoom);
    struct Progress
    {
        qsizetype waiting;
        bool allAnswered = true;
    };
    auto progress = std::make_shared<Progress>(Progress{commands.size()});
    const QPointer<PageEmulation> self(this);
    for (const EmulationCommand &command : commands) {
        devTools->send(command.method, command.params,
                       [self, progress, done, method = command.method](const DevToolsReply &reply) {
                           if (!reply.error.isEmpty())
                               Complain(QStringLiteral("the browser engine refused %1: %2")
                                            .arg(method, reply.error));
                           progress->allAnswered = progress->allAnswered && reply.answered;
                           if (--progress->waiting > 0 || !self)
                               return;
                           self->active = progress->allAnswered;
                           done(self->active);
                       });
    }
    if (commands.isEmpty()) {
        active = true;
        done(true);
    }
}

void PageEmulation::SetMetrics(const Device &device, qreal zoom)
{
    current = device;
    displayZoom = zoom;
    RestoreMetrics();
}

void PageEmulation::RestoreMetrics()
{
    const EmulationCommand command = DeviceMetricsCommand(current, displayZoom);
    devTools->send(command.method, command.params);
}

void PageEmulation::Capture(bool fullPage, Captured done)
{
    if (!fullPage) {
        CaptureWithin({}, std::move(done));
        return;
    }
    const QPointer<PageEmulation> self(this);
    devTools->send(
        QStringLiteral("Page.getLayoutMetrics"), {}, [self, done](const DevToolsReply &reply) {
            if (!self)
                return;
            QJsonObject content = reply.result.value(QStringLiteral("cssContentSize")).toObject();
            const qreal ratio = self->current.ratio;
            const qreal limit = std::floor(MaximumCaptureSide / ratio);
            const qreal width = std::min(content.value(QStringLiteral("width")).toDouble(), limit);
            const qreal height =
                std::min(content.value(QStringLiteral("height")).toDouble(), limit);
            if (!reply.ok() || width < 1 || height < 1) {
                done({}, QStringLiteral("the page's size is unknown"));
                return;
            }
            self->CaptureWithin(QJsonObject{{QStringLiteral("x"), 0},
                                            {QStringLiteral("y"), 0},
                                            {QStringLiteral("width"), width},
                                            {QStringLiteral("height"), height},
                                            {QStringLiteral("scale"), 1}},
                                done);
        });
}

void PageEmulation::CaptureWithin(const QJsonObject &clip, Captured done)
{
    QJsonObject params{{QStringLiteral("format"), QStringLiteral("png")}};
    if (!clip.isEmpty()) {
        params.insert(QStringLiteral("clip"), clip);
        params.insert(QStringLiteral("captureBeyondViewport"), true);
    }
    const QPointer<PageEmulation> self(this);
    devTools->send(QStringLiteral("Page.captureScreenshot"), params,
                   [self, done](const DevToolsReply &reply) {
                       // The capture leaves the page shown at its device pixels.
                       if (self)
                           self->RestoreMetrics();
                       const QByteArray png = QByteArray::fromBase64(
                           reply.result.value(QStringLiteral("data")).toString().toLatin1());
                       if (!reply.answered)
                           done({}, QStringLiteral("the browser engine did not answer"));
                       else if (!reply.error.isEmpty())
                           done({}, reply.error);
                       else if (png.isEmpty())
                           done({}, QStringLiteral("the browser engine sent no image"));
                       else
                           done(png, {});
                   });
}
