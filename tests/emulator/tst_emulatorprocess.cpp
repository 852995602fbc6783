#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The real emulator, measured from inside its page by -dump-metrics. A first emulator named
// "Twin" is held on its page load by our server while every device runs with the same name:
// both must produce their metrics.
class TestEmulatorProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QTcpServer server;
    QProcess first;
    const QStringList twin = {"-profile-name", "Twin", "-dump-metrics"};

private Q_SLOTS:
    void initTestCase()
    {
        // The engine and the graphics driver write below these in every emulator.
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            qputenv(name, QFile::encodeName(dir.path()));
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
        first.start(EMULATOR_PATH, twin + QStringList{dir.filePath("first.json"), url});
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 60000);
    }

    void devices_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("metrics"); // as measured by the page, without the title
        QTest::newRow("phone")
            << "-windowsize 1080x2400 -ppi 420 -input touch -user-agent \"P (Android 14) Mobile\""
            << R"({"devicePixelRatio":2.625,"innerHeight":914,"innerWidth":411,"loaded":true,)"
               R"("maxTouchPoints":5,"touchEvents":true,"userAgent":"P (Android 14) Mobile"})";
        QTest::newRow("tablet")
            << "-input touch -ppi 320 -windowsize 1600x2560 -user-agent Tablet/2"
            << R"({"devicePixelRatio":2,"innerHeight":1280,"innerWidth":800,"loaded":true,)"
               R"("maxTouchPoints":5,"touchEvents":true,"userAgent":"Tablet/2"})";
        QTest::newRow("classic")
            << "-windowsize 480x800 -ppi 240 -input keys -user-agent \"C (iPhone) Safari\""
            << R"({"devicePixelRatio":1.5,"innerHeight":533,"innerWidth":320,"loaded":true,)"
               R"("maxTouchPoints":0,"touchEvents":false,"userAgent":"C (iPhone) Safari"})";
    }

    void devices()
    {
        QFETCH(QString, options);
        QProcess process;
        process.start(EMULATOR_PATH, QProcess::splitCommand(options) + twin +
                                         QStringList{dir.filePath("device.json"),
                                                     VELMORA_TEST_DATA_DIR "/emulator.html"});
        QVERIFY(process.waitForFinished(60000) && process.exitCode() == 0);
        QFile file(dir.filePath("device.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject metrics = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(metrics.take("title").toString(),
                 "Twin (private: profile in use) - Velmora Mobile Emulator");
        QTEST(QString::fromUtf8(QJsonDocument(metrics).toJson(QJsonDocument::Compact)), "metrics");
    }

    void cleanupTestCase()
    {
        while (QTcpSocket *socket = server.nextPendingConnection())
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nreleased");
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning, 60000);
        QCOMPARE(first.exitCode(), 0); // only once its metrics are written
    }
};

QTEST_GUILESS_MAIN(TestEmulatorProcess)
#include "tst_emulatorprocess.moc"
