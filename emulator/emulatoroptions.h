#pragma once

#include <QLatin1String>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>

// The emulator's command-line options. The launcher's default catalogue and its help page
// write exactly these names, so they are spelled out here and nowhere else.
namespace EmulatorOption {
inline constexpr QLatin1String WindowSize{"-windowsize"};    // WxH in device pixels
inline constexpr QLatin1String Ppi{"-ppi"};                  // density; ratio = N / BaselinePpi
inline constexpr QLatin1String Input{"-input"};              // one of the input values below
inline constexpr QLatin1String UserAgent{"-user-agent"};     // the whole string, one argument
inline constexpr QLatin1String ProfileName{"-profile-name"}; // names the browsing data
inline constexpr QLatin1String DumpMetrics{"-dump-metrics"}; // JSON file, then exit
// Everything after this marker belongs to the browser engine, which reads it itself.
inline constexpr QLatin1String EngineArguments{"--webEngineArgs"};

inline constexpr QLatin1String InputTouch{"touch"};
inline constexpr QLatin1String InputKeys{"keys"};
inline constexpr QLatin1String InputMouse{"mouse"};

inline constexpr int BaselinePpi = 160;
// The browser engine zooms only between a quarter and five times.
inline constexpr int MinimumPpi = 40;
inline constexpr int MaximumPpi = 800;
inline constexpr int MinimumSide = 16;
inline constexpr int MaximumSide = 8192;
} // namespace EmulatorOption

enum class InputMethod
{
    Mouse,
    Touch,
    Keys
};

// What one emulator run was asked for. Values that could not be used are reported in
// `problems`, one line each, and the defaults stand in for them.
struct EmulatorSettings
{
    QSize windowSize{480, 800};
    int ppi = EmulatorOption::BaselinePpi;
    InputMethod input = InputMethod::Mouse;
    QString userAgent;   // empty: the engine's own
    QString profileName; // empty: private browsing data only
    QString dumpMetricsPath;
    QString address; // empty: the built-in start page
    QStringList problems;

    qreal devicePixelRatio() const { return qreal(ppi) / EmulatorOption::BaselinePpi; }
    QSizeF viewportSize() const { return QSizeF(windowSize) / devicePixelRatio(); }
};

// `arguments` excludes the program name.
EmulatorSettings ParseEmulatorArguments(const QStringList &arguments);

QString InputMethodName(InputMethod input);
