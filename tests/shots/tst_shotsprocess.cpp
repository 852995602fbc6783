#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// velmora-shots as a script runs it, with the emulator and the browser beside it.
class TestShotsProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    struct Outcome
    {
        int exitCode = -1;
        QByteArray errors;
    };

    Outcome Shots(const QStringList &arguments,
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(SHOTS_PATH, arguments);
        if (!process.waitForFinished(180000))
            process.kill();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardError()};
    }

    QString Index(const QString &folder)
    {
        QFile file(dir.filePath(folder + "/index.html"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The tool, its emulators and their browsers keep everything in here.
        for (const char *name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(dir.path()));
        QFile page(dir.filePath("page.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<!DOCTYPE html><meta name=viewport content='width=device-width'>"
                   "<body style='margin:0;background:#00ff00'>");
    }

    void shots()
    {
        // Without a Launcher.ini the catalogue is used; a name that no profile has runs
        // nothing and is named.
        Outcome run = Shots({"page.html", "-o", dir.filePath("none"), "--profiles", "Phone,Nope"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains("\"Nope\"") && run.errors.contains("\"Small classic phone\""),
                 run.errors.constData());
        QVERIFY(!QFileInfo::exists(dir.filePath("none/index.html")));

        QVERIFY(QDir(dir.path()).mkpath("Velmora/VelmoraMobileEmulator"));
        QFile ini(dir.filePath("Velmora/VelmoraMobileEmulator/Launcher.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("$VERSION\t107\n[Profile]\n"
                  "\"Small <phone>\"\t\"[Resolution] 0 [PixelDensity] 0 [Input] 0\"\n"
                  // Its own address and picture give way to the tool's.
                  "\"Wide & flat\"\t\"[Resolution] 1 [PixelDensity] 1 [Input] 1 about:blank "
                  "-screenshot elsewhere.png\"\n"
                  "\"Broken\"\t\"[Resolution] 0 -chromium /nonexistent/chromium\"\n"
                  "[Resolution]\n\"a\"\t\" -windowsize 360x640\"\n\"b\"\t\" -windowsize 800x600\"\n"
                  "[PixelDensity]\n\"a\"\t\" -ppi 320\"\n\"b\"\t\" -ppi 160\"\n"
                  "[Input]\n\"a\"\t\" -input touch\"\n\"b\"\t\" -input mouse\"\n");
        ini.close();

        // No display is needed.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        run = Shots({dir.filePath("page.html"), "-o", dir.filePath("out"), "--profiles",
                     "Small <phone>,Wide & flat"},
                    environment);
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        // The page fills each picture, at the device's pixels.
        const QImage small(dir.filePath("out/Small-phone.png"));
        const QImage wide(dir.filePath("out/Wide-flat.png"));
        QCOMPARE(small.size(), QSize(360, 640));
        QCOMPARE(wide.size(), QSize(800, 600));
        QCOMPARE(small.pixelColor(180, 600), QColor(Qt::green));
        QCOMPARE(wide.pixelColor(790, 300), QColor(Qt::green));
        const QString index = Index("out");
        QVERIFY(index.contains("<img src=\"Small-phone.png\" alt=\"Small &lt;phone&gt;\">"));
        QVERIFY(index.contains("<b>Wide &amp; flat</b><br>800 &times; 600 px, 160 ppi"));
        QVERIFY(!index.contains("Broken"));
        QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere.png")));

        // A profile that cannot render fails alone and by name, and an old picture of it
        // does not pass for a new one.
        QFile old(dir.filePath("out/Broken.png"));
        QVERIFY(QFile::copy(dir.filePath("out/Wide-flat.png"), old.fileName()));
        run = Shots({dir.filePath("page.html"), "-o", dir.filePath("out"), "-j", "1", "--profiles",
                     "Broken,Small <phone>"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("no picture for \"Broken\"\n"), run.errors.constData());
        QVERIFY(!old.exists());
        QVERIFY(Index("out").contains("apt-get install chromium")); // the emulator's own reason
        QVERIFY(Index("out").contains("<b>Broken</b><br>360 &times; 640 px, 320 ppi (2&times;)"));
        QVERIFY(Index("out").contains("Small &lt;phone&gt;"));
    }
};

QTEST_GUILESS_MAIN(TestShotsProcess)
#include "tst_shotsprocess.moc"
