#include "browserengine.h"
#include "emulatorwindow.h"
#include "profiledirectory.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(InputMethod)

namespace {

const QString Android = QStringLiteral("Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 "
                                       "(KHTML, like Gecko) Chrome/131.0.0.0 Mobile Safari/537.36");
const QString Iphone = QStringLiteral("Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) "
                                      "AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile/15E148");
constexpr int Timeout = 60000;

// Two links one below the other; the page logs what reaches it in its title.
const QByteArray InputPage =
    "<script>var log = []; ['touchstart', 'touchend', 'mousedown', 'click'].forEach(t =>"
    " addEventListener(t, e => { log.push(t + ':' + e.target.id);"
    " document.title = log.join(' '); }, true));</script>"
    "<body style='margin: 0'><a id=first href=#1 style='display: block; height: 99px'>1</a>"
    "<a id=second href=#2 style='display: block; height: 99px'>2</a>";

// A local web server that keeps each request's head. /hold is answered only on release(),
// with a cookie; all without any network.
class PageServer : public QTcpServer
{
public:
    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        });
        listen(QHostAddress::LocalHost);
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }
    void release() { Answer(held, "/hold"); }
    QStringList With(const char *path) const
    {
        return requests.filter(QStringLiteral("GET %1 ").arg(path));
    }

    QStringList requests;

private:
    void Read(QTcpSocket *socket)
    {
        QByteArray &head = heads[socket];
        head += socket->readAll();
        if (!head.endsWith("\r\n\r\n"))
            return;
        requests.append(QString::fromLatin1(head));
        const QByteArray path = head.split(' ').value(1);
        if (path == "/hold")
            held = socket;
        else
            Answer(socket, path);
    }
    static void Answer(QTcpSocket *socket, const QByteArray &path)
    {
        QByteArray body = "<html><script src=\"/script.js\"></script>page</html>";
        QByteArray headers = "Content-Type: text/html\r\n";
        if (path == "/script.js")
            body = "var scriptLoaded = true;";
        else if (path == "/input")
            body = InputPage;
        else if (path == "/hold")
            headers += "Set-Cookie: session=kept; Max-Age=3600\r\n";
        socket->write("HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QHash<QTcpSocket *, QByteArray> heads;
    QTcpSocket *held = nullptr;
};

} // namespace

class TestEmulatorProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void devices_data();
    void devices();
    void sameProfileTwice();
    void unwritableMetrics();
    void input_data();
    void input();

private:
    QStringList Run(const QStringList &arguments, const QString &metricsName);
    QJsonObject Metrics(const QString &name) const;

    QTemporaryDir home;
    PageServer server;
};

void TestEmulatorProcess::initTestCase()
{
    QVERIFY(home.isValid() && server.isListening());
}

// Runs one emulator to its end without blocking the event loop, which serves its requests;
// gives the exit code, then the lines of standard error.
QStringList TestEmulatorProcess::Run(const QStringList &arguments, const QString &metricsName)
{
    // Given first, so that a later -dump-metrics among the arguments wins.
    QProcess process;
    process.start(EMULATOR_PATH,
                  QStringList{"-dump-metrics", home.filePath(metricsName)} + arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, Timeout))
        process.kill();
    process.waitForFinished();
    return QStringList(QString::number(process.exitCode())) +
           QString::fromUtf8(process.readAllStandardError()).split('\n');
}

QJsonObject TestEmulatorProcess::Metrics(const QString &name) const
{
    QFile file(home.filePath(name));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

void TestEmulatorProcess::devices_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("userAgent"); // empty: the engine's own
    QTest::addColumn<QSizeF>("viewport");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("touchPoints");
    QTest::addColumn<int>("complaints");

    QTest::newRow("phone") << " -windowsize 1080x2400 -ppi 420 -input touch -user-agent \"" +
                                  Android + "\" -profile-name \"Phone 1080x2400\" "
                           << Android << QSizeF(1080 / 2.625, 2400 / 2.625) << 2.625 << 5 << 0;
    QTest::newRow("tablet") << " -windowsize 1600x2560 -ppi 320 -input touch -profile-name Tab"
                            << QString() << QSizeF(800, 1280) << 2.0 << 5 << 0;
    QTest::newRow("classic") << " -windowsize 480x800 -ppi 240 -input keys -user-agent \"" +
                                    Iphone + "\" -profile-name \"Classic phone\" "
                             << Iphone << QSizeF(320, 800 / 1.5) << 1.5 << 0 << 0;
    QTest::newRow("faulty values") << " -windowsize abc -ppi 0 -bogus -profile-name Faulty"
                                   << QString() << QSizeF(480, 800) << 1.0 << 0 << 3;
}

void TestEmulatorProcess::devices()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, userAgent);
    QFETCH(QSizeF, viewport);
    server.requests.clear();

    const QStringList arguments = QProcess::splitCommand(commandLine) << server.url("/page");
    const QStringList lines = Run(arguments, QStringLiteral("device.json"));
    QVERIFY2(lines.first() == "0", qPrintable(lines.join('\n')));
    QTEST(int(lines.filter("VelmoraMobileEmu: ").size() - lines.filter("sandbox").size()),
          "complaints");

    const QJsonObject metrics = Metrics(QStringLiteral("device.json"));
    // The engine rounds the viewport to whole CSS pixels.
    QVERIFY(qAbs(metrics.value("innerWidth").toDouble() - viewport.width()) < 1);
    QVERIFY(qAbs(metrics.value("innerHeight").toDouble() - viewport.height()) < 1);
    QTEST(metrics.value("devicePixelRatio").toDouble(), "ratio");
    QTEST(metrics.value("maxTouchPoints").toInt(), "touchPoints");
    const QString name = arguments.at(arguments.indexOf("-profile-name") + 1);
    QCOMPARE(metrics.value("title").toString(), name + " - Velmora Mobile Emulator");

    const QString seen = metrics.value("userAgent").toString();
    QVERIFY(userAgent.isEmpty() ? seen.contains("QtWebEngine") : seen == userAgent);
    QVERIFY(!server.With("/page").isEmpty() && !server.With("/script.js").isEmpty());
    QCOMPARE(server.requests.filter("\r\nUser-Agent: " + seen + "\r\n"), server.requests);
}

// The first emulator holds its profile until the second has finished, so both run at once.
// The first one's login is kept for the name, and only for it.
void TestEmulatorProcess::sameProfileTwice()
{
    const QStringList twin = {"-profile-name", "Twin"};
    QProcess first;
    first.start(EMULATOR_PATH, twin + QStringList{"-dump-metrics", home.filePath("first.json"),
                                                  server.url("/hold")});
    QTRY_VERIFY_WITH_TIMEOUT(!server.With("/hold").isEmpty(), Timeout);

    const QStringList lines = Run(twin + QStringList{server.url("/page")}, "second.json");
    QVERIFY2(lines.first() == "0", qPrintable(lines.join('\n')));
    QVERIFY(lines.join('\n').contains("in use by another emulator"));
    server.release();
    QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning, Timeout);
    QCOMPARE(first.exitCode(), 0);

    QCOMPARE(Metrics("first.json").value("title").toString(), "Twin - Velmora Mobile Emulator");
    QCOMPARE(Metrics("second.json").value("title").toString(),
             "Twin (private: profile in use) - Velmora Mobile Emulator");
    QCOMPARE(Metrics("second.json").value("innerWidth").toInt(), 480);

    server.requests.clear();
    QCOMPARE(Run(twin + QStringList{server.url("/page")}, "third.json").first(), "0");
    QCOMPARE(Run({"-profile-name", "Other", server.url("/page")}, "other.json").first(), "0");
    QCOMPARE(server.With("/page").filter("Cookie: session=kept").size(), 1);
    QVERIFY(server.With("/page").first().contains("Cookie: session=kept"));
}

// Failing to write the metrics is not reported as success.
void TestEmulatorProcess::unwritableMetrics()
{
    const QStringList lines = Run({"-dump-metrics", home.filePath("no/such/dir.json")}, "");
    QCOMPARE(lines.first(), "1");
    QVERIFY(lines.join('\n').contains("cannot write the metrics"));
}

void TestEmulatorProcess::input_data()
{
    QTest::addColumn<InputMethod>("input");
    QTest::addColumn<QString>("log");

    QTest::newRow("touch") << InputMethod::Touch
                           << "touchstart:first touchend:first mousedown:first click:first";
    QTest::newRow("mouse") << InputMethod::Mouse << "mousedown:first click:first";
    QTest::newRow("keys") << InputMethod::Keys << "click:second";
}

// In this process, against the real engine: a click on the first link, then Down, Down and
// Return. The keys only move between links when the pointer is taken away.
void TestEmulatorProcess::input()
{
    QFETCH(InputMethod, input);
    QFETCH(QString, log);
    EmulatorSettings settings;
    settings.input = input;
    settings.ppi = 240;
    settings.address = server.url("/input");
    if (input == InputMethod::Touch)
        PrepareBrowserEngine(settings); // before the first profile of this process

    const ProfileDirectory unnamed{QString()};
    const auto profile = CreateBrowserProfile(settings, unnamed);
    EmulatorWindow window(settings, profile.get(), QString());
    QSignalSpy loaded(window.page(), &QWebEnginePage::loadFinished);
    window.show();
    window.OpenFirstPage();
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, Timeout);

    QWidget *page = window.findChild<QWebEngineView *>()->focusProxy();
    QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(40, 40));
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(page, key);
    QTRY_VERIFY2_WITH_TIMEOUT(window.page()->title().startsWith(log),
                              qPrintable(window.page()->title()), 10000);
}

int main(int argc, char *argv[])
{
    // The engine and the graphics driver write below these, in the emulators and in this
    // process from its start on; root needs no sandbox.
    QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.path()));
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    TestEmulatorProcess test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_emulatorprocess.moc"
