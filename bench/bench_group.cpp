// Following with five emulators in one group: how long after the first window's own
// navigation the last of the other four has loaded the same address, and after its own
// scroll the last mirrored scroll. Each page reports to our server (a beacon on load and on
// its first scroll), so the four followers' delay over the window that acted is measured the
// same way as the window's own. The first window is driven with xdotool. Needs a display;
// figures are reported, never asserted.
//   bench_group [--short]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

constexpr int Windows = 5;
constexpr int WaitMs = 20000;
constexpr int SettleMs = 1000;

// Return sends the form that covers the page to a new address (the user's navigation, which
// the group follows; one the page makes on its own is not), 'm' scrolls to the middle: keys
// are not passed on, so only the first window acts of its own accord.
const QByteArray Page =
    "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=device-width\">"
    "<title>bench</title></head><body style=\"margin:0;height:6000px\">"
    "<form action=\"/page\" style=\"position:fixed;inset:0;margin:0\">"
    "<input id=\"t\" name=\"t\" style=\"width:100%;height:100%;opacity:0\"></form><script>"
    "const beacon = p => { new Image().src = p + '?' + Math.random(); };"
    "addEventListener('load', () => beacon('/loaded'));"
    "let scrolled = false;"
    "addEventListener('scroll', () => { if (!scrolled) { scrolled = true; beacon('/scrolled'); } "
    "});"
    "addEventListener('keydown', e => {"
    "  if (e.key === 'm') scrollTo(0, (document.scrollingElement.scrollHeight - innerHeight) / 2);"
    "  if (e.key === 'Enter') document.getElementById('t').value = Date.now();"
    "});</script></body></html>";

// Serves the page at every address and notes when each beacon arrived.
class PageServer : public QTcpServer
{
public:
    QElapsedTimer clock;
    QList<qint64> requested; // the page, at any address but the first
    QList<qint64> loaded;
    QList<qint64> scrolled;

    PageServer()
    {
        clock.start();
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    if (request.startsWith("GET /loaded") || request.startsWith("GET /scrolled")) {
                        (request.startsWith("GET /loaded") ? loaded : scrolled)
                            .append(clock.elapsed());
                        socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
                    } else {
                        if (request.startsWith("GET /page"))
                            requested.append(clock.elapsed());
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

bool WaitFor(const std::function<bool()> &done, int waitMs = WaitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > waitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool Xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

// A point well inside the first window's page, from its state file.
QStringList IntoPage(const QString &stateFile)
{
    QFile file(stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray view = QJsonDocument::fromJson(file.readAll()).object()[u"view"].toArray();
    if (view.size() != 4)
        return {};
    return {QStringLiteral("mousemove"), QString::number(view[0].toInt() + view[2].toInt() / 2),
            QString::number(view[1].toInt() + view[3].toInt() / 2), QStringLiteral("click"),
            QStringLiteral("1")};
}

// Ended however the run ends.
struct Group
{
    std::unique_ptr<QProcess> members[Windows];
    ~Group()
    {
        for (auto &member : members) {
            if (!member)
                continue;
            member->terminate();
            if (!member->waitForFinished(10000))
                member->kill();
            member->waitForFinished(10000);
        }
    }
};

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

// From the first beacon of a round (the window that acted) to the last, and the same for
// the page's requests when `requests` is given.
bool Spread(const QString &stateFile, QList<qint64> &beacons, const QString &key,
            QList<double> &into, QList<qint64> *requests = nullptr,
            QList<double> *started = nullptr)
{
    const qsizetype before = beacons.size();
    const qsizetype requestsBefore = requests ? requests->size() : 0;
    if (!Xdotool(IntoPage(stateFile) + QStringList{QStringLiteral("key"), key}))
        return false;
    if (!WaitFor([&] { return beacons.size() >= before + Windows; })) {
        std::fprintf(stderr, "bench_group: %d of %d windows followed '%s'\n",
                     static_cast<int>(beacons.size() - before), Windows, qPrintable(key));
        return false;
    }
    into.append(static_cast<double>(beacons.at(before + Windows - 1) - beacons.at(before)));
    if (requests && requests->size() >= requestsBefore + Windows)
        started->append(static_cast<double>(requests->at(requestsBefore + Windows - 1) -
                                            requests->at(requestsBefore)));
    // Settled before the next round: keys sent at once after a navigation may be lost.
    WaitFor([] { return false; }, SettleMs);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    PageServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/start").arg(server.serverPort());

    QTemporaryDir home;
    // A runtime directory of our own: a group apart from any emulators already running.
    for (const char *name :
         {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, QFile::encodeName(home.path()));
    const QString firstState = home.filePath(QStringLiteral("first.json"));

    Group group;
    auto &emulators = group.members;
    for (int i = 0; i < Windows; ++i) {
        emulators[i] = std::make_unique<QProcess>();
        emulators[i]->setStandardErrorFile(QProcess::nullDevice());
        QStringList arguments{QStringLiteral("-windowsize"), QStringLiteral("720x1280"),
                              QStringLiteral("-ppi"),        QStringLiteral("320"),
                              QStringLiteral("-zoom"),       QStringLiteral("40")};
        // The first opens the page; the others join and open the group's address.
        if (i == 0)
            arguments << QStringLiteral("-state-file") << firstState << url;
        emulators[i]->start(QStringLiteral(VELMORA_EMULATOR), arguments);
        if (!WaitFor([&] { return server.loaded.size() == i + 1; })) {
            std::fprintf(stderr, "bench_group: emulator %d did not load the page\n", i + 1);
            return 1;
        }
    }
    // The first window's state file names where its page is.
    WaitFor([&] { return !IntoPage(firstState).isEmpty(); });

    const int rounds = quick ? 1 : 9;
    QList<double> navigation, navigationStarted, scroll;
    for (int round = 0; round < rounds; ++round) {
        if (!Spread(firstState, server.scrolled, QStringLiteral("m"), scroll) ||
            !Spread(firstState, server.loaded, QStringLiteral("Return"), navigation,
                    &server.requested, &navigationStarted)) {
            std::fprintf(stderr, "bench_group: the others did not follow (is xdotool there?)\n");
            return 1;
        }
    }
    std::printf("Following with %d windows, median of %d rounds: the last follower after the "
                "window that acted (goals are reported, not asserted)\n",
                Windows, rounds);
    std::printf("  %-32s %6.0f ms (goal < 100) %s\n", "navigation requested by all",
                Median(navigationStarted), Median(navigationStarted) < 100 ? "met" : "MISSED");
    std::printf("  %-32s %6.0f ms (five pages loading at once)\n", "navigation loaded in all",
                Median(navigation));
    std::printf("  %-32s %6.0f ms (goal < 100) %s\n", "scroll mirrored in all", Median(scroll),
                Median(scroll) < 100 ? "met" : "MISSED");
    return 0;
}
