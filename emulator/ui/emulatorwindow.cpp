#include "emulatorwindow.h"

#include "displayzoom.h"
#include "inspectorwindow.h"
#include "pageemulation.h"
#include "pageinputfilter.h"
#include "screenshotfile.h"
#include "startpage.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cmath>

namespace {

const QString StartPageScheme = QStringLiteral("data");
// Keeps the address field usable however narrow the device.
constexpr int MinimumAddressWidth = 160;
// A window manager's title bar, before the window is shown and its frame known.
constexpr int AssumedTitleBarHeight = 32;
constexpr int StatusMessageMs = 20000;

QString PercentText(qreal zoom)
{
    return QStringLiteral("%1%").arg(qRound(zoom * 100));
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
                               const UserAgentDetails &userAgent, QWebEngineProfile *profile,
                               const QString &profileText, QWidget *parent)
    : QMainWindow(parent), asked(request), device(emulated), agent(userAgent),
      profileDescription(profileText), zoomPercent(request.zoomPercent)
{
    view = new QWebEngineView;
    view->setPage(new QWebEnginePage(profile, view));
    QWebEngineSettings *webSettings = view->page()->settings();
    // Phones overlay their scroll bars; classic bars would eat into the viewport.
    webSettings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    webSettings->setAttribute(QWebEngineSettings::SpatialNavigationEnabled,
                              device.input == InputMethod::Keys);
    new PageInputFilter(view, device.input,
                        [this](const QPoint &position) { ShowContextMenu(position, nullptr); });
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        ShowContextMenu(view->mapToGlobal(position), view->createStandardContextMenu());
    });

    scrollArea = new QScrollArea;
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setAlignment(Qt::AlignCenter);
    scrollArea->setWidget(view);
    setCentralWidget(scrollArea);
    BuildActions();
    BuildToolBar();
    statusBar();
    ApplyDisplay();

    connect(view, &QWebEngineView::urlChanged, this, &EmulatorWindow::ShowAddress);
    // The approximation's zoom may be forgotten when a navigation changes the renderer.
    const auto keepZoom = [this] {
        if (fallback)
            view->page()->setZoomFactor(zoom);
    };
    connect(view, &QWebEngineView::urlChanged, this, keepZoom);
    connect(view, &QWebEngineView::loadFinished, this, keepZoom);
}

void EmulatorWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once shown, the controls are polished and their sizes final.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, &EmulatorWindow::FitWindow);
}

// The inspector shows, and the emulation owns, the page bound to ours: both go before it.
EmulatorWindow::~EmulatorWindow()
{
    delete inspector;
    delete emulator;
}

QWebEnginePage *EmulatorWindow::page() const
{
    return view->page();
}

void EmulatorWindow::Start()
{
    emulator = new PageEmulation(page(), device, agent, zoom, this);
    emulator->Start([this](bool active) { OnEmulationStarted(active); });
}

void EmulatorWindow::OnEmulationStarted(bool active)
{
    if (!active) {
        // Unbound, so that no half-working inspector can stop the page; later, as this is
        // its own call.
        emulator->deleteLater();
        emulator = nullptr;
        fallback = true;
        statusBar()->addPermanentWidget(new QLabel(
            QStringLiteral("Device emulation unavailable (the browser engine did not answer): "
                           "sizes approximated")));
        for (QAction *action : {screenshotAction, fullPageAction, inspectAction})
            action->setEnabled(false);
        ApplyDisplay();
    }
    if (asked.address.isEmpty())
        view->setHtml(StartPageHtml(asked, device, profileDescription));
    else
        OpenAddress(asked.address);
    view->setFocus();
}

void EmulatorWindow::BuildActions()
{
    view->pageAction(QWebEnginePage::Back)->setShortcut(QKeySequence::Back);
    view->pageAction(QWebEnginePage::Forward)->setShortcut(QKeySequence::Forward);
    view->pageAction(QWebEnginePage::Reload)->setShortcut(QKeySequence(Qt::Key_F5));
    ShowAsIcon(view->pageAction(QWebEnginePage::Back), QStyle::SP_ArrowBack, style());
    ShowAsIcon(view->pageAction(QWebEnginePage::Forward), QStyle::SP_ArrowForward, style());
    ShowAsIcon(view->pageAction(QWebEnginePage::Reload), QStyle::SP_BrowserReload, style());

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
    connect(inspectAction, &QAction::triggered, this, &EmulatorWindow::OpenInspector);

    auto *focusAddress = new QAction(this);
    focusAddress->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(focusAddress, &QAction::triggered, this, [this] {
        addressEdit->setFocus();
        addressEdit->selectAll();
    });
    // Shortcuts of actions that sit only in menus work while the page has the focus.
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
    navigationRow->addAction(view->pageAction(QWebEnginePage::Back));
    navigationRow->addAction(view->pageAction(QWebEnginePage::Forward));
    navigationRow->addAction(view->pageAction(QWebEnginePage::Reload));
    addressEdit = new QLineEdit;
    addressEdit->setPlaceholderText(QStringLiteral("Address"));
    addressEdit->setClearButtonEnabled(true);
    addressEdit->setMinimumWidth(MinimumAddressWidth);
    navigationRow->addWidget(addressEdit);
    connect(addressEdit, &QLineEdit::returnPressed, this, [this] {
        OpenAddress(addressEdit->text());
        view->setFocus();
    });

    auto *zoomMenu = new QMenu(this);
    zoomMenu->addActions(zoomGroup->actions());
    zoomMenu->addSeparator();
    zoomMenu->addActions({zoomInAction, zoomOutAction});
    zoomButton = new QToolButton;
    zoomButton->setToolTip(QStringLiteral("Display zoom; the page sees the same device"));
    zoomButton->setMenu(zoomMenu);
    zoomButton->setPopupMode(QToolButton::InstantPopup);
    toolsRow->addWidget(zoomButton);

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
    if (fallback) {
        // Without the protocol: one device pixel per screen pixel, the engine's zoom giving
        // the page its ratio, as far as the screen allows.
        const qreal hostRatio = devicePixelRatioF();
        view->setFixedSize((QSizeF(device.pixels) / hostRatio).toSize());
        zoom = device.ratio / hostRatio;
        view->page()->setZoomFactor(zoom);
    } else {
        const QSize css = device.cssSize();
        if (zoomPercent > 0) {
            zoom = zoomPercent / 100.0;
        } else {
            const QScreen *desktop = screen();
            const QSize available = desktop ? desktop->availableGeometry().size() : QSize();
            zoom = 1.0;
            if (!available.isEmpty()) {
                zoom = DisplayZoom::Fit(css, available, ChromeHeight(false));
                // Narrower than the toolbars, it has them in two rows, and less height.
                if (NeedsTwoRows(qRound(css.width() * zoom)))
                    zoom = DisplayZoom::Fit(css, available, ChromeHeight(true));
            }
        }
        view->setFixedSize(qRound(css.width() * zoom), qRound(css.height() * zoom));
        if (emulator)
            emulator->SetMetrics(device, zoom);
    }
    UpdateZoomControls();
    FitWindow();
}

// Everything of the window above and below the device, title bar included.
int EmulatorWindow::ChromeHeight(bool twoRows) const
{
    return ToolBarsHeight(twoRows) + statusBar()->sizeHint().height() + FrameHeight();
}

int EmulatorWindow::FrameHeight() const
{
    return isVisible() ? frameGeometry().height() - geometry().height() : AssumedTitleBarHeight;
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
        if (zoomPercent == 0 && !fallback) {
            ApplyDisplay();
            return;
        }
    }
    const int rowsWidth = twoRows ? qMax(RowWidth(navigationRow), RowWidth(toolsRow))
                                  : RowWidth(navigationRow) + RowWidth(toolsRow);
    QSize size(qMax(view->width(), rowsWidth),
               view->height() + ToolBarsHeight(twoRows) + statusBar()->sizeHint().height());
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
    zoomButton->setText(zoomPercent > 0 || fallback
                            ? PercentText(zoom)
                            : QStringLiteral("Fit %1").arg(PercentText(zoom)));
    for (QAction *action : zoomGroup->actions())
        action->setChecked(action->data().toInt() == zoomPercent);
    zoomButton->setEnabled(!fallback);
    for (QAction *action : zoomGroup->actions() + QList<QAction *>{zoomInAction, zoomOutAction})
        action->setEnabled(!fallback);
}

void EmulatorWindow::OpenInspector()
{
    if (!emulator)
        return;
    if (!inspector)
        inspector = new InspectorWindow(emulator->channel(), this);
    inspector->setWindowTitle(QStringLiteral("Inspector - %1").arg(windowTitle()));
    inspector->show();
    inspector->raise();
    inspector->activateWindow();
}

void EmulatorWindow::SaveScreenshot(bool fullPage)
{
    if (!emulator)
        return;
    statusBar()->showMessage(QStringLiteral("Taking a screenshot..."));
    const QPointer<EmulatorWindow> self(this);
    emulator->Capture(fullPage, [self](const QByteArray &png, const QString &problem) {
        if (!self)
            return;
        QString message;
        if (problem.isEmpty()) {
            QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
            if (pictures.isEmpty())
                pictures = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
            const QString path = ScreenshotFilePath(pictures, self->asked.profileName,
                                                    QImage::fromData(png, "PNG").size(),
                                                    QDateTime::currentDateTime());
            const QString failure = WriteScreenshot(path, png);
            message =
                failure.isEmpty()
                    ? QStringLiteral("Screenshot saved to %1").arg(QDir::toNativeSeparators(path))
                    : QStringLiteral("Screenshot not saved: %1").arg(failure);
        } else {
            message = QStringLiteral("Screenshot failed: %1").arg(problem);
        }
        self->statusBar()->showMessage(message, StatusMessageMs);
    });
}

void EmulatorWindow::ShowContextMenu(const QPoint &globalPosition, QMenu *menu)
{
    if (menu) {
        // The engine's own item would drive the hidden inspector page; ours shows it.
        menu->removeAction(view->pageAction(QWebEnginePage::InspectElement));
    } else {
        menu = new QMenu(this);
        menu->addActions({view->pageAction(QWebEnginePage::Back),
                          view->pageAction(QWebEnginePage::Forward),
                          view->pageAction(QWebEnginePage::Reload)});
    }
    menu->addSeparator();
    menu->addActions({rotateAction, screenshotAction, fullPageAction, inspectAction});
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void EmulatorWindow::OpenAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    const QFileInfo file(trimmed);
    const QUrl url =
        file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl::fromUserInput(trimmed);
    view->setUrl(url);
}

void EmulatorWindow::ShowAddress(const QUrl &url)
{
    // The generated start page has no address worth showing.
    addressEdit->setText(url.scheme() == StartPageScheme ? QString() : url.toDisplayString());
}
