#pragma once

#include "device.h"
#include "emulatorrequest.h"
#include "useragentdetails.h"

#include <QMainWindow>
#include <QPointer>

class InspectorWindow;
class PageEmulation;
class QActionGroup;
class QLineEdit;
class QMenu;
class QScrollArea;
class QToolBar;
class QToolButton;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// The emulator's window: the page at the emulated device's size times the display zoom,
// with the controls a web developer reaches for. It only asks and shows; the page's view
// of the device comes from PageEmulation.
class EmulatorWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `profileText` describes the browsing data for the start page.
    EmulatorWindow(const EmulatorRequest &request, const Device &device,
                   const UserAgentDetails &userAgent, QWebEngineProfile *profile,
                   const QString &profileText, QWidget *parent = nullptr);
    ~EmulatorWindow() override;

    QWebEnginePage *page() const;
    PageEmulation *emulation() const { return emulator; }
    // Host device-independent pixels per CSS pixel.
    qreal displayZoom() const { return zoom; }
    // Sets up the emulation, then opens the address asked for, or the start page.
    void Start();
    // Before Start: the address to open when none was asked for.
    void SetStartAddress(const QString &address) { asked.address = address; }
    // The row of tools, which takes further buttons at its end.
    QToolBar *toolsBar() const { return toolsRow; }
    // As small as the device and the toolbars allow: the toolbars share one row above a
    // device wide enough for both, else take one row each.
    void FitWindow();
    // The height of the window's frame: as the window system has it once shown, else that of
    // a usual title bar.
    int FrameHeight() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BuildActions();
    void BuildToolBar();
    void OnEmulationStarted(bool active);
    void SetZoomPercent(int percent);
    void StepZoom(bool in);
    void Rotate();
    void ApplyDisplay();
    int ChromeHeight(bool twoRows) const;
    int ToolBarsHeight(bool twoRows) const;
    bool NeedsTwoRows(int deviceWidth) const;
    void UpdateZoomControls();
    void OpenInspector();
    void SaveScreenshot(bool fullPage);
    void ShowContextMenu(const QPoint &globalPosition, QMenu *menu);
    void OpenAddress(const QString &text);
    void ShowAddress(const QUrl &url);

    EmulatorRequest asked;
    Device device;
    UserAgentDetails agent;
    QString profileDescription;
    int zoomPercent; // 0: fit
    qreal zoom = 1;
    bool fallback = false;

    QWebEngineView *view = nullptr;
    PageEmulation *emulator = nullptr;
    QPointer<InspectorWindow> inspector;
    QScrollArea *scrollArea = nullptr;
    QToolBar *navigationRow = nullptr;
    QToolBar *toolsRow = nullptr;
    QLineEdit *addressEdit = nullptr;
    QToolButton *zoomButton = nullptr;
    QActionGroup *zoomGroup = nullptr;
    QAction *zoomInAction = nullptr;
    QAction *zoomOutAction = nullptr;
    QAction *zoomFitAction = nullptr;
    QAction *rotateAction = nullptr;
    QAction *screenshotAction = nullptr;
    QAction *fullPageAction = nullptr;
    QAction *inspectAction = nullptr;
};
