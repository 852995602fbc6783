// Start-up time, headless: from starting the process to its first shown window, for the
// launcher with the default catalogue and with 10,000 profiles and 1,000 resolutions,
// beside a minimal Qt program that shows an empty main window. Each start gets empty data
// and runtime directories of its own, so it finds no earlier launcher and no saved file.

#include "benchsupport.h"
#include "configwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QString largeConfig;

// Seconds until the program reported its first shown window; negative on failure.
double TimeStart(const QString &program, const QString &config, const QStringList &arguments)
{
    QTemporaryDir data;
    QTemporaryDir runtime;
    if (!config.isEmpty()) {
        const QString dir = data.filePath(QStringLiteral("Velmora/VelmoraMobileEmulator"));
        if (!QDir().mkpath(dir) || !QFile::copy(config, dir + QStringLiteral("/Launcher.ini")))
            return -1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());

    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(30000))
            return -1;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const bool shown = process.readLine().trimmed() == "shown";
    // The launcher saves its file on the way out; that is not part of its start.
    process.waitForFinished(60000);
    return shown && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
               ? seconds
               : -1;
}

void TimeStarts(benchmark::State &state, const QString &program, const QString &config,
                const QStringList &arguments = {})
{
    for (auto _ : state) {
        const double seconds = TimeStart(program, config, arguments);
        if (seconds < 0) {
            state.SkipWithError("the program did not show its window");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void StartupMinimal(benchmark::State &state)
{
    TimeStarts(state, QStringLiteral(STARTUP_MINIMAL), QString());
}

void StartupMinimalText(benchmark::State &state)
{
    TimeStarts(state, QStringLiteral(STARTUP_MINIMAL), QString(), {QStringLiteral("--text")});
}

void StartupLauncher(benchmark::State &state)
{
    TimeStarts(state, QStringLiteral(STARTUP_LAUNCHER), QString());
}

void StartupLauncherLarge(benchmark::State &state)
{
    TimeStarts(state, QStringLiteral(STARTUP_LAUNCHER), largeConfig);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool quick = TakeFlag(argc, argv, "--short");
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    largeConfig = dir.filePath(QStringLiteral("large.ini"));
    GeneratedConfig config = GenerateConfig(10000, 1000, 20, 3, 20);
    WriteConfig(largeConfig, config.sections, config.profiles);

    const int starts = quick ? 2 : 20;
    for (const auto &[function, name] :
         {std::pair{&StartupMinimal, "StartupMinimal"},
          std::pair{&StartupMinimalText, "StartupMinimalText"},
          std::pair{&StartupLauncher, "StartupLauncher"},
          std::pair{&StartupLauncherLarge, "StartupLauncherLarge"}}) {
        benchmark::RegisterBenchmark(name, function)
            ->Iterations(starts)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    SummaryReporter reporter;
    reporter.AddRatio("start, default catalogue / minimal window", "StartupLauncher",
                      "StartupMinimal", 1.3);
    reporter.AddRatio("start, 10,000 profiles / minimal window", "StartupLauncherLarge",
                      "StartupMinimal", 2.0);
    // Any window that shows text pays for setting up fonts; beside such a window the
    // launcher's own share shows.
    reporter.AddRatio("start, default catalogue / window with text", "StartupLauncher",
                      "StartupMinimalText", 1.3);
    reporter.AddRatio("start, 10,000 profiles / window with text", "StartupLauncherLarge",
                      "StartupMinimalText", 2.0);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
