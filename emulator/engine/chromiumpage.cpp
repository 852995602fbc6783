#include "engine/chromiumpage.h"

#include "core/emulationcommands.h"
#include "core/emulatorrequest.h"
#include "engine/chromiumprocess.h"
#include "engine/devtoolspipe.h"
#include "engine/foreignwindowview.h"
#include "engine/scratchfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <cmath>
#include <memory>

namespace {

// The isolated world our scripts and bindings live in.
const QString WorldName = QStringLiteral("velmora");
const QString InputBinding = QStringLiteral("velmoraInput");
const QString TitleBinding = QStringLiteral("velmoraTitle");
// A navigation this soon after the user pressed or typed in the page is the user's.
constexpr int UserInputValidMs = 1000;
constexpr int PingIntervalMs = 2000;
constexpr int PopupAddressWaitMs = 1500;
// Images beyond this many device pixels a side are refused by the graphics stack.
constexpr int MaximumCaptureSide = 16384;
// The engine's own name for its vendor, which needs no script.
const QString EngineVendor = QStringLiteral("Google Inc.");

QString Resource(const QString &name)
{
    QFile file(QStringLiteral(":/engine/js/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString JsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// What the protocol cannot override: a browser without client hints has no
// navigator.userAgentData, and each browser names its own vendor.
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
                      .arg(JsonText(userAgent.vendor));
    }
    return script;
}

// The engine's pointer types: none 1, coarse 2, fine 4; hover: none 1, hover 2. The
// protocol's touch emulation makes the pointer coarse, but keys have no command of their own.
QString BlinkSettings(InputMethod input)
{
    switch (input) {
    case InputMethod::Touch:
        return QStringLiteral("primaryPointerType=2,availablePointerTypes=2,primaryHoverType=1,"
                              "availableHoverTypes=1");
    case InputMethod::Keys:
        return QStringLiteral("primaryPointerType=1,availablePointerTypes=1,primaryHoverType=1,"
                              "availableHoverTypes=1");
    case InputMethod::Mouse:
        break;
    }
    return QStringLiteral(
        "primaryPointerType=4,availablePointerTypes=4,primaryHoverType=2,availableHoverTypes=2");
}

QString ReplyProblem(const DevToolsReply &reply)
{
    if (!reply.answered)
        return QStringLiteral("the browser did not answer");
    return reply.error;
}

} // namespace

ChromiumPage::ChromiumPage(const Options &chosen, QObject *parent)
    : BrowserPage(parent), options(chosen)
{
    static int pages = 0;
    windowClass = QByteArrayLiteral("VelmoraPage") +
                  QByteArray::number(QCoreApplication::applicationPid()) + '.' +
                  QByteArray::number(++pages);
    pingTimer.setInterval(PingIntervalMs);
    connect(&pingTimer, &QTimer::timeout, this, &ChromiumPage::Ping);
}

// The browser ends before the folders it writes in go.
ChromiumPage::~ChromiumPage()
{
    delete browser;
    delete view;
}

qint64 ChromiumPage::browserProcessId() const
{
    return browser ? browser->processId() : 0;
}

void ChromiumPage::Start(const Device &emulated, const UserAgentDetails &userAgent, qreal zoom)
{
    device = emulated;
    agent = userAgent;
    displayZoom = zoom;
    if (!options.unavailable.isEmpty()) {
        Fail(options.unavailable);
        return;
    }
    if (!options.headless && !ForeignWindowView::Supported())
        options.headless = true;
    temporaryFiles = ScratchFolders::Make(ScratchFolders::TemporaryParent());
    if (options.userDataDir.isEmpty())
        privateData = ScratchFolders::Make(ScratchFolders::PrivateProfileParent());
    const QString dataDir = privateData ? privateData->path() : options.userDataDir;
    if (dataDir.isEmpty() || !temporaryFiles) {
        Fail(QStringLiteral("cannot make a folder for the browser's data"));
        return;
    }
    const QSize css = device.cssSize();
    const QSize window(qMax(1, qRound(css.width() * zoom)), qMax(1, qRound(css.height() * zoom)));
    QStringList extra{
        QStringLiteral("--blink-settings=") + BlinkSettings(device.input),
        QStringLiteral("--window-size=%1,%2").arg(window.width()).arg(window.height())};
    if (options.headless) {
        extra << QStringLiteral("--headless=new") << QStringLiteral("about:blank");
    } else {
        extra << QStringLiteral("--ozone-platform=x11")
              << QStringLiteral("--class=") + QString::fromLatin1(windowClass)
              << QStringLiteral("--window-position=0,0")
              // A bare window: no tabs, no address bar, no menu of its own.
              << QStringLiteral("--app=data:text/html,");
    }
    browser = new ChromiumProcess(this);
    connect(browser, &ChromiumProcess::finished, this, [this](const QString &problem) {
        pingTimer.stop();
        if (!startReported)
            Fail(problem.isEmpty() ? QStringLiteral("the browser ended") : problem);
        Q_EMIT finished(problem);
    });
    QString problem;
    if (!browser->Start(options.program, ChromiumProcess::Arguments(dataDir, extra),
                        temporaryFiles->path(), &problem)) {
        Fail(problem);
        return;
    }
    if (!options.headless) {
        // Taken in as soon as it exists, so that it never shows as a window of its own.
        view = new ForeignWindowView;
        connect(view, &ForeignWindowView::failed, this, [this](const QString &why) {
            if (startReported)
                Q_EMIT notice(QStringLiteral("The page cannot be shown: %1").arg(why));
            else
                Fail(why);
        });
        connect(view, &ForeignWindowView::shortcutPressed, this, &BrowserPage::shortcutPressed);
        view->GrabShortcuts(shortcuts);
        view->Embed(windowClass, browser->processId(), EmbedTimeoutMs);
    }
    connect(browser->pipe(), &DevToolsPipe::event, this, &ChromiumPage::OnEvent);
    DevToolsPipe *pipe = browser->pipe();
    pipe->Send(QStringLiteral("Browser.getVersion"), {}, {}, [this](const DevToolsReply &reply) {
        if (!reply.ok()) {
            Fail(QStringLiteral("the browser does not answer on its debugging pipe (%1)")
                     .arg(ReplyProblem(reply)));
            return;
        }
        const QString product = reply.result.value(QStringLiteral("product")).toString();
        version = product.section(QLatin1Char('/'), 1);
    });
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = QDir::homePath();
    pipe->Send(QStringLiteral("Browser.setDownloadBehavior"),
               {{QStringLiteral("behavior"), QStringLiteral("allow")},
                {QStringLiteral("downloadPath"), downloads},
                {QStringLiteral("eventsEnabled"), true}});
    pipe->Send(QStringLiteral("Target.setDiscoverTargets"), {{QStringLiteral("discover"), true}});
}

void ChromiumPage::Fail(const QString &problem)
{
    if (startReported)
        return;
    startReported = true;
    active = false;
    Q_EMIT started(false, problem);
}

QWidget *ChromiumPage::TakeView()
{
    return view;
}

void ChromiumPage::ForwardShortcuts(const QList<QKeySequence> &keys)
{
    shortcuts = keys;
    if (view)
        view->GrabShortcuts(keys);
}

void ChromiumPage::Send(const QString &method, const QJsonObject &params,
                        std::function<void(const DevToolsReply &)> handler)
{
    if (!browser || !browser->pipe()) {
        if (handler)
            QTimer::singleShot(0, this, [handler] { handler(DevToolsReply{}); });
        return;
    }
    browser->pipe()->Send(method, params, sessionId, std::move(handler));
}

void ChromiumPage::OnEvent(const QString &method, const QJsonObject &params, const QString &session)
{
    if (!session.isEmpty()) {
        if (session == sessionId)
            OnPageEvent(method, params);
        return;
    }
    if (method == QLatin1String("Target.targetCreated")) {
        OnTargetCreated(params.value(QStringLiteral("targetInfo")).toObject());
    } else if (method == QLatin1String("Target.targetInfoChanged")) {
        // A new window's address may come only now; the page's title comes from the page.
        OnTargetCreated(params.value(QStringLiteral("targetInfo")).toObject());
    } else if (method == QLatin1String("Target.targetCrashed")) {
        if (params.value(QStringLiteral("targetId")).toString() == targetId) {
            pingTimer.stop();
            stuck = false;
            Q_EMIT rendererGone(params.value(QStringLiteral("status")).toString());
        }
    } else if (method == QLatin1String("Target.detachedFromTarget")) {
        if (params.value(QStringLiteral("sessionId")).toString() == sessionId)
            sessionId.clear();
    } else if (method == QLatin1String("Browser.downloadWillBegin")) {
        Q_EMIT notice(QStringLiteral("Downloading %1...")
                          .arg(params.value(QStringLiteral("suggestedFilename")).toString()));
    } else if (method == QLatin1String("Browser.downloadProgress")) {
        const QString state = params.value(QStringLiteral("state")).toString();
        if (state == QLatin1String("completed")) {
            Q_EMIT notice(QStringLiteral("Download saved to %1")
                              .arg(QDir::toNativeSeparators(
                                  params.value(QStringLiteral("filePath")).toString())));
        } else if (state == QLatin1String("canceled")) {
            Q_EMIT notice(QStringLiteral("Download cancelled"));
        }
    }
}

void ChromiumPage::OnTargetCreated(const QJsonObject &info)
{
    if (info.value(QStringLiteral("type")).toString() != QLatin1String("page"))
        return;
    const QString id = info.value(QStringLiteral("targetId")).toString();
    if (targetId.isEmpty()) {
        targetId = id;
        Attach(id);
        return;
    }
    // A page opened a window of its own (target=_blank, window.open): it would be a bare
    // browser without the device, so its address opens in the device instead.
    if (id == targetId || info.value(QStringLiteral("openerId")).toString() != targetId ||
        handledPopups.contains(id))
        return;
    const QUrl address(info.value(QStringLiteral("url")).toString());
    if (address.isEmpty() || address.toString() == QLatin1String("about:blank")) {
        // Its address may come only with targetInfoChanged; a window that never gets one
        // is closed all the same.
        QTimer::singleShot(PopupAddressWaitMs, this, [this, id] {
            if (!handledPopups.contains(id)) {
                handledPopups.insert(id);
                browser->pipe()->Send(QStringLiteral("Target.closeTarget"),
                                      {{QStringLiteral("targetId"), id}});
            }
        });
        return;
    }
    handledPopups.insert(id);
    browser->pipe()->Send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), id}});
    const bool byUser = sinceUserInput.isValid() && !sinceUserInput.hasExpired(UserInputValidMs);
    Navigate(address, byUser ? NavigationCause::User : NavigationCause::Script);
}

void ChromiumPage::Attach(const QString &id)
{
    browser->pipe()->Send(QStringLiteral("Target.attachToTarget"),
                          {{QStringLiteral("targetId"), id}, {QStringLiteral("flatten"), true}}, {},
                          [this](const DevToolsReply &reply) {
                              sessionId =
                                  reply.result.value(QStringLiteral("sessionId")).toString();
                              if (!reply.ok() || sessionId.isEmpty()) {
                                  Fail(QStringLiteral("cannot attach to the browser's page (%1)")
                                           .arg(ReplyProblem(reply)));
                                  return;
                              }
                              SetUpSession();
                          });
}

void ChromiumPage::SetUpSession()
{
    for (const char *domain : {"Page.enable", "Runtime.enable", "Inspector.enable"})
        Send(QLatin1String(domain));
    const QString agentScript = UserAgentPageScript(agent);
    if (!agentScript.isEmpty())
        Send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
             {{QStringLiteral("source"), agentScript}});
    bindings.prepend(InputBinding);
    bindings.prepend(TitleBinding);
    scripts.prepend(Resource(QStringLiteral("input.js")));
    if (device.input == InputMethod::Keys)
        scripts.prepend(Resource(QStringLiteral("keys.js")));
    for (const QString &name : std::as_const(bindings))
        Send(QStringLiteral("Runtime.addBinding"),
             {{QStringLiteral("name"), name}, {QStringLiteral("executionContextName"), WorldName}});
    for (const QString &source : std::as_const(scripts))
        Send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
             {{QStringLiteral("source"), source}, {QStringLiteral("worldName"), WorldName}});
    ApplyEmulation([this](bool answered) {
        if (!answered) {
            Fail(QStringLiteral("the browser did not take the device emulation"));
            return;
        }
        emulationTaken = true;
        ReportReady();
    });
}

void ChromiumPage::ApplyEmulation(const std::function<void(bool)> &done)
{
    appliedConditions = conditions;
    SendEmulation(EmulationCommands(device, agent, displayZoom) +
                      ConditionCommands(conditions, PageConditions()),
                  done);
}

void ChromiumPage::SendEmulation(const QList<EmulationCommand> &commands,
                                 const std::function<void(bool)> &done)
{
    auto waiting = std::make_shared<qsizetype>(commands.size());
    auto allAnswered = std::make_shared<bool>(true);
    for (const EmulationCommand &command : commands) {
        auto handler = [this, waiting, allAnswered, done,
                        method = command.method](const DevToolsReply &reply) {
            // Closed early, the page is gone before its emulation: nothing to report.
            if (!reply.error.isEmpty() && !closing) {
                const QString refused =
                    QStringLiteral("the browser refused %1: %2").arg(method, reply.error);
                Complain(refused);
                if (startReported)
                    Q_EMIT notice(refused);
            }
            *allAnswered = *allAnswered && reply.answered;
            if (--*waiting == 0 && done)
                done(*allAnswered);
        };
        if (command.browserWide && browser && browser->pipe())
            browser->pipe()->Send(command.method, command.params, {}, handler);
        else
            Send(command.method, command.params, handler);
    }
}

// The first page may load as soon as the emulation is in place: the window is taken in
// meanwhile, and it never shows a page without the device.
void ChromiumPage::ReportReady()
{
    if (startReported || !emulationTaken)
        return;
    active = true;
    startReported = true;
    pingTimer.start();
    Q_EMIT started(true, {});
}

void ChromiumPage::OnPageEvent(const QString &method, const QJsonObject &params)
{
    const auto isMainFrame = [this](const QJsonValue &frameId) {
        return frameId.toString() == targetId;
    };
    if (method == QLatin1String("Page.frameNavigated")) {
        OnFrameNavigated(params.value(QStringLiteral("frame")).toObject());
    } else if (method == QLatin1String("Page.navigatedWithinDocument")) {
        if (isMainFrame(params.value(QStringLiteral("frameId")))) {
            currentUrl = QUrl(params.value(QStringLiteral("url")).toString());
            Q_EMIT urlChanged(currentUrl);
        }
    } else if (method == QLatin1String("Page.frameRequestedNavigation")) {
        // Into this page only: a new window's address comes to the device on its own way.
        if (isMainFrame(params.value(QStringLiteral("frameId"))) && !causeKnown &&
            params.value(QStringLiteral("disposition")).toString() == QLatin1String("currentTab")) {
            const QString reason = params.value(QStringLiteral("reason")).toString();
            const bool userReason = reason == QLatin1String("anchorClick") ||
                                    reason.startsWith(QLatin1String("formSubmission"));
            const bool byUser =
                sinceUserInput.isValid() && !sinceUserInput.hasExpired(UserInputValidMs);
            pendingCause = userReason && byUser ? NavigationCause::User : NavigationCause::Script;
            causeKnown = true;
        }
    } else if (method == QLatin1String("Page.frameStartedLoading")) {
        if (isMainFrame(params.value(QStringLiteral("frameId"))) && loadArmed)
            Q_EMIT loadStarted();
    } else if (method == QLatin1String("Page.loadEventFired")) {
        if (loadArmed)
            Q_EMIT loadFinished(!showingError);
    } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
        OnDialog(params);
    } else if (method == QLatin1String("Page.javascriptDialogClosed")) {
        dialogOpen = false;
        Q_EMIT dialogClosed();
    } else if (method == QLatin1String("Runtime.bindingCalled")) {
        OnBinding(params);
    } else if (method == QLatin1String("Runtime.executionContextCreated")) {
        const QJsonObject context = params.value(QStringLiteral("context")).toObject();
        const QJsonObject aux = context.value(QStringLiteral("auxData")).toObject();
        if (context.value(QStringLiteral("name")).toString() == WorldName &&
            isMainFrame(aux.value(QStringLiteral("frameId"))))
            isolatedContext = context.value(QStringLiteral("id")).toInt();
    } else if (method == QLatin1String("Runtime.executionContextDestroyed")) {
        if (params.value(QStringLiteral("executionContextId")).toInt() == isolatedContext)
            isolatedContext = 0;
    } else if (method == QLatin1String("Runtime.executionContextsCleared")) {
        isolatedContext = 0;
    }
}

void ChromiumPage::OnFrameNavigated(const QJsonObject &frame)
{
    if (frame.contains(QStringLiteral("parentId")) ||
        frame.value(QStringLiteral("id")).toString() != targetId)
        return;
    // An error page stands for the address that could not be reached.
    const QString unreachable = frame.value(QStringLiteral("unreachableUrl")).toString();
    showingError = !unreachable.isEmpty();
    currentUrl = showingError ? QUrl(unreachable)
                              : QUrl(frame.value(QStringLiteral("url")).toString() +
                                     frame.value(QStringLiteral("urlFragment")).toString());
    Q_EMIT urlChanged(currentUrl);
    if (!showingError)
        Q_EMIT navigated(currentUrl, CauseOf(frame));
}

// Our own requests by their loader, or their address while their reply is still on its way;
// else what the page or its history asked for; else the page's own doing.
BrowserPage::NavigationCause ChromiumPage::CauseOf(const QJsonObject &frame)
{
    const QString loader = frame.value(QStringLiteral("loaderId")).toString();
    if (causeByLoader.contains(loader))
        return causeByLoader.take(loader);
    const QUrl committed = currentUrl.adjusted(QUrl::RemoveFragment);
    for (auto it = requested.begin(); it != requested.end(); ++it) {
        if (it->url == committed) {
            const NavigationCause cause = it->cause;
            requested.erase(it);
            return cause;
        }
    }
    const NavigationCause cause = causeKnown ? pendingCause : NavigationCause::Script;
    causeKnown = false;
    return cause;
}

void ChromiumPage::OnBinding(const QJsonObject &params)
{
    const QString name = params.value(QStringLiteral("name")).toString();
    const QString payload = params.value(QStringLiteral("payload")).toString();
    // Bindings live in our world only, which the page's scripts cannot reach.
    if (name == InputBinding) {
        sinceUserInput.start();
        return;
    }
    if (name == TitleBinding) {
        if (payload != currentTitle) {
            currentTitle = payload;
            Q_EMIT titleChanged(currentTitle);
        }
        return;
    }
    Q_EMIT bindingCalled(name, payload);
}

void ChromiumPage::OnDialog(const QJsonObject &params)
{
    dialogOpen = true;
    const QString type = params.value(QStringLiteral("type")).toString();
    const QString defaultText = params.value(QStringLiteral("defaultPrompt")).toString();
    if (answerDialogs) {
        AnswerDialog(true, defaultText);
        return;
    }
    Q_EMIT dialogOpened(type, params.value(QStringLiteral("message")).toString(), defaultText);
}

void ChromiumPage::AnswerDialog(bool accept, const QString &text)
{
    Send(QStringLiteral("Page.handleJavaScriptDialog"),
         {{QStringLiteral("accept"), accept}, {QStringLiteral("promptText"), text}});
}

void ChromiumPage::SetAnswerDialogs(bool automatically)
{
    answerDialogs = automatically;
}

void ChromiumPage::Ping()
{
    // A page waiting for its dialog is not stuck; nor is one that is still being asked.
    if (dialogOpen || pingWaiting || sessionId.isEmpty())
        return;
    pingWaiting = true;
    const QPointer<ChromiumPage> self(this);
    browser->pipe()->Send(
        QStringLiteral("Runtime.evaluate"), {{QStringLiteral("expression"), QStringLiteral("0")}},
        sessionId,
        [self](const DevToolsReply &reply) {
            if (!self)
                return;
            self->pingWaiting = false;
            const bool nowStuck = !reply.answered;
            if (nowStuck != self->stuck && self->active) {
                self->stuck = nowStuck;
                Q_EMIT self->unresponsive(nowStuck);
            }
        },
        StuckAfterMs);
}

void ChromiumPage::EndPage()
{
    Send(QStringLiteral("Page.crash"));
}

void ChromiumPage::Load(const QUrl &url, NavigationCause cause)
{
    Navigate(url, cause);
}

void ChromiumPage::Navigate(const QUrl &url, NavigationCause cause)
{
    const int request = ++navigationRequests;
    requested.insert(request, {url.adjusted(QUrl::RemoveFragment), cause});
    const QPointer<ChromiumPage> self(this);
    Send(QStringLiteral("Page.navigate"),
         {{QStringLiteral("url"), url.toString(QUrl::FullyEncoded)}},
         [self, url, request](const DevToolsReply &reply) {
             if (!self)
                 return;
             // Not committed yet (a redirect, say): its commit carries this loader.
             const QString loader = reply.result.value(QStringLiteral("loaderId")).toString();
             if (self->requested.contains(request) && !loader.isEmpty())
                 self->causeByLoader.insert(loader, self->requested.value(request).cause);
             self->requested.remove(request);
             // Armed only now: the first blank page's load may still be on its way.
             self->loadArmed = true;
             const QString error = reply.result.value(QStringLiteral("errorText")).toString();
             if (!reply.ok() || !error.isEmpty()) {
                 if (self->currentUrl.isEmpty() || !error.isEmpty()) {
                     self->currentUrl = url;
                     Q_EMIT self->urlChanged(url);
                 }
                 Q_EMIT self->loadFinished(false);
             }
         });
}

void ChromiumPage::SetHtml(const QString &html)
{
    QUrl page(QStringLiteral("data:text/html;charset=utf-8;base64,") +
              QString::fromLatin1(html.toUtf8().toBase64()));
    Navigate(page, NavigationCause::Program);
}

void ChromiumPage::Reload()
{
    pendingCause = NavigationCause::Program;
    causeKnown = true;
    Send(QStringLiteral("Page.reload"));
    if (!pingTimer.isActive() && active)
        pingTimer.start();
}

void ChromiumPage::GoBack()
{
    HistoryStep(-1);
}

void ChromiumPage::GoForward()
{
    HistoryStep(1);
}

void ChromiumPage::HistoryStep(int step)
{
    const QPointer<ChromiumPage> self(this);
    Send(QStringLiteral("Page.getNavigationHistory"), {}, [self, step](const DevToolsReply &reply) {
        if (!self || !reply.ok())
            return;
        const QJsonArray entries = reply.result.value(QStringLiteral("entries")).toArray();
        const int index = reply.result.value(QStringLiteral("currentIndex")).toInt() + step;
        if (index < 0 || index >= entries.size())
            return;
        self->pendingCause = NavigationCause::User;
        self->causeKnown = true;
        self->Send(QStringLiteral("Page.navigateToHistoryEntry"),
                   {{QStringLiteral("entryId"),
                     entries.at(index).toObject().value(QStringLiteral("id"))}});
    });
}

void ChromiumPage::SetMetrics(const Device &emulated, qreal zoom)
{
    const bool insets = !device.safeArea.isNull() || !emulated.safeArea.isNull();
    device = emulated;
    displayZoom = zoom;
    QList<EmulationCommand> commands{DeviceMetricsCommand(device, displayZoom)};
    if (insets)
        commands.append(SafeAreaCommand(device));
    SendEmulation(commands);
}

void ChromiumPage::SetConditions(const PageConditions &wanted)
{
    conditions = wanted;
    if (sessionId.isEmpty())
        return; // sent with the rest on attaching
    SendEmulation(ConditionCommands(conditions, appliedConditions));
    appliedConditions = conditions;
}

void ChromiumPage::Evaluate(const QString &expression, Evaluated done, World world)
{
    if (world == World::Page) {
        EvaluateIn(0, expression, done);
        return;
    }
    if (isolatedContext != 0) {
        EvaluateIn(isolatedContext, expression, done);
        return;
    }
    const QPointer<ChromiumPage> self(this);
    Send(QStringLiteral("Page.createIsolatedWorld"),
         {{QStringLiteral("frameId"), targetId}, {QStringLiteral("worldName"), WorldName}},
         [self, expression, done](const DevToolsReply &reply) {
             if (!self) {
                 done({}, QStringLiteral("the page has gone"));
                 return;
             }
             const int context = reply.result.value(QStringLiteral("executionContextId")).toInt();
             if (!reply.ok() || context == 0) {
                 done({}, ReplyProblem(reply));
                 return;
             }
             self->EvaluateIn(context, expression, done);
         });
}

void ChromiumPage::EvaluateIn(int contextId, const QString &expression, const Evaluated &done)
{
    QJsonObject params{{QStringLiteral("expression"), expression},
                       {QStringLiteral("awaitPromise"), true},
                       {QStringLiteral("returnByValue"), true}};
    if (contextId != 0)
        params.insert(QStringLiteral("contextId"), contextId);
    Send(QStringLiteral("Runtime.evaluate"), params, [done](const DevToolsReply &reply) {
        if (!reply.ok()) {
            done({}, ReplyProblem(reply));
            return;
        }
        const QJsonObject exception =
            reply.result.value(QStringLiteral("exceptionDetails")).toObject();
        if (!exception.isEmpty()) {
            const QString text = exception.value(QStringLiteral("exception"))
                                     .toObject()
                                     .value(QStringLiteral("description"))
                                     .toString();
            done({}, text.isEmpty() ? exception.value(QStringLiteral("text")).toString() : text);
            return;
        }
        done(reply.result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")),
             {});
    });
}

void ChromiumPage::AddScript(const QString &source)
{
    scripts.append(source);
    if (sessionId.isEmpty())
        return; // sent with the rest on attaching
    Send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
         {{QStringLiteral("source"), source}, {QStringLiteral("worldName"), WorldName}});
}

void ChromiumPage::AddBinding(const QString &name)
{
    bindings.append(name);
    if (sessionId.isEmpty())
        return;
    Send(QStringLiteral("Runtime.addBinding"),
         {{QStringLiteral("name"), name}, {QStringLiteral("executionContextName"), WorldName}});
}

void ChromiumPage::Capture(bool fullPage, Captured done)
{
    if (!fullPage) {
        CaptureWithin({}, done);
        return;
    }
    const QPointer<ChromiumPage> self(this);
    Send(QStringLiteral("Page.getLayoutMetrics"), {}, [self, done](const DevToolsReply &reply) {
        if (!self)
            return;
        const QJsonObject content = reply.result.value(QStringLiteral("cssContentSize")).toObject();
        const qreal limit = std::floor(MaximumCaptureSide / self->device.ratio);
        const qreal width = std::min(content.value(QStringLiteral("width")).toDouble(), limit);
        const qreal height = std::min(content.value(QStringLiteral("height")).toDouble(), limit);
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

void ChromiumPage::CaptureWithin(const QJsonObject &clip, const Captured &done)
{
    QJsonObject params{{QStringLiteral("format"), QStringLiteral("png")}};
    if (!clip.isEmpty()) {
        params.insert(QStringLiteral("clip"), clip);
        params.insert(QStringLiteral("captureBeyondViewport"), true);
    }
    const QPointer<ChromiumPage> self(this);
    Send(QStringLiteral("Page.captureScreenshot"), params,
         [self, done, whole = !clip.isEmpty()](const DevToolsReply &reply) {
             // Beyond the viewport the capture resizes the page for a moment: back it goes.
             if (self && whole)
                 self->SetMetrics(self->device, self->displayZoom);
             const QByteArray png = QByteArray::fromBase64(
                 reply.result.value(QStringLiteral("data")).toString().toLatin1());
             if (!reply.ok())
                 done({}, ReplyProblem(reply));
             else if (png.isEmpty())
                 done({}, QStringLiteral("the browser sent no image"));
             else
                 done(png, {});
         });
}

void ChromiumPage::OpenInspector()
{
    if (browser && browser->pipe())
        browser->pipe()->Send(QStringLiteral("Target.openDevTools"),
                              {{QStringLiteral("targetId"), targetId}});
}

void ChromiumPage::Close()
{
    closing = true;
    pingTimer.stop();
    if (browser && browser->isRunning())
        browser->Close();
    else
        QTimer::singleShot(0, this, [this] { Q_EMIT finished({}); });
}
