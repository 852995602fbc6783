#pragma once

#include "emulatoroptions.h"

#include <QMainWindow>

class QLineEdit;
class QToolBar;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// A browser window whose page area has exactly the emulated screen's size in device pixels
// and whose page sees the emulated density. A screen larger than the desktop scrolls.
class EmulatorWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `profileText` describes the browsing data for the start page.
    EmulatorWindow(const EmulatorSettings &emulated, QWebEngineProfile *profile,
                   const QString &profileText, QWidget *parent = nullptr);

    QWebEnginePage *page() const;
    // Opens the settings' address, or the start page without one.
    void OpenFirstPage();

private:
    void BuildToolBar();
    void SizePageArea();
    void ApplyZoom();
    void OpenAddress(const QString &text);
    void ShowAddress(const QUrl &url);

    EmulatorSettings settings;
    QString profileDescription;
    QWebEngineView *view = nullptr;
    QToolBar *toolBar = nullptr;
    QLineEdit *addressEdit = nullptr;
};
