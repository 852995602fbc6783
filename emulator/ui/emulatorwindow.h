#pragma once

#include "core/device.h"
#include "core/emulatorrequest.h"
#include "core/useragentdetails.h"
#include "engine/browserpage.h"

#include <QMainWindow>

class MessageBar;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QToolBar;
class QToolButton;

// The emulator's window: the page at the emulated device's size times the display zoom,
// with the controls a web developer reaches for. It only asks and shows; the page's view
// of the device comes from the engine behind BrowserPage.
class EmulatorWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `page` becomes the window's; `profileText` describes the browsing data for the start
    // page.
    EmulatorWindow(const EmulatorRequest &request, const Device &device,
                   const UserAgentDetails &userAgent, BrowserPage *page, const QString &profileText,
                   QWidget *parent = nullptr);
    ~EmulatorWindow() override;

    BrowserPage *page() const { return browserPage; }
    // Host device-independent pixels per CSS pixel.
    qreal displayZoom() const { return zoom; }
    // Starts the engine with the emulation, then opens the address asked for, or the start
    // page.
    void Start();
    // Before Start: the address to open when none was asked for.
    void SetStartAddress(const QString &address) { asked.address = address; }
    // The row of tools, which takes further buttons at its end.
    QToolBar *toolsBar() const { return toolsRow; }
    // As small as the device and the toolbars allow: the toolbars share one row above a
    // device wide enough for both, else take one row each.
    void FitWindow();
    // The display zoom in percent, 0 to fit the screen; the window takes the size it gives.
    void SetZoomPercent(int percent);
    // What the window's frame adds to its size: as the window system has it once shown, else
    // a usual title bar and thin borders.
    QSize FrameSize() const;
    // Where the page is on the screen.
    QRect pageGeometry() const;
    // What the page is told beyond the device, as the Emulate menu has it now.
    const PageConditions &pageConditions() const { return conditions; }
    // The notch's insets for the screen as the window size gives it.
    QMargins safeArea() const { return device.safeAreaAsGiven(); }
    // The message shown when the engine could not start; empty otherwise.
    QString failure() const { return startProblem; }

Q_SIGNALS:
    // The engine answered Start(): the page is shown, or cannot be (`active` false).
    void pageReady(bool active);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildActions();
    void BuildToolBar();
    QMenu *BuildEmulateMenu();
    void SetConditions(const PageConditions &wanted);
    void SetSafeArea(const QMargins &asGiven);
    // Asks for an option's value in a small dialog; empty when cancelled or not usable.
    bool AskValue(const QString &title, QLatin1String option, const QString &current,
                  EmulatorRequest &parsed);
    void UpdateEmulateMenu();
    void ConnectPage();
    void OnStarted(bool active, const QString &problem);
    void StepZoom(bool in);
    void Rotate();
    void ApplyDisplay();
    int ChromeHeight(bool twoRows) const;
    int ToolBarsHeight(bool twoRows) const;
    bool NeedsTwoRows(int deviceWidth) const;
    void UpdateZoomControls();
    void SaveScreenshot(bool fullPage);
    void OpenAddress(const QString &text, BrowserPage::NavigationCause cause);
    void ShowAddress(const QUrl &url);
    void ShowDialog(const QString &type, const QString &message, const QString &defaultText);

    EmulatorRequest asked;
    Device device;
    PageConditions conditions;
    UserAgentDetails agent;
    QString profileDescription;
    QString startProblem;
    int zoomPercent; // 0: fit
    qreal zoom = 1;
    bool closing = false;
    bool closed = false;

    BrowserPage *browserPage;
    QWidget *view = nullptr;
    QScrollArea *scrollArea = nullptr;
    MessageBar *messageBar = nullptr;
    QToolBar *navigationRow = nullptr;
    QToolBar *toolsRow = nullptr;
    QLineEdit *addressEdit = nullptr;
    QToolButton *zoomButton = nullptr;
    QToolButton *emulateButton = nullptr;
    QMenu *emulateMenu = nullptr;
    QActionGroup *schemeGroup = nullptr;
    QActionGroup *networkGroup = nullptr;
    QActionGroup *cpuGroup = nullptr;
    QActionGroup *locationGroup = nullptr;
    QActionGroup *safeAreaGroup = nullptr;
    QAction *motionAction = nullptr;
    QLabel *engineLabel = nullptr;
    QActionGroup *zoomGroup = nullptr;
    QAction *backAction = nullptr;
    QAction *forwardAction = nullptr;
    QAction *reloadAction = nullptr;
    QAction *zoomInAction = nullptr;
    QAction *zoomOutAction = nullptr;
    QAction *zoomFitAction = nullptr;
    QAction *rotateAction = nullptr;
    QAction *screenshotAction = nullptr;
    QAction *fullPageAction = nullptr;
    QAction *inspectAction = nullptr;
};
