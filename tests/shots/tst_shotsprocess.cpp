#include "testplatform.h"

#include <QImage>
#include <QtTest>

// velmora-shots as a script runs it, with the emulator and the browser beside it.
class TestShotsProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray errors; // of the last run

    int Shots(const QStringList &arguments, bool display = true)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display)
            environment.remove("DISPLAY");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(SHOTS_PATH, QStringList{"page.html", "-o", "out"} + arguments);
        if (!process.waitForFinished(180000))
            process.kill();
        errors = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString Index() { return QString::fromUtf8(ReadAll(dir.filePath("out/index.html"))); }

private Q_SLOTS:
    void shots()
    {
        // The tool, its emulators and their browsers keep everything in here.
        for (const char *name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(dir.path()));
        QVERIFY(WriteFile(dir.filePath("page.html"), "<meta name=viewport content='width=device-"
                                                     "width'><body style='background:#0f0'>"));

        // Without a Launcher.ini the catalogue is used; a name that no profile has runs
        // nothing and is named.
        QCOMPARE(Shots({"--profiles", "Phone,Nope"}), 2);
        QVERIFY2(errors.contains("\"Nope\"") && errors.contains("\"Small classic phone\""), errors);
        QVERIFY(!QFileInfo::exists(dir.filePath("out/index.html")));

        QVERIFY(QDir(dir.path()).mkpath("Velmora/VelmoraMobileEmulator"));
        QVERIFY(WriteFile(
            dir.filePath("Velmora/VelmoraMobileEmulator/Launcher.ini"),
            "$VERSION\t107\n[Profile]\n"
            "\"Small <phone>\"\t\"[Resolution] 0 [PixelDensity] 0 [Input] 0\"\n"
            // Its own address and picture give way to the tool's.
            "\"Wide & flat\"\t\"[Resolution] 1 [PixelDensity] 1 [Input] 1 about:blank "
            "-screenshot elsewhere.png\"\n"
            "\"Broken\"\t\"[Resolution] 0 -chromium /nonexistent/chromium\"\n"
            "[Resolution]\n\"a\"\t\" -windowsize 360x640\"\n\"b\"\t\" -windowsize 800x600\"\n"
            "[PixelDensity]\n\"a\"\t\" -ppi 320\"\n\"b\"\t\" -ppi 160\"\n"
            "[Input]\n\"a\"\t\" -input touch\"\n\"b\"\t\" -input mouse\"\n"));

        // The page fills each picture, at the device's pixels; no display is needed.
        QVERIFY2(Shots({"--profiles", "Small <phone>,Wide & flat"}, false) == 0, errors);
        const QImage small(dir.filePath("out/Small-phone.png"));
        const QImage wide(dir.filePath("out/Wide-flat.png"));
        QCOMPARE(small.size(), QSize(360, 640));
        QCOMPARE(wide.size(), QSize(800, 600));
        QCOMPARE(small.pixelColor(180, 600), QColor(Qt::green));
        QCOMPARE(wide.pixelColor(790, 300), QColor(Qt::green));
        QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere.png")));
        QVERIFY(Index().contains("<img src=\"Small-phone.png\" alt=\"Small &lt;phone&gt;\">"));

        // A profile that cannot render fails alone, by name and with the emulator's reason;
        // an old picture of it does not pass for a new one.
        QVERIFY(QFile::copy(dir.filePath("out/Wide-flat.png"), dir.filePath("out/Broken.png")));
        QCOMPARE(Shots({"-j", "1", "--profiles", "Broken,Small <phone>"}), 1);
        QVERIFY2(errors.contains("no picture for \"Broken\"\n"), errors);
        QVERIFY(!QFileInfo::exists(dir.filePath("out/Broken.png")));
        const QString index = Index();
        QVERIFY(index.contains("<b>Broken</b><br>360 &times; 640 px, 320 ppi (2&times;)"));
        QVERIFY(index.contains("apt-get install chromium"));
        QVERIFY(index.contains("Small &lt;phone&gt;") && !index.contains("Wide"));
    }
};

QTEST_GUILESS_MAIN(TestShotsProcess)
#include "tst_shotsprocess.moc"
