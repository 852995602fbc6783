// Reading and writing configurations of 1,000, 10,000 and 100,000 entries, beside QSettings
// reading and writing as many key/value pairs in INI format.

#include "benchsupport.h"
#include "configreader.h"
#include "configwriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const int Sizes[] = {1000, 10000, 100000};

QTemporaryDir *workDir = nullptr;

QString NewPath()
{
    static int serial = 0;
    return workDir->filePath(QStringLiteral("f%1.ini").arg(++serial));
}

QString OurFile(int entries)
{
    return workDir->filePath(QStringLiteral("ours-%1.ini").arg(entries));
}

QString SettingsFile(int entries)
{
    return workDir->filePath(QStringLiteral("settings-%1.ini").arg(entries));
}

// The same names and values as our file, the sections as groups.
void WriteSettings(QSettings &settings, GeneratedConfig &config)
{
    FormatConfig(config.sections, config.profiles); // fills the [Profile] entries
    for (const ConfigSection &section : std::as_const(config.sections)) {
        settings.beginGroup(section.header.mid(1, section.header.size() - 2));
        for (const ConfigEntry &entry : section.entries)
            settings.setValue(entry.name, entry.value);
        settings.endGroup();
    }
}

void PrepareFiles()
{
    for (const int entries : Sizes) {
        GeneratedConfig config = GenerateEntries(entries);
        WriteConfig(OurFile(entries), config.sections, config.profiles);
        QSettings settings(SettingsFile(entries), QSettings::IniFormat);
        WriteSettings(settings, config);
    }
}

// Every iteration reads a copy under a new name: QSettings keeps a file it has parsed and
// would otherwise not read it again.
template <typename Read> void TimeRead(benchmark::State &state, const QString &source, Read read)
{
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = NewPath();
        QFile::copy(source, path);
        state.ResumeTiming();
        read(path);
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ConfigRead(benchmark::State &state)
{
    TimeRead(state, OurFile(static_cast<int>(state.range(0))), [](const QString &path) {
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        ReadConfig(path, false, sections, profiles);
        benchmark::DoNotOptimize(profiles.size());
    });
}

void QSettingsRead(benchmark::State &state)
{
    TimeRead(state, SettingsFile(static_cast<int>(state.range(0))), [](const QString &path) {
        QSettings settings(path, QSettings::IniFormat);
        for (const QString &group : settings.childGroups()) {
            settings.beginGroup(group);
            for (const QString &key : settings.childKeys())
                benchmark::DoNotOptimize(settings.value(key).toString().size());
            settings.endGroup();
        }
    });
}

template <typename Write> void TimeWrite(benchmark::State &state, Write write)
{
    GeneratedConfig config = GenerateEntries(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = NewPath();
        state.ResumeTiming();
        write(path, config);
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ConfigWrite(benchmark::State &state)
{
    TimeWrite(state, [](const QString &path, GeneratedConfig &config) {
        WriteConfig(path, config.sections, config.profiles);
    });
}

void QSettingsWrite(benchmark::State &state)
{
    TimeWrite(state, [](const QString &path, GeneratedConfig &config) {
        QSettings settings(path, QSettings::IniFormat);
        WriteSettings(settings, config);
        settings.sync();
    });
}

std::string Name(const char *function, int entries)
{
    return std::string(function) + '/' + std::to_string(entries);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool quick = TakeFlag(argc, argv, "--short");
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    workDir = &dir;
    PrepareFiles();

    SummaryReporter reporter(true);
    const double minTime = quick ? 0.01 : 0.5;
    for (const auto &[function, name] :
         {std::pair{&ConfigRead, "ConfigRead"}, std::pair{&QSettingsRead, "QSettingsRead"},
          std::pair{&ConfigWrite, "ConfigWrite"}, std::pair{&QSettingsWrite, "QSettingsWrite"}}) {
        for (const int entries : Sizes)
            benchmark::RegisterBenchmark(name, function)
                ->Arg(entries)
                ->MinTime(minTime)
                ->Unit(benchmark::kMillisecond);
    }
    for (const int entries : Sizes) {
        const std::string size = std::to_string(entries);
        reporter.AddRatio("read " + size + " entries / QSettings", Name("ConfigRead", entries),
                          Name("QSettingsRead", entries), 1.0);
        reporter.AddRatio("write " + size + " entries / QSettings", Name("ConfigWrite", entries),
                          Name("QSettingsWrite", entries), 1.0);
    }
    for (const char *function : {"ConfigRead", "ConfigWrite"}) {
        reporter.AddScaling(std::string(function) + " 1000 -> 10000", Name(function, 1000),
                            Name(function, 10000), 11.0);
        reporter.AddScaling(std::string(function) + " 10000 -> 100000", Name(function, 10000),
                            Name(function, 100000), 11.0);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
