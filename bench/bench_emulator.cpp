// The emulator's start beside a bare Chromium, in the same run and on the same page at the
// same size on screen: the time from starting the process until the page has painted its
// first frame (the page itself reports it to our server), and the peak memory (proportional
// set size of the process and all its descendants, so every Chromium helper counts), with
// where that memory and the CPU time go by kind of process. Needs a display; figures are
// reported, never asserted.
//   bench_emulator [--short] [--rounds N] [--emulator-chromium PROGRAM]
// --emulator-chromium gives the emulator another Chromium program, such as a script that
// adds switches and runs /usr/bin/chromium, so that a switch's effect can be measured
// against the same bare Chromium.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Two animation frames after loading, the first one has reached the screen.
const QByteArray Page = "<!DOCTYPE html><html><head><meta name=\"viewport\" "
                        "content=\"width=device-width\"><title>bench</title></head>"
                        "<body><h1>First paint</h1><p>Some text to lay out.</p><script>"
                        "requestAnimationFrame(() => requestAnimationFrame(() => "
                        "{ new Image().src = '/painted'; }));</script></body></html>";

// Reading a Chromium process's memory costs the kernel about 1 ms (it walks the whole address
// space): every 20 ms, that took 40% of a core from the programs measured.
constexpr int SampleEveryMs = 100;
// The peak may come after the first paint: a spare renderer, the GPU's first frames.
constexpr int SettleMs = 2000;
constexpr int GiveUpMs = 60000;

// Memory of one kind of process, in KiB, and how many processes of that kind.
struct Share
{
    qint64 kib = 0;
    int processes = 0;
};

struct Sample
{
    double seconds = -1;
    qint64 peakKiB = 0;
    qint64 peakDirtyKiB = 0;
    double cpuSeconds = -1;          // of the whole tree until the first paint
    double measuringLoad = 0;        // of one core, taken by our own sampling
    QMap<QString, Share> atPeak;     // by kind, when the whole tree was at its peak
    QMap<QString, double> cpuByKind; // seconds, until the first paint
};

QByteArray ReadProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// `pid` and all its descendants (Linux only; just `pid` elsewhere).
QList<qint64> ProcessTree(qint64 pid)
{
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 candidate = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QByteArray stat = ReadProcFile(candidate, "stat");
        // The name in brackets may hold spaces; the parent is the second field after it.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toLongLong()].append(candidate);
    }
    QList<qint64> tree{pid};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree.append(children.value(tree.at(i)));
    return tree;
}

// What a process of the tree does, from Chromium's own --type switch; the tree's root is
// the program started (the emulator's Qt program, or the bare browser itself).
QString ProcessKind(qint64 pid, bool rootIsQt, qint64 root)
{
    if (pid == root && rootIsQt)
        return QStringLiteral("Qt program");
    // Chromium's helpers rewrite their command line as one string with spaces.
    const QList<QByteArray> arguments = ReadProcFile(pid, "cmdline").replace('\0', ' ').split(' ');
    QByteArray type;
    QByteArray subType;
    for (const QByteArray &argument : arguments) {
        if (argument.startsWith("--type="))
            type = argument.mid(7);
        else if (argument.startsWith("--utility-sub-type="))
            subType = argument.mid(19);
    }
    if (arguments.value(0).isEmpty())
        return {}; // gone, or going
    if (type.isEmpty()) {
        const QByteArray &program = arguments.at(0);
        if (program.endsWith("crashpad_handler"))
            return QStringLiteral("crash handler");
        // The rest are the shell and the commands of Debian's start script, for a moment.
        return program.mid(program.lastIndexOf('/') + 1).contains("chrom")
                   ? QStringLiteral("browser")
                   : QStringLiteral("start script");
    }
    if (type == "gpu-process")
        return QStringLiteral("GPU");
    if (type == "utility") {
        if (subType.startsWith("network."))
            return QStringLiteral("network");
        if (subType.startsWith("storage."))
            return QStringLiteral("storage");
        return QStringLiteral("utility ") + QString::fromLatin1(subType);
    }
    return QString::fromLatin1(type); // renderer, zygote...
}

// User and system time the process has used so far, in clock ticks.
qint64 CpuTicks(qint64 pid)
{
    const QByteArray stat = ReadProcFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : 0;
}

struct Footprint
{
    qint64 pssKiB = 0;
    qint64 dirtyKiB = 0; // written pages only this process maps: its heaps, mostly
};

Footprint MemoryOf(qint64 pid)
{
    Footprint footprint;
    const QList<QByteArray> lines = ReadProcFile(pid, "smaps_rollup").split('\n');
    for (const QByteArray &line : lines) {
        const qint64 kib =
            line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
        if (line.startsWith("Pss:"))
            footprint.pssKiB = kib;
        else if (line.startsWith("Private_Dirty:"))
            footprint.dirtyKiB = kib;
    }
    return footprint;
}

class PageServer : public QTcpServer
{
public:
    const QElapsedTimer *clock = nullptr;
    double paintedAt = -1; // seconds on `clock`
    std::function<void()> painted;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    if (request.startsWith("GET /painted")) {
                        if (paintedAt < 0 && clock) {
                            paintedAt = static_cast<double>(clock->nsecsElapsed()) / 1e9;
                            if (painted)
                                painted();
                        }
                        socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
                    } else {
                        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                      "Connection: close\r\nContent-Length: " +
                                      QByteArray::number(Page.size()) + "\r\n\r\n" + Page);
                    }
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
};

// Waits until none of `pids` is left, so that one start's helpers never weigh on the next;
// what is still there after a while is killed.
void AwaitGone(const QList<qint64> &pids)
{
    const auto anyLeft = [&pids] {
        return std::any_of(pids.begin(), pids.end(), [](qint64 pid) {
            // A zombie has no memory left; only its parent can reap it.
            const QByteArray stat = ReadProcFile(pid, "stat");
            return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
        });
    };
    QElapsedTimer waited;
    waited.start();
    while (anyLeft() && waited.elapsed() < 5000)
        QThread::msleep(20);
    if (anyLeft()) {
        std::fprintf(stderr, "bench_emulator: helpers outlived their browser; killing them\n");
        for (qint64 pid : pids)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
}

Sample Run(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &extraEnv, bool rootIsQt, PageServer &server)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), home.path());
    env.insert(extraEnv);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());

    Sample sample;
    QElapsedTimer timer;
    server.clock = &timer;
    server.paintedAt = -1;
    QEventLoop loop;
    QList<qint64> seen;
    QHash<qint64, qint64> ticks; // the last seen of each process, those gone included
    QHash<qint64, QString> kinds;
    QTimer sampler;
    // Sampling on a timer, not in a busy loop: the measuring must take as little as it can
    // from the programs measured.
    const auto sampleNow = [&] {
        if (process.state() != QProcess::Running) {
            loop.quit();
            return;
        }
        const QList<qint64> tree = ProcessTree(process.processId());
        for (qint64 pid : tree) {
            if (!seen.contains(pid))
                seen.append(pid);
        }
        QMap<QString, Share> shares;
        qint64 total = 0;
        qint64 totalDirty = 0;
        for (qint64 pid : tree) {
            const QString kind = ProcessKind(pid, rootIsQt, tree.first());
            if (kind.isEmpty())
                continue;
            ticks[pid] = std::max(ticks.value(pid), CpuTicks(pid));
            kinds[pid] = kind;
            const Footprint footprint = MemoryOf(pid);
            Share &share = shares[kind];
            share.kib += footprint.pssKiB;
            ++share.processes;
            total += footprint.pssKiB;
            totalDirty += footprint.dirtyKiB;
        }
        sample.peakDirtyKiB = std::max(sample.peakDirtyKiB, totalDirty);
        if (total > sample.peakKiB) {
            sample.peakKiB = total;
            sample.atPeak = shares;
        }
        if (server.paintedAt >= 0 && sample.cpuSeconds < 0) {
            qint64 used = 0;
            const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
            for (auto it = ticks.cbegin(); it != ticks.cend(); ++it) {
                used += it.value();
                sample.cpuByKind[kinds.value(it.key())] += static_cast<double>(it.value()) / tick;
            }
            sample.cpuSeconds =
                static_cast<double>(used) / static_cast<double>(::sysconf(_SC_CLK_TCK));
        }
        if (server.paintedAt >= 0 && timer.elapsed() > server.paintedAt * 1000 + SettleMs)
            loop.quit();
        if (timer.elapsed() > GiveUpMs)
            loop.quit();
    };
    QObject::connect(&sampler, &QTimer::timeout, &loop, sampleNow);
    // The CPU time is taken at the paint, not up to one interval later.
    server.painted = sampleNow;
    const auto ownCpuSeconds = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double ownBefore = ownCpuSeconds();
    timer.start();
    process.start(program, arguments);
    sampler.start(SampleEveryMs);
    loop.exec();
    sampler.stop();
    sample.measuringLoad =
        (ownCpuSeconds() - ownBefore) / (static_cast<double>(timer.elapsed()) / 1000);
    sample.seconds = server.paintedAt;
    server.clock = nullptr;
    server.painted = nullptr;

    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(10000);
    AwaitGone(seen);
    return sample;
}

template <typename T> T Median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T{} : values.at(values.size() / 2);
}

QString ChromiumProgram()
{
    const QString chosen = qEnvironmentVariable("VELMORA_CHROMIUM");
    return chosen.isEmpty() ? QStringLiteral("/usr/bin/chromium") : chosen;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int rounds = 9;
    QProcessEnvironment emulatorEnv;
    const QStringList options = app.arguments().mid(1);
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (options.at(i) == QLatin1String("--short")) {
            rounds = 1;
        } else if (options.at(i) == QLatin1String("--rounds") && i + 1 < options.size()) {
            rounds = std::max(1, options.at(++i).toInt());
        } else if (options.at(i) == QLatin1String("--emulator-chromium") &&
                   i + 1 < options.size()) {
            emulatorEnv.insert(QStringLiteral("VELMORA_CHROMIUM"), options.at(++i));
        } else {
            std::fprintf(stderr, "usage: bench_emulator [--short] [--rounds N] "
                                 "[--emulator-chromium PROGRAM]\n");
            return 2;
        }
    }
    PageServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    // 1080x1920 at 480 ppi is 360x640 CSS pixels; at 100% both show 360x640 on screen.
    const QString emulator = QStringLiteral(VELMORA_EMULATOR);
    const QStringList emulated{
        QStringLiteral("-windowsize"), QStringLiteral("1080x1920"), QStringLiteral("-ppi"),
        QStringLiteral("480"),         QStringLiteral("-input"),    QStringLiteral("touch"),
        QStringLiteral("-zoom"),       QStringLiteral("100"),       url};
    // The least Chromium needs to show that page alone in a window of that size, with the
    // emulator's own choices where they change the cost: a private profile, no first-run
    // dialog, X11, and the bare application window (no tabs, no address bar) the emulator
    // embeds. The emulator's debugging pipe is its own business: the bare one needs none.
    const QTemporaryDir profile;
    QStringList bare{QStringLiteral("--user-data-dir=") + profile.path(),
                     QStringLiteral("--no-first-run"), QStringLiteral("--ozone-platform=x11"),
                     QStringLiteral("--window-size=360,640"), QStringLiteral("--app=") + url};
    if (::geteuid() == 0) {
        // As the emulator does as root: the sandbox refuses it, and --test-type hides the bar.
        bare << QStringLiteral("--no-sandbox") << QStringLiteral("--test-type");
    }

    QList<double> times[2];
    QList<qint64> memory[2];
    QList<qint64> dirtyMemory[2];
    QList<double> cpu[2];
    QList<double> measuring;
    QMap<QString, QList<qint64>> kinds[2];
    QMap<QString, QList<int>> counts[2];
    QMap<QString, QList<double>> cpuKinds[2];
    for (int round = 0; round < rounds; ++round) {
        // Alternating, so that a slower moment of the machine hits both alike. The bare
        // Chromium gets a fresh profile each time, as the emulator does.
        QDir(profile.path()).removeRecursively();
        QDir().mkpath(profile.path());
        const Sample reference = Run(ChromiumProgram(), bare, {}, false, server);
        const Sample measured = Run(emulator, emulated, emulatorEnv, true, server);
        for (const auto &[index, sample] : {std::pair{0, reference}, std::pair{1, measured}}) {
            if (sample.seconds < 0) {
                std::fprintf(stderr, "bench_emulator: %s never painted its page\n",
                             index ? "the emulator" : "the bare Chromium");
                return 1;
            }
            times[index].append(sample.seconds * 1000);
            memory[index].append(sample.peakKiB);
            dirtyMemory[index].append(sample.peakDirtyKiB);
            cpu[index].append(sample.cpuSeconds * 1000);
            measuring.append(sample.measuringLoad * 100);
            for (auto it = sample.cpuByKind.begin(); it != sample.cpuByKind.end(); ++it)
                cpuKinds[index][it.key()].append(it.value() * 1000);
            for (auto it = sample.atPeak.begin(); it != sample.atPeak.end(); ++it) {
                kinds[index][it.key()].append(it.value().kib);
                counts[index][it.key()].append(it.value().processes);
            }
        }
    }
    // A kind missing from some starts counts as nothing there.
    for (int index : {0, 1}) {
        for (auto it = kinds[index].begin(); it != kinds[index].end(); ++it) {
            while (it.value().size() < rounds)
                it.value().append(0);
            while (counts[index][it.key()].size() < rounds)
                counts[index][it.key()].append(0);
        }
        for (auto it = cpuKinds[index].begin(); it != cpuKinds[index].end(); ++it) {
            while (it.value().size() < rounds)
                it.value().append(0);
        }
    }
    // Each start beside its neighbour: a busy moment of the machine hits both of a pair.
    const auto pairedRatio = [rounds](const auto &measured) {
        QList<double> ratios;
        for (int round = 0; round < rounds; ++round)
            ratios.append(static_cast<double>(measured[1].at(round)) /
                          static_cast<double>(measured[0].at(round)));
        return Median(ratios);
    };
    const double time[2] = {Median(times[0]), Median(times[1])};
    const double pss[2] = {Median(memory[0]) / 1024.0, Median(memory[1]) / 1024.0};
    // The goals are judged on the pairs: other Chromiums on the machine share the program's
    // pages and move a whole start's PSS by a third, so the medians of each side may come from
    // different conditions while a pair's two starts mostly share theirs.
    const double timeRatio = pairedRatio(times);
    const double memoryRatio = pairedRatio(memory);
    std::printf("Emulator beside a bare Chromium, median of %d alternating starts; the ratio "
                "is the median of each pair's (goals are reported, not asserted)\n",
                rounds);
    std::printf("  %-36s %8.0f ms vs %8.0f ms  ratio %4.2f (goal <= 1.20) %s\n",
                "start to first page painted", time[1], time[0], timeRatio,
                timeRatio <= 1.2 ? "met" : "MISSED");
    std::printf("  %-36s %8.0f MiB vs %7.0f MiB  ratio %4.2f (goal <= 1.10) %s\n",
                "peak memory (PSS, all processes)", pss[1], pss[0], memoryRatio,
                memoryRatio <= 1.1 ? "met" : "MISSED");
    // CPU time suffers less than the clock from other work on a shared machine.
    const double cpuMs[2] = {Median(cpu[0]), Median(cpu[1])};
    std::printf("  %-36s %8.0f ms vs %8.0f ms  ratio %4.2f\n", "CPU time, all processes, to paint",
                cpuMs[1], cpuMs[0], pairedRatio(cpu));
    // Other Chromiums on the machine share the program's pages and so lower both PSS
    // figures (and even the clean private ones), by up to a quarter. Private written pages
    // no other program can share: a lower bound that leaves out code and what the tree's own
    // processes share, but one that does not move with what else runs.
    const double own[2] = {Median(dirtyMemory[0]) / 1024.0, Median(dirtyMemory[1]) / 1024.0};
    std::printf("  %-36s %8.0f MiB vs %7.0f MiB  ratio %4.2f\n",
                "peak private dirty memory (all proc.)", own[1], own[0], pairedRatio(dirtyMemory));
    std::printf("  the measuring itself took %.0f%% of one core\n", Median(measuring));
    std::printf("  range: emulator %.0f-%.0f ms, %.0f-%.0f MiB; bare %.0f-%.0f ms, "
                "%.0f-%.0f MiB\n",
                *std::min_element(times[1].begin(), times[1].end()),
                *std::max_element(times[1].begin(), times[1].end()),
                *std::min_element(memory[1].begin(), memory[1].end()) / 1024.0,
                *std::max_element(memory[1].begin(), memory[1].end()) / 1024.0,
                *std::min_element(times[0].begin(), times[0].end()),
                *std::max_element(times[0].begin(), times[0].end()),
                *std::min_element(memory[0].begin(), memory[0].end()) / 1024.0,
                *std::max_element(memory[0].begin(), memory[0].end()) / 1024.0);
    std::printf("Where the memory goes at the peak (PSS MiB, median; processes), and the CPU "
                "time until the first paint (ms, median)\n");
    std::printf("  %-24s %14s %14s %10s %10s\n", "kind", "emulator", "bare Chromium", "emulator",
                "bare");
    QStringList names = kinds[0].keys() + kinds[1].keys() + cpuKinds[0].keys() + cpuKinds[1].keys();
    names.removeDuplicates();
    std::sort(names.begin(), names.end());
    for (const QString &name : std::as_const(names)) {
        // A process too brief to weigh anything is left out.
        const auto weighs = [&](int index) {
            return Median(kinds[index].value(name)) > 0 || Median(cpuKinds[index].value(name)) > 0;
        };
        if (!weighs(0) && !weighs(1))
            continue;
        QString cells[2];
        for (int index : {0, 1}) {
            cells[index] = kinds[index].contains(name)
                               ? QStringLiteral("%1 (%2)")
                                     .arg(Median(kinds[index].value(name)) / 1024.0, 0, 'f', 0)
                                     .arg(Median(counts[index].value(name)))
                               : QStringLiteral("-");
        }
        QString cpuCells[2];
        for (int index : {0, 1}) {
            cpuCells[index] = cpuKinds[index].contains(name)
                                  ? QString::number(Median(cpuKinds[index].value(name)), 'f', 0)
                                  : QStringLiteral("-");
        }
        std::printf("  %-24s %14s %14s %10s %10s\n", qUtf8Printable(name), qUtf8Printable(cells[1]),
                    qUtf8Printable(cells[0]), qUtf8Printable(cpuCells[1]),
                    qUtf8Printable(cpuCells[0]));
    }
    return 0;
}
