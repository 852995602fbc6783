#include "groupmember.h"

#include "emulatorgroup.h"
#include "emulatorwindow.h"
#include "livereload.h"
#include "pagebridge.h"
#include "windowplacement.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <cmath>

namespace {

constexpr int WindowMovedMs = 150;
constexpr int StatusMessageMs = 10000;

// Runs in a world of its own, which the page's scripts cannot reach: it reports trusted
// clicks on links and buttons and the page's scrolling, and applies what other windows did.
// A scroll it applied itself is not reported back.
const char FollowScript[] = R"JS(
(function () {
  if (window.__velmoraGroup) return;
  let bridge = null, quietUntil = 0, expected = -1, pending = false;
  new QWebChannel(qt.webChannelTransport, function (channel) { bridge = channel.objects.follow; });
  const scrollable = function () {
    const root = document.scrollingElement || document.documentElement;
    return root ? Math.max(0, root.scrollHeight - innerHeight) : 0;
  };
  const fraction = function () {
    const max = scrollable();
    return max > 0 ? Math.min(1, scrollY / max) : 0;
  };
  addEventListener('scroll', function () {
    if (pending) return;
    pending = true;
    requestAnimationFrame(function () {
      pending = false;
      if (!bridge || performance.now() < quietUntil || Math.abs(scrollY - expected) <= 1) return;
      expected = -1;
      bridge.scrolled(fraction());
    });
  }, {passive: true});
  const clickable = 'a[href], button, input[type=button], input[type=submit], ' +
                    'input[type=reset], input[type=image], [role=button], [role=link], summary';
  const pathOf = function (element) {
    const steps = [];
    for (let e = element; e && e !== document.documentElement; e = e.parentElement) {
      let n = 1;
      for (let s = e.previousElementSibling; s; s = s.previousElementSibling)
        if (s.localName === e.localName) ++n;
      steps.unshift(e.localName + ':nth-of-type(' + n + ')');
    }
    steps.unshift('html');
    return steps.join(' > ');
  };
  document.addEventListener('click', function (event) {
    if (!bridge || !event.isTrusted || !(event.target instanceof Element)) return;
    const target = event.target.closest(clickable);
    if (target) bridge.clicked(pathOf(target));
  }, true);
  window.__velmoraGroup = {
    scroll: function (to) {
      expected = Math.round(to * scrollable());
      quietUntil = performance.now() + 200;
      scrollTo(scrollX, expected);
    },
    click: function (path) {
      const target = document.querySelector(path);
      if (target) target.click();
    },
    fraction: fraction
  };
})();
)JS";

QString WebChannelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A value as a JavaScript literal; JSON is a subset.
QString Literal(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

bool CanPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

GroupMember::GroupMember(EmulatorWindow *emulatorWindow, const EmulatorRequest &request)
    : QObject(emulatorWindow), window(emulatorWindow)
{
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    group = new EmulatorGroup(LocalChannel::Place::ForName(EmulatorGroup::ChannelName(), fallback),
                              this);
    liveReload = new LiveReload(window->page(), this);
    liveReload->SetEnabled(request.liveReload);
    BuildActions(request);
    InstallFollowScript();

    // The size it will show at, its controls polished and its toolbar complete.
    window->ensurePolished();
    window->FitWindow();
    const QScreen *screen = window->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1, 1);
    const GroupMessage welcome =
        group->Join(window->size() + QSize(0, window->FrameHeight()), available);
    Arrange(welcome);
    if (request.follow && request.address.isEmpty() && !welcome.address.isEmpty())
        window->SetStartAddress(welcome.address.toString());

    connect(group, &EmulatorGroup::received, this, &GroupMember::OnReceived);
    connect(group, &EmulatorGroup::rejoined, this, [this] {
        AnnounceWindow();
        if (Following() && IsFollowableAddress(window->page()->url()))
            group->Publish(GroupMessage::Navigation(GroupMessage::Address, window->page()->url()));
    });
    connect(window->page(), &QWebEnginePage::urlChanged, this, &GroupMember::OnUrlChanged);
    connect(window->page(), &QWebEnginePage::loadFinished, this, [this] {
        firstPage = false;
        followed.clear();
    });
    windowMoved.setSingleShot(true);
    windowMoved.setInterval(WindowMovedMs);
    connect(&windowMoved, &QTimer::timeout, this, &GroupMember::AnnounceWindow);
    window->installEventFilter(this);
}

GroupMember::~GroupMember() = default;

bool GroupMember::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show)
        windowMoved.start();
    return QObject::eventFilter(watched, event);
}

void GroupMember::Arrange(const GroupMessage &welcome)
{
    if (welcome.position && CanPlaceWindows())
        window->move(*welcome.position);
}

void GroupMember::AnnounceWindow()
{
    if (!window->isVisible())
        return;
    GroupMessage message = GroupMessage::Of(GroupMessage::Window);
    message.rect = window->frameGeometry();
    group->Publish(message);
}

void GroupMember::BuildActions(const EmulatorRequest &request)
{
    followAction = new QAction(QIcon::fromTheme(QStringLiteral("emblem-shared")),
                               QStringLiteral("Follow"), window);
    followAction->setCheckable(true);
    followAction->setChecked(request.follow);
    followAction->setToolTip(
        QStringLiteral("Follow the other emulators' navigation, scrolling and clicks"));

    auto *openAll = new QAction(QStringLiteral("Open in all"), window);
    openAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openAll, &QAction::triggered, this, [this] {
        const QUrl url = window->page()->url();
        if (IsFollowableAddress(url))
            group->Publish(GroupMessage::Navigation(GroupMessage::Open, url));
        else
            window->statusBar()->showMessage(
                QStringLiteral("Only http, https and file addresses open in all windows"),
                StatusMessageMs);
    });
    auto *reloadAll = new QAction(QStringLiteral("Reload all"), window);
    reloadAll->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), QKeySequence(Qt::SHIFT | Qt::Key_F5)});
    connect(reloadAll, &QAction::triggered, this, [this] {
        group->Publish(GroupMessage::Of(GroupMessage::Reload));
        window->page()->triggerAction(QWebEnginePage::Reload);
    });
    auto *live = new QAction(QStringLiteral("Reload when the file is saved"), window);
    live->setCheckable(true);
    live->setChecked(request.liveReload);
    connect(live, &QAction::toggled, liveReload, &LiveReload::SetEnabled);

    auto *menu = new QMenu(window);
    menu->addActions({followAction, openAll, reloadAll});
    menu->addSeparator();
    menu->addAction(live);
    auto *button = new QToolButton;
    button->setDefaultAction(followAction);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    window->toolsBar()->addWidget(button);
    // Their shortcuts work while the page has the focus.
    window->addActions({openAll, reloadAll});
}

void GroupMember::InstallFollowScript()
{
    auto *bridge = new PageBridge(this);
    auto *channel = new QWebChannel(this);
    channel->registerObject(QStringLiteral("follow"), bridge);
    window->page()->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
    QWebEngineScript script;
    script.setName(QStringLiteral("velmora-follow"));
    script.setSourceCode(WebChannelScript() + QLatin1String(FollowScript));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    window->page()->scripts().insert(script);

    connect(bridge, &PageBridge::scrolledTo, this, [this](double fraction) {
        if (Following() && std::isfinite(fraction))
            group->Publish(GroupMessage::ScrollTo(qBound(0.0, fraction, 1.0)));
    });
    connect(bridge, &PageBridge::clickedOn, this, [this](const QString &path) {
        if (Following() && IsElementPath(path))
            group->Publish(GroupMessage::ClickOn(path));
    });
}

bool GroupMember::Following() const
{
    return followAction->isChecked();
}

void GroupMember::OnReceived(const GroupMessage &message)
{
    switch (message.kind) {
    case GroupMessage::Open:
        Go(message.address);
        break;
    case GroupMessage::Reload:
        window->page()->triggerAction(QWebEnginePage::Reload);
        break;
    case GroupMessage::Navigate:
        if (Following() && window->page()->url() != message.address)
            Go(message.address);
        break;
    case GroupMessage::Scroll:
        if (Following())
            RunInPage(QStringLiteral("scroll(%1)").arg(message.fraction, 0, 'g', 17));
        break;
    case GroupMessage::Click:
        if (Following()) {
            sinceFollowed.start();
            RunInPage(QStringLiteral("click(%1)").arg(Literal(message.path)));
        }
        break;
    default:
        break;
    }
}

void GroupMember::Go(const QUrl &address)
{
    followed = address;
    sinceFollowed.start();
    window->page()->load(address);
}

void GroupMember::RunInPage(const QString &call)
{
    window->page()->runJavaScript(
        QStringLiteral("window.__velmoraGroup && window.__velmoraGroup.") + call,
        QWebEngineScript::ApplicationWorld);
}

void GroupMember::OnUrlChanged(const QUrl &url)
{
    if (!IsFollowableAddress(url))
        return;
    // The window's own first page, and where following took it, is for newcomers only.
    const bool caused =
        url == followed || (sinceFollowed.isValid() && !sinceFollowed.hasExpired(FollowQuietMs));
    if (firstPage || caused || !Following()) {
        if (Following())
            group->Publish(GroupMessage::Navigation(GroupMessage::Address, url));
        return;
    }
    group->Publish(GroupMessage::Navigation(GroupMessage::Navigate, url));
}
