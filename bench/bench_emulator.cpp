// The emulator's start beside a minimal Qt WebEngine window, in the same run and on the same
// page at the same size on screen: the time from starting the process until the page has
// painted its first frame (the page itself reports it to our server), and the peak memory
// (proportional set size of the process and all its children, so the engine's helper
// processes count). Needs a display; figures are reported, never asserted.
//   bench_emulator [--short]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Two animation frames after loading, the first one has reached the screen.
const QByteArray Page = "<!DOCTYPE html><html><head><meta name=\"viewport\" "
                        "content=\"width=device-width\"><title>bench</title></head>"
                        "<body><h1>First paint</h1><p>Some text to lay out.</p><script>"
                        "requestAnimationFrame(() => requestAnimationFrame(() => "
                        "{ new Image().src = '/painted'; }));</script></body></html>";

struct Sample
{
    double seconds = -1;
    double peakMiB = 0;
};

// Proportional set size of `pid` and its descendants, in KiB (Linux only; 0 elsewhere).
qint64 TreePssKiB(qint64 pid)
{
    QList<qint64> tree{pid};
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    // Parents precede children often enough; a few passes collect the whole tree.
    for (int pass = 0; pass < 3; ++pass) {
        for (const QString &entry : entries) {
            bool numeric = false;
            const qint64 candidate = entry.toLongLong(&numeric);
            if (!numeric || tree.contains(candidate))
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && tree.contains(fields.at(1).toLongLong()))
                tree.append(candidate);
        }
    }
    qint64 total = 0;
    for (qint64 member : std::as_const(tree)) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(member));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:"))
                total += line.mid(4).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return total;
}

class PageServer : public QTcpServer
{
public:
    bool painted = false;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    if (request.startsWith("GET /painted")) {
                        painted = true;
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

Sample Run(const QString &program, const QStringList &arguments, PageServer &server)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), home.path());
    // Both alike: the engine's sandbox refuses to start as root, as CI runs.
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    server.painted = false;

    Sample sample;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    qint64 settleUntil = -1;
    while (timer.elapsed() < 60000 && (settleUntil < 0 || timer.elapsed() < settleUntil)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (server.painted && settleUntil < 0) {
            sample.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
            settleUntil = timer.elapsed() + 1500; // the peak may come just after
        }
        if (process.state() == QProcess::NotRunning)
            break;
        sample.peakMiB = std::max(sample.peakMiB, TreePssKiB(process.processId()) / 1024.0);
    }
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(10000);
    return sample;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    PageServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    const QString dir = QCoreApplication::applicationDirPath();
    // 1080x1920 at 480 ppi is 360x640 CSS pixels; at 100% both show 360x640 on screen.
    const QString emulator = QStringLiteral(VELMORA_EMULATOR);
    const QStringList emulated{
        QStringLiteral("-windowsize"), QStringLiteral("1080x1920"), QStringLiteral("-ppi"),
        QStringLiteral("480"),         QStringLiteral("-input"),    QStringLiteral("touch"),
        QStringLiteral("-zoom"),       QStringLiteral("100"),       url};
    const QString minimal = dir + QStringLiteral("/emulator_minimal");

    const int rounds = quick ? 1 : 7;
    QList<double> times[2], memory[2];
    for (int round = 0; round < rounds; ++round) {
        // Alternating, so that a slower moment of the machine hits both alike.
        const Sample reference = Run(minimal, {QStringLiteral("360x640"), url}, server);
        const Sample measured = Run(emulator, emulated, server);
        for (const auto &[index, sample] : {std::pair{0, reference}, std::pair{1, measured}}) {
            if (sample.seconds < 0) {
                std::fprintf(stderr, "bench_emulator: %s never painted its page\n",
                             index ? "the emulator" : "the minimal window");
                return 1;
            }
            times[index].append(sample.seconds * 1000);
            memory[index].append(sample.peakMiB);
        }
    }
    const double time[2] = {Median(times[0]), Median(times[1])};
    const double pss[2] = {Median(memory[0]), Median(memory[1])};
    std::printf("Emulator beside a minimal WebEngine window, median of %d starts "
                "(goals are reported, not asserted)\n",
                rounds);
    std::printf("  %-36s %8.0f ms vs %8.0f ms  ratio %4.2f (goal <= 1.80) %s\n",
                "start to first page painted", time[1], time[0], time[1] / time[0],
                time[1] / time[0] <= 1.8 ? "met" : "MISSED");
    std::printf("  %-36s %8.0f MiB vs %7.0f MiB  ratio %4.2f (goal <= 1.20) %s\n",
                "peak memory (PSS, all processes)", pss[1], pss[0], pss[1] / pss[0],
                pss[1] / pss[0] <= 1.2 ? "met" : "MISSED");
    return 0;
}
