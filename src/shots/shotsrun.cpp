#include "shotsrun.h"

#include "arguments.h"
#include "configreader.h"
#include "core/device.h"
#include "core/emulatorrequest.h"
#include "filelocations.h"
#include "shotsoptions.h"

#ifdef Q_OS_UNIX
#include "terminationsignals.h"
#endif

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr qsizetype KeptErrorBytes = 4096;
constexpr int StopGraceMs = 5000;
// Why an emulator was asked to stop, on its QProcess; set only then.
constexpr char StopReason[] = "velmoraStopReason";

void StopEmulator(QProcess *process, const QString &reason)
{
    process->setProperty(StopReason, reason);
    // Asked to stop, the emulator closes its browser first; killed, it cannot.
    process->terminate();
    QTimer::singleShot(StopGraceMs, process, &QProcess::kill);
}

// Names and messages come from files and pages: no control character reaches the terminal.
QString Printable(QString text)
{
    for (QChar &ch : text) {
        if (ch.category() == QChar::Other_Control)
            ch = u'?';
    }
    return text;
}

void Say(FILE *stream, const QString &text)
{
    std::fputs(qUtf8Printable(Printable(text) + u'\n'), stream);
    std::fflush(stream);
}

void Warn(const QString &text)
{
    Say(stderr, QStringLiteral("velmora-shots: ") + text);
}

QString Quoted(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(u'"' + name + u'"');
    return quoted.join(QLatin1String(", "));
}

QString FailureOf(const QProcess &process, int code, QProcess::ExitStatus status,
                  const QSize &picture)
{
    const QString stopped = process.property(StopReason).toString();
    if (!stopped.isEmpty())
        return stopped;
    if (status != QProcess::NormalExit)
        return QStringLiteral("the emulator crashed");
    if (code != 0)
        return QStringLiteral("the emulator ended with %1").arg(code);
    if (!picture.isValid())
        return QStringLiteral("no picture was written");
    return QString();
}

// What the emulator said last of its own, else its last line of all (from Qt, say).
QString LastComplaint(const QByteArray &output)
{
    const QByteArray prefix = "VelmoraMobileEmu: ";
    const QList<QByteArray> lines = output.trimmed().split('\n');
    QByteArray chosen = lines.last();
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(prefix)) {
            chosen = line->mid(prefix.size());
            break;
        }
    }
    return QString::fromUtf8(chosen.trimmed()).left(300);
}

// The user's profiles as the launcher reads them, else the default catalogue, as the
// launcher falls back; the user's file is never renamed or written here.
bool LoadProfiles(QList<ConfigSection> &sections, QList<LaunchProfile> &profiles)
{
    const QString user = GetFilePath(ConfigFile);
    const ConfigReadResult read = ReadConfig(user, false, sections, profiles);
    if (read.status == ConfigReadResult::Loaded && !read.outdated)
        return true;
    if (read.status == ConfigReadResult::Loaded)
        Warn(QStringLiteral("%1 is out of date; the default catalogue is used").arg(user));
    else if (read.status == ConfigReadResult::Unreadable)
        Warn(QStringLiteral("%1 cannot be read; the default catalogue is used").arg(user));
    const QString fallback = GetFilePath(DefaultConfigFile);
    if (ReadConfig(fallback, false, sections, profiles).status == ConfigReadResult::Loaded)
        return true;
    Warn(QStringLiteral("no profiles: %1 cannot be read").arg(fallback));
    return false;
}

QList<ShotJob> PlanJobs(const ShotsOptions &options, const QList<ConfigSection> &sections,
                        const QList<LaunchProfile> &chosen, const QDir &output)
{
    const QStringList fileNames = ScreenshotFileNames(ProfileNames(chosen));
    QList<ShotJob> jobs;
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const QStringList launch = LaunchArguments(sections, chosen.at(i));
        const EmulatorRequest asked = ParseEmulatorArguments(launch);
        const Device device = Device::FromRequest(asked);
        ShotJob job;
        job.picturePath = output.absoluteFilePath(fileNames.at(i));
        // The page comes first, where the emulator takes it as the address even when the
        // profile's own arguments name another; the picture's path last, where it wins.
        job.arguments = QStringList{options.address} + launch +
                        QStringList{QLatin1String(EmulatorOption::Screenshot), job.picturePath};
        job.result.profileName = chosen.at(i).name;
        job.result.fileName = fileNames.at(i);
        job.result.pixels = device.pixels;
        job.result.ppi = asked.ppi;
        jobs.append(job);
    }
    return jobs;
}

} // namespace

ShotsRun::ShotsRun(const QString &program, QList<ShotJob> planned, int atOnce, int timeout)
    : emulator(program), jobs(std::move(planned)), parallel(atOnce), timeoutMs(timeout),
      environment(QProcessEnvironment::systemEnvironment())
{
    // Without a window of Qt's, the emulator renders in a browser without one: the same
    // pictures, no windows on the user's screen, and no display needed at all.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

QList<ShotJob> ShotsRun::Run(const std::function<void(const ShotResult &)> &done)
{
    report = done;
    QEventLoop loop;
    connect(this, &ShotsRun::allDone, &loop, &QEventLoop::quit);
    StartNext();
    if (running > 0)
        loop.exec();
    return jobs;
}

void ShotsRun::StartNext()
{
    while (!stopped && running < parallel && next < jobs.size()) {
        const int index = int(next++);
        const ShotJob &job = jobs.at(index);
        // A picture left from an earlier run must not pass for this one's.
        QFile::remove(job.picturePath);
        if (QFileInfo::exists(job.picturePath))
            Finish(index, nullptr, QStringLiteral("%1 cannot be replaced").arg(job.picturePath));
        else
            Start(index);
    }
}

void ShotsRun::Start(int index)
{
    ++running;
    auto *process = new QProcess(this);
    auto errors = std::make_shared<QByteArray>();
    auto clock = std::make_shared<QElapsedTimer>();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessEnvironment(environment);
    connect(process, &QProcess::readyReadStandardError, process, [process, errors] {
        *errors += process->readAllStandardError();
        if (errors->size() > KeptErrorBytes)
            *errors = errors->right(KeptErrorBytes);
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, index, process](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart)
                    Finish(index, process,
                           QStringLiteral("the emulator cannot be started: %1")
                               .arg(process->errorString()));
            });
    connect(process, &QProcess::finished, this,
            [this, index, process, errors, clock](int code, QProcess::ExitStatus status) {
                ShotResult &result = jobs[index].result;
                result.elapsedMs = clock->elapsed();
                result.pictureSize = QImageReader(jobs.at(index).picturePath).size();
                QString failure = FailureOf(*process, code, status, result.pictureSize);
                *errors += process->readAllStandardError();
                if (!failure.isEmpty() && !errors->trimmed().isEmpty())
                    failure += QLatin1String(": ") + LastComplaint(*errors);
                Finish(index, process, failure);
            });
    auto *deadline = new QTimer(process);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, process, [this, process] {
        StopEmulator(process, QStringLiteral("no picture within %1 s").arg(timeoutMs / 1000));
    });
    clock->start();
    deadline->start(timeoutMs);
    process->start(emulator, jobs.at(index).arguments);
}

void ShotsRun::Finish(int index, QProcess *process, const QString &failure)
{
    ShotResult &result = jobs[index].result;
    result.failure = failure;
    if (process != nullptr) {
        process->disconnect(this);
        process->deleteLater();
        --running;
    }
    if (report)
        report(result);
    StartNext();
    if (running == 0 && next >= jobs.size())
        emit allDone();
}

void ShotsRun::Stop()
{
    stopped = true;
    for (; next < jobs.size(); ++next)
        jobs[next].result.failure = QStringLiteral("stopped before it started");
    const QList<QProcess *> processes = findChildren<QProcess *>();
    for (QProcess *process : processes) {
        if (process->state() != QProcess::NotRunning)
            StopEmulator(process, QStringLiteral("stopped"));
    }
    if (running == 0)
        emit allDone();
}

int RunShots(const QStringList &arguments)
{
    const ShotsOptions options = ParseShotsArguments(arguments, QDir::currentPath());
    if (options.helpRequested) {
        std::fputs(qUtf8Printable(ShotsHelpText()), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        Warn(options.error + QLatin1String(" (see velmora-shots --help)"));
        return 2;
    }
    QList<ConfigSection> sections;
    QList<LaunchProfile> profiles;
    if (!LoadProfiles(sections, profiles))
        return 2;
    const ProfileChoice choice = ChooseProfiles(profiles, options.profileNames);
    if (!choice.unknown.isEmpty()) {
        Warn(QStringLiteral("no profile named %1; the profiles are %2")
                 .arg(Quoted(choice.unknown), Quoted(ProfileNames(profiles))));
        return 2;
    }
    const QDir output(options.outputDirectory);
    if (!output.mkpath(QStringLiteral("."))) {
        Warn(QStringLiteral("the directory %1 cannot be created").arg(output.path()));
        return 2;
    }
    const QString emulator = GetFilePath(EmulatorExecutable);
    if (!QFileInfo(emulator).isExecutable()) {
        Warn(QStringLiteral("the emulator %1 is missing").arg(emulator));
        return 2;
    }

    ShotsRun run(emulator, PlanJobs(options, sections, choice.chosen, output), options.jobs,
                 options.timeoutSeconds * 1000);
#ifdef Q_OS_UNIX
    // Stopped, the tool stops its emulators, which close their browsers, and still writes
    // the sheet of what it has.
    TerminationSignals stopSignals;
    QObject::connect(&stopSignals, &TerminationSignals::received, &run, &ShotsRun::Stop);
#endif
    const QList<ShotJob> jobs = run.Run([&output](const ShotResult &result) {
        if (result.failure.isEmpty())
            Say(stdout, QStringLiteral("%1: %2 in %3 ms")
                            .arg(result.profileName, output.filePath(result.fileName))
                            .arg(result.elapsedMs));
        else
            Say(stdout, QStringLiteral("%1: failed, %2").arg(result.profileName, result.failure));
    });

    QList<ShotResult> results;
    QStringList failed;
    for (const ShotJob &job : jobs) {
        results.append(job.result);
        if (!job.result.failure.isEmpty())
            failed.append(job.result.profileName);
    }
    QSaveFile index(output.filePath(QStringLiteral("index.html")));
    if (!index.open(QIODevice::WriteOnly) ||
        index.write(ContactSheet(options.address, results).toUtf8()) < 0 || !index.commit()) {
        Warn(QStringLiteral("%1 cannot be written").arg(index.fileName()));
        return 1;
    }
    if (!failed.isEmpty()) {
        Warn(QStringLiteral("no picture for %1").arg(Quoted(failed)));
        return 1;
    }
    Say(stdout, QStringLiteral("%1 %2, see %3")
                    .arg(results.size())
                    .arg(results.size() == 1 ? QLatin1String("picture") : QLatin1String("pictures"))
                    .arg(QDir::toNativeSeparators(index.fileName())));
    return 0;
}
