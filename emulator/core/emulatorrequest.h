#pragma once

#include <QLatin1String>
#include <QMargins>
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
// What the page is told of its surroundings.
inline constexpr QLatin1String ColorScheme{"-color-scheme"};     // dark or light
inline constexpr QLatin1String ReducedMotion{"-reduced-motion"}; // no value
inline constexpr QLatin1String Network{"-network"};              // one of the network values below
inline constexpr QLatin1String CpuSlowdown{"-cpu-slowdown"};     // N times slower
inline constexpr QLatin1String Geolocation{"-geolocation"};      // LAT,LON in degrees
inline constexpr QLatin1String SafeArea{"-safe-area"};           // T,R,B,L in CSS pixels

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
inline constexpr QLatin1String SchemeDark{"dark"};
inline constexpr QLatin1String SchemeLight{"light"};
inline constexpr QLatin1String NetworkOnline{"online"}; // not an option value: none emulated
inline constexpr QLatin1String NetworkOffline{"offline"};
inline constexpr QLatin1String NetworkSlow3G{"slow-3g"};
inline constexpr QLatin1String NetworkFast4G{"fast-4g"};

inline constexpr int BaselinePpi = 160;
inline constexpr int MinimumPpi = 40;
inline constexpr int MaximumPpi = 800;
inline constexpr int MinimumSide = 16;
inline constexpr int MaximumSide = 8192;
inline constexpr int MinimumZoomPercent = 10;
inline constexpr int MaximumZoomPercent = 400;
inline constexpr int MaximumCpuSlowdown = 20;
inline constexpr int MaximumSafeArea = 500; // CSS pixels, each side
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

enum class ColorScheme
{
    System, // not emulated: the host's own
    Light,
    Dark
};

enum class NetworkCondition
{
    Online, // not emulated
    Fast4G,
    Slow3G,
    Offline
};

// What the page is told of its surroundings, beyond the device itself; the defaults emulate
// nothing.
struct PageConditions
{
    ColorScheme colorScheme = ColorScheme::System;
    bool reducedMotion = false; // false: the host's own preference
    NetworkCondition network = NetworkCondition::Online;
    int cpuSlowdown = 1;  // 1: full speed
    bool located = false; // false: location requests are refused
    double latitude = 0;
    double longitude = 0;
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
    PageConditions conditions;
    QMargins safeArea; // CSS pixels, for the screen as the window size gives it
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
// The option values, for menus and the metrics file: "" for a colour scheme not emulated.
QString ColorSchemeName(ColorScheme scheme);
QString NetworkConditionName(NetworkCondition network);
// As -geolocation and -safe-area take them.
QString GeolocationText(const PageConditions &conditions);
QString SafeAreaText(const QMargins &insets);
// What is emulated beyond the device, for people: "nothing emulated" when nothing is.
QString ConditionsSummary(const PageConditions &conditions, const QMargins &safeArea);

// One line for messages: the program's name, then the text; written to stderr.
void Complain(const QString &message);
