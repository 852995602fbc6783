#include "ui/emulatorwindow.h"

#include "core/displayzoom.h"
#include "core/screenshotfile.h"
#include "core/startpage.h"
#include "engine/browserpage.h"
#include "ui/messagebar.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString StartPageScheme = QStringLiteral("data");
// Keeps the address field usable however narrow the device.
constexpr int MinimumAddressWidth = 160;
constexpr int NarrowAddressWidth = 80;
// A window manager's title bar and side borders, before the window is shown and its frame
// known.
constexpr int AssumedTitleBarHeight = 32;
constexpr int AssumedBorderWidth = 2;
// Back, Forward, Reload, a short address field and the tools' extension button.
constexpr int NarrowestWindow = 180;
constexpr int StatusMessageMs = 20000;

QString PercentText(qreal zoom)
{
    return QStringLiteral("%1%").arg(qRound(zoom * 100));
}

// Checks the choice whose value is `value`. With `custom`, the group's last choice stands for
// a value no other has, shown as `customText`, and only then.
void SelectChoice(QActionGroup *group, const QVariant &value, bool custom = false,
                  const QString &customText = {})
{
    const QList<QAction *> actions = group->actions();
    QAction *chosen = nullptr;
    for (QAction *action : actions) {
        if (action->data() == value && (!custom || action != actions.last()))
            chosen = action;
    }
    if (custom) {
        actions.last()->setVisible(chosen == nullptr);
        if (chosen == nullptr) {
            chosen = actions.last();
            chosen->setData(value);
            chosen->setText(customText);
        }
    }
    if (chosen)
        chosen->setChecked(true);
}

// Every control side by side: the toolbar's own hint may leave some in its overflow menu.
int RowWidth(const QToolBar *bar)
{
    const QMargins margins = bar->layout()->contentsMargins();
    int width = margins.left() + margins.right();
    for (QAction *action : bar->actions()) {
        if (const QWidget *widget = bar->widgetForAction(action))
            width +=
                qMax(widget->sizeHint().width(), widget->minimumWidth()) + bar->layout()->spacing();
    }
    return width;
}

// An icon in place of the text, which the tooltip keeps, with the shortcut.
void ShowAsIcon(QAction *action, QStyle::StandardPixmap icon, const QStyle *style)
{
    action->setIcon(style->standardIcon(icon));
    action->setToolTip(QStringLiteral("%1 (%2)").arg(
        action->text(), action->shortcut().toString(QKeySequence::NativeText)));
}

} // namespace

EmulatorWindow::EmulatorWindow(const EmulatorRequest &request, const Device &emulated,
                               const UserAgentDetails &userAgent, BrowserPage *page,
                               const QString &profileText, QWidget *parent)
    : QMainWindow(parent), asked(request), device(emulated), conditions(request.conditions),
      agent(userAgent), profileDescription(profileText), zoomPercent(request.zoomPercent),
      browserPage(page)
{
    browserPage->setParent(this);
    view = new QWidget;
    scrollArea = new QScrollArea;
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setAlignment(Qt::AlignCenter);
    scrollArea->setWidget(view);
    messageBar = new MessageBar;
    auto *central = new QWidget;
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(messageBar);
    column->addWidget(scrollArea, 1);
    setCentralWidget(central);
    BuildActions();
    BuildToolBar();
    engineLabel = new QLabel;
    statusBar()->addPermanentWidget(engineLabel);
    ConnectPage();
    ApplyDisplay();
}

EmulatorWindow::~EmulatorWindow() = default;

void EmulatorWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once shown, the controls are polished and their sizes final.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, &EmulatorWindow::FitWindow);
}

// The engine is closed first, so that it writes the profile; the window goes when it has.
void EmulatorWindow::closeEvent(QCloseEvent *event)
{
    if (closed) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (closing)
        return;
    closing = true;
    statusBar()->showMessage(QStringLiteral("Closing..."));
    browserPage->Close();
}

void EmulatorWindow::ConnectPage()
{
    connect(browserPage, &BrowserPage::started, this, &EmulatorWindow::OnStarted);
    connect(browserPage, &BrowserPage::urlChanged, this, &EmulatorWindow::ShowAddress);
    connect(browserPage, &BrowserPage::notice, this,
            [this](const QString &text) { statusBar()->showMessage(text, StatusMessageMs); });
    connect(browserPage, &BrowserPage::dialogOpened, this, &EmulatorWindow::ShowDialog);
    connect(browserPage, &BrowserPage::dialogClosed, messageBar, &QWidget::hide);
    connect(browserPage, &BrowserPage::rendererGone, this, [this](const QString &reason) {
        messageBar->disconnect(this);
        messageBar->Show(
            QStringLiteral("The page stopped working (%1). The emulator is still running.")
                .arg(reason.isEmpty() ? QStringLiteral("its renderer ended") : reason),
            {QStringLiteral("Reload")});
        connect(
            messageBar, &MessageBar::answered, this, [this] { browserPage->Reload(); },
            Qt::SingleShotConnection);
    });
    connect(browserPage, &BrowserPage::unresponsive, this, [this](bool stuck) {
        if (!stuck) {
            messageBar->hide();
            return;
        }
        messageBar->disconnect(this);
        messageBar->Show(QStringLiteral("The page is not responding."),
                         {QStringLiteral("Wait"), QStringLiteral("Stop the page")});
        connect(
            messageBar, &MessageBar::answered, this,
            [this](int button) {
                if (button == 1)
                    browserPage->EndPage();
            },
            Qt::SingleShotConnection);
    });
    connect(browserPage, &BrowserPage::shortcutPressed, this, [this](const QKeySequence &key) {
        for (QAction *action : findChildren<QAction *>()) {
            if (action->isEnabled() && action->shortcuts().contains(key)) {
                action->trigger();
                return;
            }
        }
    });
    connect(browserPage, &BrowserPage::finished, this, [this](const QString &problem) {
        if (!problem.isEmpty())
            Complain(problem);
        closed = true;
        close();
    });
}

void EmulatorWindow::Start()
{
    QList<QKeySequence> keys;
    for (QAction *action : findChildren<QAction *>())
        keys += action->shortcuts();
    browserPage->ForwardShortcuts(keys);
    browserPage->SetConditions(conditions);
    browserPage->Start(device, agent, zoom);
}

void EmulatorWindow::OnStarted(bool active, const QString &problem)
{
    engineLabel->setText(
        QStringLiteral("%1 %2").arg(browserPage->engineName(), browserPage->engineVersion()));
    if (!active) {
        startProblem = problem;
        Complain(problem);
        auto *label = new QLabel(QStringLiteral("The page cannot be shown: %1").arg(problem));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        view = label;
        scrollArea->setWidget(view);
        for (QAction *action : {screenshotAction, fullPageAction, inspectAction, rotateAction})
            action->setEnabled(false);
        ApplyDisplay();
        Q_EMIT pageReady(false);
        return;
    }
    if (QWidget *shown = browserPage->TakeView()) {
        view = shown;
        scrollArea->setWidget(view);
    }
    ApplyDisplay();
    if (asked.address.isEmpty())
        browserPage->SetHtml(StartPageHtml(asked, device, profileDescription));
    else
        OpenAddress(asked.address, BrowserPage::NavigationCause::Program);
    Q_EMIT pageReady(true);
}

void EmulatorWindow::BuildActions()
{
    backAction = new QAction(QStringLiteral("Back"), this);
    backAction->setShortcut(QKeySequence::Back);
    connect(backAction, &QAction::triggered, this, [this] { browserPage->GoBack(); });
    forwardAction = new QAction(QStringLiteral("Forward"), this);
    forwardAction->setShortcut(QKeySequence::Forward);
    connect(forwardAction, &QAction::triggered, this, [this] { browserPage->GoForward(); });
    reloadAction = new QAction(QStringLiteral("Reload"), this);
    reloadAction->setShortcut(QKeySequence(Qt::Key_F5));
    connect(reloadAction, &QAction::triggered, this, [this] { browserPage->Reload(); });
    ShowAsIcon(backAction, QStyle::SP_ArrowBack, style());
    ShowAsIcon(forwardAction, QStyle::SP_ArrowForward, style());
    ShowAsIcon(reloadAction, QStyle::SP_BrowserReload, style());

    zoomGroup = new QActionGroup(this);
    QList<int> percents = DisplayZoom::Steps();
    percents.prepend(0);
    for (int percent : percents) {
        QAction *action = zoomGroup->addAction(percent == 0 ? QStringLiteral("Fit to screen")
                                                            : QStringLiteral("%1%").arg(percent));
        action->setCheckable(true);
        action->setData(percent);
        connect(action, &QAction::triggered, this, [this, percent] { SetZoomPercent(percent); });
        if (percent == 0) {
            zoomFitAction = action;
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
        }
    }
    zoomInAction = new QAction(QStringLiteral("Zoom in"), this);
    zoomInAction->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(zoomInAction, &QAction::triggered, this, [this] { StepZoom(true); });
    zoomOutAction = new QAction(QStringLiteral("Zoom out"), this);
    zoomOutAction->setShortcut(QKeySequence::ZoomOut);
    connect(zoomOutAction, &QAction::triggered, this, [this] { StepZoom(false); });

    rotateAction = new QAction(QIcon::fromTheme(QStringLiteral("object-rotate-right")),
                               QStringLiteral("Rotate"), this);
    rotateAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(rotateAction, &QAction::triggered, this, &EmulatorWindow::Rotate);

    screenshotAction = new QAction(QIcon::fromTheme(QStringLiteral("camera-photo")),
                                   QStringLiteral("Screenshot"), this);
    screenshotAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(screenshotAction, &QAction::triggered, this, [this] { SaveScreenshot(false); });
    fullPageAction = new QAction(QStringLiteral("Screenshot of the whole page"), this);
    fullPageAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(fullPageAction, &QAction::triggered, this, [this] { SaveScreenshot(true); });

    inspectAction = new QAction(QIcon::fromTheme(QStringLiteral("document-properties")),
                                QStringLiteral("Inspect"), this);
    inspectAction->setShortcuts(
        {QKeySequence(Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)});
    connect(inspectAction, &QAction::triggered, this, [this] { browserPage->OpenInspector(); });

    auto *focusAddress = new QAction(this);
    focusAddress->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(focusAddress, &QAction::triggered, this, [this] {
        addressEdit->setFocus();
        addressEdit->selectAll();
    });
    // Shortcuts of actions that sit only in menus work while the window has the focus.
    addActions({zoomInAction, zoomOutAction, zoomFitAction, fullPageAction, focusAddress});
}

void EmulatorWindow::BuildToolBar()
{
    const auto addRow = [this](const QString &title) {
        QToolBar *bar = addToolBar(title);
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->toggleViewAction()->setEnabled(false);
        return bar;
    };
    navigationRow = addRow(QStringLiteral("Navigation"));
    toolsRow = addRow(QStringLiteral("Tools"));
    // Small icons keep the row as low as the address field: two rows cost the device height.
    const int iconSide = style()->pixelMetric(QStyle::PM_SmallIconSize);
    navigationRow->setIconSize(QSize(iconSide, iconSide));
    navigationRow->addActions({backAction, forwardAction, reloadAction});
    addressEdit = new QLineEdit;
    addressEdit->setPlaceholderText(QStringLiteral("Address"));
    addressEdit->setClearButtonEnabled(true);
    addressEdit->setMinimumWidth(MinimumAddressWidth);
    navigationRow->addWidget(addressEdit);
    connect(addressEdit, &QLineEdit::returnPressed, this,
            [this] { OpenAddress(addressEdit->text(), BrowserPage::NavigationCause::User); });

    auto *zoomMenu = new QMenu(this);
    zoomMenu->addActions(zoomGroup->actions());
    zoomMenu->addSeparator();
    zoomMenu->addActions({zoomInAction, zoomOutAction});
    zoomButton = new QToolButton;
    zoomButton->setToolTip(QStringLiteral("Display zoom; the page sees the same device"));
    zoomButton->setMenu(zoomMenu);
    zoomButton->setPopupMode(QToolButton::InstantPopup);
    toolsRow->addWidget(zoomButton);

    // One button for all the page is told of its surroundings keeps the row short.
    emulateButton = new QToolButton;
    emulateButton->setText(QStringLiteral("Emulate"));
    emulateButton->setMenu(BuildEmulateMenu());
    emulateButton->setPopupMode(QToolButton::InstantPopup);
    toolsRow->addWidget(emulateButton);
    UpdateEmulateMenu();

    toolsRow->addAction(rotateAction);
    auto *screenshotMenu = new QMenu(this);
    screenshotMenu->addActions({screenshotAction, fullPageAction});
    auto *screenshotButton = new QToolButton;
    screenshotButton->setDefaultAction(screenshotAction);
    screenshotButton->setMenu(screenshotMenu);
    screenshotButton->setPopupMode(QToolButton::MenuButtonPopup);
    toolsRow->addWidget(screenshotButton);
    toolsRow->addAction(inspectAction);
}

QMenu *EmulatorWindow::BuildEmulateMenu()
{
    emulateMenu = new QMenu(this);
    // A submenu of exclusive choices, each with the value UpdateEmulateMenu compares.
    const auto choices = [this](const QString &title, QActionGroup *&group) {
        QMenu *menu = emulateMenu->addMenu(title);
        group = new QActionGroup(menu);
        return menu;
    };
    const auto choice = [](QMenu *menu, QActionGroup *group, const QString &text,
                           const QVariant &value) {
        QAction *action = group->addAction(text);
        action->setCheckable(true);
        action->setData(value);
        menu->addAction(action);
        return action;
    };
    // What a choice changes; the last choice of CPU, location and safe area stands for a
    // value given that no other has, and changes nothing.
    const auto onChoice = [this](QActionGroup *group, auto apply) {
        connect(group, &QActionGroup::triggered, this, [this, apply](QAction *action) {
            PageConditions wanted = conditions;
            apply(wanted, action->data());
            SetConditions(wanted);
        });
    };

    QMenu *menu = choices(QStringLiteral("Colour scheme"), schemeGroup);
    choice(menu, schemeGroup, QStringLiteral("As the system"), int(ColorScheme::System));
    choice(menu, schemeGroup, QStringLiteral("Light"), int(ColorScheme::Light));
    choice(menu, schemeGroup, QStringLiteral("Dark"), int(ColorScheme::Dark));
    onChoice(schemeGroup, [](PageConditions &wanted, const QVariant &value) {
        wanted.colorScheme = ColorScheme(value.toInt());
    });

    motionAction = emulateMenu->addAction(QStringLiteral("Reduce motion"));
    motionAction->setCheckable(true);
    connect(motionAction, &QAction::triggered, this, [this](bool reduce) {
        PageConditions wanted = conditions;
        wanted.reducedMotion = reduce;
        SetConditions(wanted);
    });

    menu = choices(QStringLiteral("Network"), networkGroup);
    choice(menu, networkGroup, QStringLiteral("Unthrottled"), int(NetworkCondition::Online));
    choice(menu, networkGroup, QStringLiteral("Fast 4G"), int(NetworkCondition::Fast4G));
    choice(menu, networkGroup, QStringLiteral("Slow 3G"), int(NetworkCondition::Slow3G));
    choice(menu, networkGroup, QStringLiteral("Offline"), int(NetworkCondition::Offline));
    onChoice(networkGroup, [](PageConditions &wanted, const QVariant &value) {
        wanted.network = NetworkCondition(value.toInt());
    });

    menu = choices(QStringLiteral("CPU"), cpuGroup);
    for (int rate : {1, 2, 4, 6, 0})
        choice(menu, cpuGroup,
               rate == 1 ? QStringLiteral("Full speed") : QStringLiteral("%1x slower").arg(rate),
               rate);
    onChoice(cpuGroup, [](PageConditions &wanted, const QVariant &value) {
        wanted.cpuSlowdown = value.toInt();
    });

    menu = choices(QStringLiteral("Location"), locationGroup);
    choice(menu, locationGroup, QStringLiteral("Refused"), QString());
    choice(menu, locationGroup, QString(), QString());
    onChoice(locationGroup, [](PageConditions &wanted, const QVariant &value) {
        wanted.located = !value.toString().isEmpty();
    });
    connect(menu->addAction(QStringLiteral("Set location...")), &QAction::triggered, this, [this] {
        EmulatorRequest parsed;
        if (AskValue(QStringLiteral("Latitude, longitude"), EmulatorOption::Geolocation,
                     GeolocationText(conditions), parsed)) {
            PageConditions wanted = conditions;
            wanted.located = true;
            wanted.latitude = parsed.conditions.latitude;
            wanted.longitude = parsed.conditions.longitude;
            SetConditions(wanted);
        }
    });

    menu = choices(QStringLiteral("Safe area"), safeAreaGroup);
    // A phone's notch and home bar, in CSS pixels.
    const QString notch = SafeAreaText(QMargins(0, 47, 0, 34));
    choice(menu, safeAreaGroup, QStringLiteral("None"), SafeAreaText({}));
    choice(menu, safeAreaGroup, QStringLiteral("Notch (%1)").arg(notch), notch);
    choice(menu, safeAreaGroup, QString(), QString());
    connect(safeAreaGroup, &QActionGroup::triggered, this, [this](QAction *action) {
        SetSafeArea(
            ParseEmulatorArguments({EmulatorOption::SafeArea, action->data().toString()}).safeArea);
    });
    connect(menu->addAction(QStringLiteral("Set safe area...")), &QAction::triggered, this, [this] {
        EmulatorRequest parsed;
        if (AskValue(QStringLiteral("Top, right, bottom, left (CSS pixels)"),
                     EmulatorOption::SafeArea, SafeAreaText(safeArea()), parsed))
            SetSafeArea(parsed.safeArea);
    });
    return emulateMenu;
}

bool EmulatorWindow::AskValue(const QString &title, QLatin1String option, const QString &current,
                              EmulatorRequest &parsed)
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, title, title, QLineEdit::Normal, current, &ok);
    if (!ok)
        return false;
    parsed = ParseEmulatorArguments({option, text});
    if (parsed.problems.isEmpty())
        return true;
    statusBar()->showMessage(parsed.problems.first(), StatusMessageMs);
    return false;
}

void EmulatorWindow::SetConditions(const PageConditions &wanted)
{
    conditions = wanted;
    browserPage->SetConditions(conditions);
    UpdateEmulateMenu();
}

void EmulatorWindow::SetSafeArea(const QMargins &asGiven)
{
    device.SetSafeArea(asGiven);
    if (browserPage->isActive())
        browserPage->SetMetrics(device, zoom);
    UpdateEmulateMenu();
}

// Checks what is in force, shows a value given that no preset has, and lists the settings in
// the button's tooltip.
void EmulatorWindow::UpdateEmulateMenu()
{
    const QString rate = QString::number(conditions.cpuSlowdown);
    const QString place = GeolocationText(conditions);
    const QString insets = SafeAreaText(safeArea());
    SelectChoice(schemeGroup, int(conditions.colorScheme));
    SelectChoice(networkGroup, int(conditions.network));
    SelectChoice(cpuGroup, conditions.cpuSlowdown, true, QStringLiteral("%1x slower").arg(rate));
    SelectChoice(locationGroup, place, true, place);
    SelectChoice(safeAreaGroup, insets, true, insets);
    motionAction->setChecked(conditions.reducedMotion);

    emulateButton->setToolTip(
        QStringLiteral("Colour scheme, motion, network, CPU, location and safe area; now: %1")
            .arg(ConditionsSummary(conditions, safeArea())));
}

void EmulatorWindow::SetZoomPercent(int percent)
{
    zoomPercent = percent;
    ApplyDisplay();
}

void EmulatorWindow::StepZoom(bool in)
{
    const qreal next = in ? DisplayZoom::ZoomIn(zoom) : DisplayZoom::ZoomOut(zoom);
    SetZoomPercent(qRound(next * 100));
}

void EmulatorWindow::Rotate()
{
    device = device.rotated();
    ApplyDisplay();
}

// The view's size is in the host's device-independent pixels; so is the zoom.
void EmulatorWindow::ApplyDisplay()
{
    const QSize css = device.cssSize();
    if (zoomPercent > 0) {
        zoom = zoomPercent / 100.0;
    } else {
        const QScreen *desktop = screen();
        // The window's borders take screen width too.
        const QSize available =
            desktop ? desktop->availableGeometry().size() - QSize(FrameSize().width(), 0) : QSize();
        zoom = 1.0;
        if (!available.isEmpty()) {
            zoom = DisplayZoom::Fit(css, available, ChromeHeight(false));
            // Narrower than the toolbars, it has them in two rows, and less height.
            if (NeedsTwoRows(qRound(css.width() * zoom)))
                zoom = DisplayZoom::Fit(css, available, ChromeHeight(true));
        }
    }
    view->setFixedSize(qRound(css.width() * zoom), qRound(css.height() * zoom));
    if (browserPage->isActive())
        browserPage->SetMetrics(device, zoom);
    UpdateZoomControls();
    FitWindow();
}

// Everything of the window above and below the device, title bar included.
int EmulatorWindow::ChromeHeight(bool twoRows) const
{
    return ToolBarsHeight(twoRows) + statusBar()->sizeHint().height() + FrameSize().height();
}

QSize EmulatorWindow::FrameSize() const
{
    return isVisible() ? frameGeometry().size() - geometry().size()
                       : QSize(AssumedBorderWidth, AssumedTitleBarHeight);
}

QRect EmulatorWindow::pageGeometry() const
{
    return QRect(view->mapToGlobal(QPoint(0, 0)), view->size());
}

int EmulatorWindow::ToolBarsHeight(bool twoRows) const
{
    const int navigation = navigationRow->sizeHint().height();
    const int tools = toolsRow->sizeHint().height();
    return twoRows ? navigation + tools : qMax(navigation, tools);
}

bool EmulatorWindow::NeedsTwoRows(int deviceWidth) const
{
    return deviceWidth < RowWidth(navigationRow) + RowWidth(toolsRow);
}

// The device stays centred when the toolbars are the wider.
void EmulatorWindow::FitWindow()
{
    const bool twoRows = NeedsTwoRows(view->width());
    if (twoRows != toolBarBreak(toolsRow)) {
        if (twoRows)
            insertToolBarBreak(toolsRow);
        else
            removeToolBarBreak(toolsRow);
        // Fitted to the screen, the device's zoom depends on the rows; a second pass finds
        // the rows already as it wants them.
        if (zoomPercent == 0) {
            ApplyDisplay();
            return;
        }
    }
    // Zoomed out, the window is no wider than the device: tools that do not fit then wait
    // behind their row's extension button, and more devices share the screen. The address
    // field stays, shorter.
    const bool narrow = twoRows && zoom < 1;
    addressEdit->setMinimumWidth(narrow ? NarrowAddressWidth : MinimumAddressWidth);
    const int rowsWidth = twoRows ? qMax(RowWidth(navigationRow), RowWidth(toolsRow))
                                  : RowWidth(navigationRow) + RowWidth(toolsRow);
    const int barHeight = messageBar->isVisible() ? messageBar->sizeHint().height() : 0;
    const int width = qMax(view->width(), narrow ? NarrowestWindow : rowsWidth);
    QSize size(width, view->height() + ToolBarsHeight(twoRows) + statusBar()->sizeHint().height() +
                          barHeight);
    if (const QScreen *desktop = screen()) {
        const QSize frame = frameGeometry().size() - geometry().size();
        size = size.boundedTo(desktop->availableGeometry().size() - frame);
    }
    // Sharing a row, the address field rather than the tools takes the width left over.
    navigationRow->setMinimumWidth(twoRows ? 0 : qMax(0, size.width() - RowWidth(toolsRow)));
    // The window's minimum follows its rows now, not when the layout next runs.
    layout()->activate();
    resize(size);
}

void EmulatorWindow::UpdateZoomControls()
{
    zoomButton->setText(zoomPercent > 0 ? PercentText(zoom)
                                        : QStringLiteral("Fit %1").arg(PercentText(zoom)));
    for (QAction *action : zoomGroup->actions())
        action->setChecked(action->data().toInt() == zoomPercent);
}

void EmulatorWindow::SaveScreenshot(bool fullPage)
{
    if (!browserPage->isActive())
        return;
    statusBar()->showMessage(QStringLiteral("Taking a screenshot..."));
    const QPointer<EmulatorWindow> self(this);
    browserPage->Capture(fullPage, [self](const QByteArray &png, const QString &problem) {
        if (!self)
            return;
        const QString path =
            problem.isEmpty() ? ScreenshotFilePath(ScreenshotsLocation(), self->asked.profileName,
                                                   QImage::fromData(png, "PNG").size(),
                                                   QDateTime::currentDateTime())
                              : QString();
        const QString failure = path.isEmpty() ? QString() : WriteScreenshot(path, png);
        self->statusBar()->showMessage(ScreenshotOutcome(path, failure, problem), StatusMessageMs);
    });
}

void EmulatorWindow::ShowDialog(const QString &type, const QString &message,
                                const QString &defaultText)
{
    messageBar->disconnect(this);
    const bool leaving = type == QLatin1String("beforeunload");
    const QString text = leaving ? QStringLiteral("This page asks whether you want to leave it.")
                                 : QStringLiteral("The page says: %1").arg(message);
    if (type == QLatin1String("alert"))
        messageBar->Show(text, {QStringLiteral("OK")});
    else if (type == QLatin1String("prompt"))
        messageBar->Show(text, {QStringLiteral("OK"), QStringLiteral("Cancel")}, &defaultText);
    else
        messageBar->Show(text, {leaving ? QStringLiteral("Leave") : QStringLiteral("OK"),
                                leaving ? QStringLiteral("Stay") : QStringLiteral("Cancel")});
    connect(
        messageBar, &MessageBar::answered, this,
        [this](int button) { browserPage->AnswerDialog(button == 0, messageBar->inputText()); },
        Qt::SingleShotConnection);
}

void EmulatorWindow::OpenAddress(const QString &text, BrowserPage::NavigationCause cause)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    const QFileInfo file(trimmed);
    const QUrl url =
        file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl::fromUserInput(trimmed);
    browserPage->Load(url, cause);
}

void EmulatorWindow::ShowAddress(const QUrl &url)
{
    // The generated start page has no address worth showing.
    addressEdit->setText(url.scheme() == StartPageScheme ? QString() : url.toDisplayString());
}
