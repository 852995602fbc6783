#include "group/groupmember.h"

#include "core/displayzoom.h"
#include "core/screenshotfile.h"
#include "group/emulatorgroup.h"
#include "group/launcherwindow.h"
#include "group/livereload.h"
#include "ui/emulatorwindow.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int WindowMovedMs = 150;
constexpr int StatusMessageMs = 10000;
// The zooms a window offers the group, in percent apart at least.
constexpr int ZoomChoiceStep = 5;
// As long as the engine takes a window a page opens for the user's.
constexpr int PressedMs = 1000;

QString FollowScript()
{
    QFile file(QStringLiteral(":/group/js/follow.js"));
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

const QString GroupMember::FollowBinding = QStringLiteral("velmoraFollow");
const QString GroupMember::LeavingBinding = QStringLiteral("velmoraLeaving");

GroupMember::GroupMember(EmulatorWindow *emulatorWindow, const EmulatorRequest &request)
    : QObject(emulatorWindow), window(emulatorWindow), profileName(request.profileName)
{
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    group = new EmulatorGroup(LocalChannel::Place::ForName(EmulatorGroup::ChannelName(), fallback),
                              this);
    liveReload = new LiveReload(window->page(), this);
    liveReload->SetWatchFolder(request.watchFolder);
    liveReload->SetIgnoredFile(request.stateFilePath);
    liveReload->SetEnabled(request.liveReload);
    connect(liveReload, &LiveReload::notice, window->statusBar(),
            [this](const QString &text) { window->statusBar()->showMessage(text); });
    BuildActions(request);
    InstallFollowScript();

    // The size it will show at, its controls polished and its toolbar complete.
    window->ensurePolished();
    window->FitWindow();
    const QScreen *screen = window->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1, 1);
    group->SetObstacles(&LauncherWindows);
    const GroupMessage welcome = group->Join(FrameSizes(request.zoomPercent), available);
    Arrange(welcome);
    if (request.follow && request.address.isEmpty() && !welcome.address.isEmpty())
        window->SetStartAddress(welcome.address.toString());

    connect(group, &EmulatorGroup::received, this, &GroupMember::OnReceived);
    connect(group, &EmulatorGroup::arranged, this, &GroupMember::Arrange);
    connect(group, &EmulatorGroup::rejoined, this, [this] {
        AnnounceWindow();
        if (Following() && !shownByPage && IsFollowableAddress(window->page()->url()))
            group->Publish(GroupMessage::Navigation(GroupMessage::Address, window->page()->url()));
    });
    connect(window->page(), &BrowserPage::navigated, this, &GroupMember::OnNavigated);
    // A load the page did not announce, right after a click that opens no window: the window
    // a page opened, shown in the device.
    connect(window->page(), &BrowserPage::loadStarted, this, [this] {
        openedByPage = !leaving && sincePressed.isValid() && !sincePressed.hasExpired(PressedMs);
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

// The frame at the zoom asked for, then at lower ones down to the smallest step, for the
// group to take the largest that has a free place. Sizes the toolbars hold are offered once.
QList<QSize> GroupMember::FrameSizes(int askedPercent)
{
    const auto frame = [this] { return window->size() + window->FrameSize(); };
    QList<QSize> sizes{frame()};
    zoomChoices = {askedPercent};
    const int from = qRound(window->displayZoom() * 100);
    const int lowest = DisplayZoom::Steps().constFirst();
    if (!CanPlaceWindows() || from <= lowest)
        return sizes;
    const int step = qMax(ZoomChoiceStep, (from - lowest + GroupLimits::MaxSmallerSizes - 1) /
                                              GroupLimits::MaxSmallerSizes);
    for (int percent = from - step; percent > lowest - step; percent -= step) {
        window->SetZoomPercent(qMax(percent, lowest));
        if (frame() != sizes.constLast()) {
            sizes.append(frame());
            zoomChoices.append(qMax(percent, lowest));
        }
    }
    window->SetZoomPercent(askedPercent);
    return sizes;
}

void GroupMember::Arrange(const GroupMessage &welcome)
{
    if (!welcome.position || !CanPlaceWindows())
        return;
    // The owner is a peer: its choice is one of ours or none.
    if (welcome.choice != zoomChoice && welcome.choice < zoomChoices.size()) {
        zoomChoice = welcome.choice;
        window->SetZoomPercent(zoomChoices.at(zoomChoice));
        if (zoomChoice > 0)
            window->statusBar()->showMessage(
                QStringLiteral("Zoomed out to %1% to share the screen with the other windows")
                    .arg(zoomChoices.at(zoomChoice)),
                StatusMessageMs);
    }
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
        QStringLiteral("Follow the other emulators' navigation, scrolling, clicks and typing"));

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
        window->page()->Reload();
    });
    auto *screenshots = new QAction(QStringLiteral("Screenshot of all"), window);
    screenshots->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    screenshots->setToolTip(
        QStringLiteral("Every window of the group saves a screenshot into one folder"));
    connect(screenshots, &QAction::triggered, this, [this] {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        GroupMessage message = GroupMessage::Of(GroupMessage::Screenshots);
        message.text = stamp;
        group->Publish(message);
        SaveScreenshot(stamp);
    });
    auto *live = new QAction(QStringLiteral("Reload when a file is saved"), window);
    live->setCheckable(true);
    live->setChecked(request.liveReload);
    connect(live, &QAction::toggled, liveReload, &LiveReload::SetEnabled);

    auto *menu = new QMenu(window);
    menu->addActions({followAction, openAll, reloadAll, screenshots});
    menu->addSeparator();
    menu->addAction(live);
    auto *button = new QToolButton;
    button->setDefaultAction(followAction);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    window->toolsBar()->addWidget(button);
    // Their shortcuts work while the page has the focus.
    window->addActions({openAll, reloadAll, screenshots});
}

void GroupMember::InstallFollowScript()
{
    BrowserPage *page = window->page();
    page->AddBinding(FollowBinding);
    page->AddBinding(LeavingBinding);
    page->AddScript(FollowScript());
    connect(page, &BrowserPage::bindingCalled, this, &GroupMember::OnBinding);
}

// What the page reports is checked as if a peer had sent it, and may only be what the user
// did within the page.
void GroupMember::OnBinding(const QString &name, const QString &text)
{
    if (name == LeavingBinding && text == QLatin1String("pressed")) {
        sincePressed.start();
        leaving = false; // what the page may do next is yet to be told
    } else if (name == LeavingBinding) {
        leftByPage = text != QLatin1String("user");
        leaving = true;
    }
    if (name != FollowBinding || !Following())
        return;
    const std::optional<GroupMessage> message = ParseGroupMessage(text.toUtf8());
    if (message && message->IsInPage())
        group->Publish(*message);
}

bool GroupMember::Following() const
{
    return followAction->isChecked();
}

void GroupMember::OnReceived(const GroupMessage &message)
{
    BrowserPage *page = window->page();
    switch (message.kind) {
    case GroupMessage::Open:
        page->Load(message.address, BrowserPage::NavigationCause::Program);
        break;
    case GroupMessage::Reload:
        page->Reload();
        break;
    case GroupMessage::Navigate:
        if (Following() && page->url() != message.address)
            page->Load(message.address, BrowserPage::NavigationCause::Program);
        break;
    case GroupMessage::Screenshots:
        SaveScreenshot(message.text);
        break;
    default:
        break;
    }
    if (!Following() || !message.IsInPage())
        return;
    // The script compares the address with its page's own when it runs: a page that changed
    // meanwhile is left alone.
    const QString address = Literal(message.address.toString(QUrl::FullyEncoded));
    switch (message.kind) {
    case GroupMessage::Scroll:
        RunInPage(QStringLiteral("scroll(%1, %2)").arg(message.fraction, 0, 'g', 17).arg(address));
        break;
    case GroupMessage::Click:
        RunInPage(QStringLiteral("click(%1, %2)").arg(Literal(message.path), address));
        break;
    case GroupMessage::Focus:
        RunInPage(QStringLiteral("focus(%1, %2)").arg(Literal(message.path), address));
        break;
    case GroupMessage::Type:
        RunInPage(QStringLiteral("type(%1, %2, %3)")
                      .arg(Literal(message.path), address, Literal(message.text)));
        break;
    default:
        break;
    }
}

// Into one folder for the whole group, named by the time the user asked: every window saves
// its own file there, named by its profile.
void GroupMember::SaveScreenshot(const QString &stamp)
{
    if (!window->page()->isActive())
        return;
    const QPointer<GroupMember> self(this);
    window->page()->Capture(false, [self, stamp](const QByteArray &png, const QString &problem) {
        if (!self)
            return;
        QString failure;
        const QString path =
            problem.isEmpty()
                ? WriteGroupScreenshot(GroupScreenshotDirectory(ScreenshotsLocation(), stamp),
                                       self->profileName, png, &failure)
                : QString();
        self->window->statusBar()->showMessage(ScreenshotOutcome(path, failure, problem),
                                               StatusMessageMs);
    });
}

void GroupMember::RunInPage(const QString &call)
{
    window->page()->Evaluate(
        QStringLiteral("window.__velmoraGroup && window.__velmoraGroup.") + call,
        [](const QJsonValue &, const QString &) {}, BrowserPage::World::Isolated);
}

// Only the user's own navigations, committed, are followed: not those the page made, even
// right after the user's click, as its script said. A newcomer opens the address the window
// shows unless the page went there on its own: a page leads no window anywhere.
void GroupMember::OnNavigated(const QUrl &url, BrowserPage::NavigationCause cause)
{
    shownByPage = cause == BrowserPage::NavigationCause::Script ||
                  (cause == BrowserPage::NavigationCause::User && (leftByPage || openedByPage));
    leftByPage = leaving = openedByPage = false;
    if (!Following() || shownByPage || !IsFollowableAddress(url))
        return;
    group->Publish(GroupMessage::Navigation(cause == BrowserPage::NavigationCause::User
                                                ? GroupMessage::Navigate
                                                : GroupMessage::Address,
                                            url));
}
