#pragma once

#include <QLatin1String>
#include <QSize>
#include <QString>
#include <QStringList>

// The emulator's command-line options. The launcher's default catalogue and its help page
// write exactly these names, so they are spelled out here and nowhere else; what each one
// takes, and its -help line, stand in one table in emulatorrequest.cpp.
namespace EmulatorOption {
inline constexpr QLatin1String WindowSize{"-windowsize"};    // WxH in device pixels
inline constexpr QLatin1String Ppi{"-ppi"};                  // density; ratio = N / BaselinePpi
inline constexpr QLatin1String Input{"-input"};              // one of the input values below
inline constexpr QLatin1String UserAgent{"-user-agent"};     // the whole string, one argument
inline constexpr QLatin1String ProfileName{"-profile-name"}; // names the browsing data
inline constexpr QLatin1String DumpMetrics{"-dump-metrics"}; // JSON file, then exit
inline constexpr QLatin1String Zoom{"-zoom"};                // "fit" or a percentage
inline constexpr QLatin1String Orientation{"-orientation"};  // portrait or landscape
inline constexpr QLatin1String Screenshot{"-screenshot"};    // PNG file, then exit
inline constexpr QLatin1String Follow{"-follow"};            // on or off
inline constexpr QLatin1String LiveReload{"-live-reload"};   // on or off
inline constexpr QLatin1String Watch{"-watch"};              // folder whose changes reload
inline constexpr QLatin1String StateFile{"-state-file"};     // JSON file kept up to date
inline constexpr QLatin1String Chromium{"-chromium"};        // the browser program to drive
inline constexpr QLatin1String Help{"-help"};                // also "--help"; no value
inline constexpr QLatin1String LongHelp{"--help"};

// Where the browser program is looked for when -chromium is not given.
inline constexpr char ChromiumVariable[] = "VELMORA_CHROMIUM";
inline constexpr QLatin1String DefaultChromium{"/usr/bin/chromium"};

inline constexpr QLatin1String InputTouch{"touch"};
inline constexpr QLatin1String InputKeys{"keys"};
inline constexpr QLatin1String InputMouse{"mouse"};
inline constexpr QLatin1String ZoomFit{"fit"};
inline constexpr QLatin1String OrientationPortrait{"portrait"};
inline constexpr QLatin1String OrientationLandscape{"landscape"};
inline constexpr QLatin1String On{"on"};
inline constexpr QLatin1String Off{"off"};

inline constexpr int BaselinePpi = 160;
inline constexpr int MinimumPpi = 40;
inline constexpr int MaximumPpi = 800;
inline constexpr int MinimumSide = 16;
inline constexpr int MaximumSide = 8192;
inline constexpr int MinimumZoomPercent = 10;
inline constexpr int MaximumZoomPercent = 400;
} // namespace EmulatorOption

enum class InputMethod
{
    Mouse,
    Touch,
    Keys
};

enum class ScreenOrientation
{
    Natural, // as the window size gives it
    Portrait,
    Landscape
};

// What one emulator run was asked for on its command line; nothing here is derived.
// Values that could not be used are reported in `problems`, one line each, and the
// defaults stand in for them.
struct EmulatorRequest
{
    QSize windowSize{480, 800}; // device pixels, as given
    int ppi = EmulatorOption::BaselinePpi;
    InputMethod input = InputMethod::Mouse;
    QString userAgent;   // empty: the engine's own
    QString profileName; // empty: private browsing data only
    QString dumpMetricsPath;
    QString screenshotPath;
    int zoomPercent = 0; // 0: fit the screen
    ScreenOrientation orientation = ScreenOrientation::Natural;
    bool follow = true;     // mirror the group's navigation, scrolling and clicks
    bool liveReload = true; // reload a file: page when its folder changes
    QString watchFolder;    // reload any page when this folder changes; empty: the file's
    QString stateFilePath;  // for scripts: the page's state, rewritten as it changes
    QString chromiumPath;   // empty: see ChromiumProgram
    bool helpRequested = false;
    QString address; // empty: the built-in start page
    QStringList problems;
};

// `arguments` excludes the program name.
EmulatorRequest ParseEmulatorArguments(const QStringList &arguments);

// One line per option, for -help, and which engine renders the pages.
QString EmulatorHelpText();

// The browser program that renders pages: -chromium, else the VELMORA_CHROMIUM environment
// variable, else /usr/bin/chromium; a bare name is looked up in PATH.
struct BrowserProgram
{
    QString path;    // absolute when it was found
    QString problem; // empty when `path` is an executable file; else what to do about it
};
BrowserProgram ChromiumProgram(const EmulatorRequest &request);

QString InputMethodName(InputMethod input);

// One line for messages: the program's name, then the text; written to stderr.
void Complain(const QString &message);
