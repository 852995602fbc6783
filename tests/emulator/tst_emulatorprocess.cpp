#include "configreader.h"
#include "core/emulatorrequest.h"
#include "core/screenshotfile.h"
#include "processtree.h"
#include "testplatform.h"

#include <QtGui>
#include <QtTest>

#include <cmath>

namespace {

// The test's X server.
const QSize Screen(1280, 1024);

} // namespace

// The real emulator, measured from inside its pages by -dump-metrics. A first emulator named
// "Twin" keeps running while every device runs with the same name, privately.
class TestEmulatorProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess first;
    const QStringList twin = {"-profile-name", "Twin", "-dump-metrics"};

    // What -dump-metrics wrote here.
    QJsonObject Metrics(const QString &name)
    {
        return QJsonDocument::fromJson(ReadAll(dir.filePath(name))).object();
    }

    // Runs an emulator to its end: true when it ended with `code`, else what it said is shown.
    static bool Emulate(const QStringList &arguments, int code = 0, QByteArray *said = nullptr)
    {
        QProcess process;
        process.start(EMULATOR_PATH, arguments);
        const bool ended = process.waitForFinished(60000) && process.exitCode() == code &&
                           process.exitStatus() == QProcess::NormalExit;
        const QByteArray text = process.readAllStandardError();
        if (said)
            *said = text;
        else if (!ended)
            qWarning("%s", text.constData());
        return ended;
    }

    // Listening TCP sockets (state 0A) that belong to any of `pids`.
    static int ListeningSockets(const QList<qint64> &pids)
    {
        QSet<QByteArray> owned;
        for (qint64 pid : pids)
            for (const QFileInfo &fd :
                 QDir(QString("/proc/%1/fd").arg(pid)).entryInfoList(QDir::System))
                owned.insert(
                    fd.symLinkTarget().section("socket:[", 1).section(']', 0, 0).toLatin1());
        int listening = 0;
        for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"})
            for (const QByteArray &line : ReadAll(table).split('\n')) {
                const QList<QByteArray> fields = line.simplified().split(' ');
                listening += fields.size() > 9 && fields[3] == "0A" && owned.contains(fields[9]);
            }
        return listening;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The engine and the graphics driver write below these in every emulator; the runtime
        // directory keeps the first one out of any other group of emulators.
        for (const char *name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(dir.path()));
        first.start(EMULATOR_PATH, {"-profile-name", "Twin"});
        QVERIFY(first.waitForStarted());
        // It holds the profile once its directory has a lock.
        QTRY_VERIFY_WITH_TIMEOUT(
            QDirIterator(dir.path(), {"emulator.lock"}, QDir::Files, QDirIterator::Subdirectories)
                .hasNext(),
            30000);
    }

    void devices_data()
    {
        // The emulator's options and page; -screenshot is given its file here.
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("expected"); // what the page must measure: JSON, ' for "
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        if (ReadConfigData(ReadAll(VELMORA_CATALOGUE), sections, profiles) <= 0)
            QFAIL("the catalogue cannot be read");
        // The option that gives the catalogue's user agent of this name.
        const auto agent = [&agents = sections[UserAgentSection]](const char *name) -> QString {
            return agents.entries.value(agents.EntryNames().indexOf(name)).value + ' ';
        };
        const QString phone =
            "-windowsize 1080x2400 -ppi 420 -input touch" + agent("Chrome for Android, phone");
        const QString chromeOnAndroid = "'platform':'Linux armv8l','vendor':'Google Inc.',"
                                        "'touchEvents':true,'maxTouchPoints':5,'hover':'none'";
        const QString modern = "'features':{'has':true,'containerQueries':true,'nesting':true,"
                               "'popover':true,'dynamicViewportUnits':true,'oklch':true,"
                               "'colorMix':true,'anchorPositioning':true},'engine':'Chromium'";
        const auto row = [](const char *name, const QString &options, const QString &expected) {
            QTest::newRow(name) << options << expected;
        };
        row("phone", phone + "-screenshot device.html",
            "{'innerWidth':412,'devicePixelRatio':2.625,'screenWidth':412,'screenHeight':915,"
            "'orientation':'portrait-primary','orientationQuery':'portrait',"
            "'userAgentData':{'mobile':true,'platform':'Android','model':'K','architecture':'',"
            "'platformVersion':'10.0.0','uaFullVersion':'131.0.0.0','brands':[{'brand':'Google "
            "Chrome','version':'131'},{'brand':'Chromium','version':'131'},{'brand':'Not_A "
            "Brand','version':'24'}],'fullVersionList':[{'brand':'Google Chrome','version':"
            "'131.0.0.0'},{'brand':'Chromium','version':'131.0.0.0'},{'brand':'Not_A Brand',"
            "'version':'24.0.0.0'}]}," +
                chromeOnAndroid + "," + modern +
                ",'onLine':true,'geolocation':'denied','safeArea':{'top':0,'left':0}}");
        row("phone, landscape, page without a viewport",
            phone + "-orientation landscape -screenshot noviewport.html",
            "{'innerWidth':980,'clientWidth':980,'visualViewportScale':0.9337,"
            "'screenWidth':915,'screenHeight':412,'orientation':'landscape-primary',"
            "'orientationQuery':'landscape','devicePixelRatio':2.625," +
                chromeOnAndroid + "}");
        // What the page is told beyond the device, as it sees it; the notch turns with the
        // phone, its top edge going to the left.
        row("phone, dark, offline, located, notch",
            phone + "-color-scheme dark -reduced-motion -network offline -cpu-slowdown 4 "
                    "-geolocation -33.8568,151.2153 -safe-area 47,0,34,0 device.html",
            "{'colorScheme':'dark','reducedMotion':true,'onLine':false,"
            "'geolocation':{'latitude':-33.8568,'longitude':151.2153},"
            "'safeArea':{'top':47,'right':0,'bottom':34,'left':0},"
            "'emulated':{'network':'offline','cpuSlowdown':4,'safeArea':'47,0,34,0'}}");
        row("phone, light, slow 3G, turned notch",
            phone + "-color-scheme light -network slow-3g -safe-area 47,0,34,0 -orientation "
                    "landscape device.html",
            "{'colorScheme':'light','reducedMotion':false,'onLine':true,"
            "'connection':{'effectiveType':'2g'},'geolocation':'denied',"
            "'safeArea':{'top':0,'right':34,'bottom':0,'left':47},'screenWidth':915}");
        row("phone, responsive page", phone + "responsive.html", "{'documentTitle':'collapsed'}");
        // Its dialogs are answered as OK would, and the run still ends with its file.
        row("phone, page with dialogs", phone + "dialogs.html",
            "{'documentTitle':'answered true,given'}");
        row("Safari, zoomed",
            "-windowsize 1170x2532 -ppi 460 -input touch -zoom 50" + agent("Safari on iPhone") +
                "-screenshot device.html",
            "{'innerWidth':407,'devicePixelRatio':2.875,'screenHeight':881,'displayZoom':0.5,"
            "'platform':'iPhone','vendor':'Apple Computer, Inc.','userAgentData':null,"
            "'maxTouchPoints':5}");
        row("Firefox on Android",
            "-windowsize 1080x2400 -ppi 420 -input touch" + agent("Firefox for Android, phone") +
                "device.html",
            "{'innerWidth':412,'platform':'Linux armv8l','vendor':'','userAgentData':null}");
        row("keys", "-windowsize 240x320 -ppi 120 -input keys device.html",
            "{'innerWidth':320,'devicePixelRatio':0.75,'screenHeight':427,"
            "'hover':'none','maxTouchPoints':0,'touchEvents':false}");
        row("mouse, wider than the screen, responsive page",
            "-windowsize 1920x1200 -input mouse responsive.html",
            "{'innerWidth':1920,'devicePixelRatio':1,'orientation':'landscape-primary',"
            "'hover':'hover','maxTouchPoints':0,'touchEvents':false,"
            "'documentTitle':'expanded'}");
        // Every profile of the shipped catalogue, launched as the launcher does.
        for (const LaunchProfile &profile : std::as_const(profiles)) {
            QString options;
            for (int s = ResolutionSection; s <= UserAgentSection; ++s)
                options += sections[s].entries.value(profile.selections.value(s - 1)).value;
            row(qPrintable(profile.name), options + " device.html", "{'loaded':true}");
        }
    }

    void devices()
    {
        QFETCH(QString, options);
        QFETCH(QString, expected);
        QStringList arguments = QProcess::splitCommand(options);
        const QString page = arguments.takeLast();
        const QString png = dir.filePath("device.png");
        QFile::remove(png);
        const bool screenshot = arguments.contains("-screenshot");
        if (screenshot)
            arguments.insert(arguments.indexOf("-screenshot") + 1, png);
        QVERIFY(Emulate(
            arguments + twin +
            QStringList{dir.filePath("device.json"), VELMORA_TEST_DATA_DIR "/emulator/" + page}));
        const QJsonObject metrics = Metrics("device.json");
        // The page's title follows the profile's in the window's.
        QCOMPARE(metrics.value("title").toString(), "Twin (private: profile in use) - " +
                                                        metrics.value("documentTitle").toString() +
                                                        " - Velmora Mobile Emulator");
        QCOMPARE(metrics.value("emulation").toString(), "protocol");
        QVERIFY(metrics.value("loaded").toBool());
        const QJsonObject wanted =
            QJsonDocument::fromJson(expected.replace('\'', '"').toUtf8()).object();
        QVERIFY(!wanted.isEmpty());
        for (auto it = wanted.begin(); it != wanted.end(); ++it) {
            QJsonValue value = metrics.value(it.key());
            // Only the keys named are checked, at the precision given.
            if (value.isObject()) {
                const QJsonObject all = value.toObject();
                QJsonObject some;
                for (const QString &key : it.value().toObject().keys())
                    some.insert(key, all.value(key));
                value = some;
            } else if (value.isDouble()) {
                value = std::round(value.toDouble() * 10000) / 10000;
            }
            QVERIFY2(value == it.value(),
                     qPrintable(it.key() + ": " + QJsonDocument(metrics).toJson()));
        }

        // Given an agent, the page never learns the real engine's version: its story holds.
        const QString engine = metrics.value("engineVersion").toString();
        QVERIFY(engine.count('.') == 3);
        QVERIFY(!options.contains("-user-agent") ||
                !QJsonDocument(metrics.value("userAgentData").toObject())
                     .toJson()
                     .contains(engine.toUtf8()));

        // The page sees the device's pixels, its input and its agent as asked.
        const EmulatorRequest asked = ParseEmulatorArguments(arguments);
        const double ratio = metrics.value("devicePixelRatio").toDouble();
        QCOMPARE(ratio, asked.ppi / 160.0);
        const int side = qMin(asked.windowSize.width(), asked.windowSize.height());
        const int shown =
            qMin(metrics.value("screenWidth").toInt(), metrics.value("screenHeight").toInt());
        QVERIFY(shown * ratio >= side && shown * ratio < side + ratio);
        const char *pointer[] = {"fine", "coarse", "none"}; // mouse, touch, keys
        QCOMPARE(metrics.value("pointer").toString(), pointer[int(asked.input)]);
        QVERIFY(asked.userAgent.isEmpty() || metrics.value("userAgent") == asked.userAgent);

        // Whole on the test's screen, toolbar and all, and never above one to one.
        const qreal zoom = metrics.value("displayZoom").toDouble();
        QVERIFY(zoom > 0 && zoom <= 1);
        QVERIFY(metrics.value("screenWidth").toInt() * zoom <= Screen.width());
        QVERIFY(metrics.value("screenHeight").toInt() * zoom + 50 <= Screen.height());

        if (!screenshot)
            return;
        // The viewport at device pixels, rounded as the engine does, its fixed bar included.
        const QImage image(png);
        QCOMPARE(image.size(), QSize(std::round(metrics.value("screenWidth").toInt() * ratio),
                                     std::round(metrics.value("screenHeight").toInt() * ratio)));
        if (page == "device.html" && metrics.value("screenWidth").toInt() < 500)
            QCOMPARE(image.pixelColor(image.width() / 2, image.height() - 2), QColor(Qt::blue));
    }

    // The browser behind one emulator: no network port, one top-level window, its profile
    // written when the emulator is asked to stop, and never left behind when it dies.
    void lifecycle()
    {
        const QStringList keeper = {"-profile-name", "Keeper", "-windowsize", "720x1280"};
        const QString storage = VELMORA_TEST_DATA_DIR "/emulator/storage.html";
        QProcess emulator;
        emulator.start(EMULATOR_PATH, keeper + QStringList{storage});
        // Shown once the browser's window is in the emulator's; stored once the profile has
        // local storage.
        const QStringList browserWindows = {"search", "--onlyvisible", "--class", "VelmoraPage"};
        QTRY_COMPARE_WITH_TIMEOUT(QProcess::execute("xdotool", browserWindows), 0, 30000);
        const auto stored = [this] {
            QDirIterator it(dir.path(), {"Local Storage"}, QDir::Dirs,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                if (it.next().contains("eeper")) // the name, its capital encoded
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(stored(), 10000);
        QTest::qWait(1000);
        const QList<qint64> tree = ProcessTree(emulator.processId());
        QVERIFY2(tree.size() > 3, "the browser runs beside the emulator");
        QCOMPARE(ListeningSockets(tree), 0);
        const QStringList atRoot = QStringList{"search", "--maxdepth", "1"} + browserWindows.mid(1);
        QCOMPARE(QProcess::execute("xdotool", atRoot), 1); // none found

        emulator.terminate();
        QVERIFY(emulator.waitForFinished(15000));
        QCOMPARE(emulator.exitCode(), 0);
        QTRY_COMPARE(Alive(tree), 0);
        const QStringList again =
            keeper + QStringList{"-dump-metrics", dir.filePath("kept.json"), storage};
        QVERIFY(Emulate(again));
        QCOMPARE(Metrics("kept.json").value("documentTitle").toString(), "kept yes");

        // Killed, the emulator takes its browser with it.
        emulator.start(EMULATOR_PATH, keeper + QStringList{storage});
        QTRY_VERIFY_WITH_TIMEOUT(ProcessTree(emulator.processId()).size() > 3, 30000);
        const QList<qint64> killed = ProcessTree(emulator.processId());
        emulator.kill();
        QVERIFY(emulator.waitForFinished());
        QTRY_COMPARE_WITH_TIMEOUT(Alive(killed), 0, 10000);
        // What its browser left in the runtime folder goes with the next emulator's start.
        const QDir scratch(dir.filePath("velmora"));
        const QStringList left = {QString("r%1-*").arg(killed.first())};
        QCOMPARE(scratch.entryList(left, QDir::Dirs).size(), 1);
        QVERIFY(Emulate(again));
        QCOMPARE(scratch.entryList(left, QDir::Dirs).size(), 0);
    }

    // A page that never finishes loading still ends the run, with what could be measured.
    void neverLoaded()
    {
        // A state file that cannot be written (here a folder) is told of once, not retried.
        QByteArray said;
        QVERIFY(Emulate({"-dump-metrics", dir.filePath("never.json"), "-state-file", dir.path(),
                         "javascript:void(0)"},
                        1, &said));
        QCOMPARE(said.count("page state cannot be written"), 1);
        const QJsonObject metrics = Metrics("never.json");
        QCOMPARE(metrics.value("loaded"), QJsonValue(false));
        QVERIFY(metrics.contains("displayZoom"));
        // Without a browser, the run says how to get one, and still writes its file.
        QVERIFY(Emulate({"-chromium", dir.filePath("none"), "-dump-metrics",
                         dir.filePath("none.json"), "about:blank"},
                        1, &said));
        QVERIFY(said.contains("apt-get install chromium"));
        QCOMPARE(Metrics("none.json").value("emulation").toString(), "none");
    }

    void screenshotFileName_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("expected");
        for (const auto &[profile, name] :
             {std::pair("Phone", "Phone"), {"", "private"}, {"../a/b:c*?\x01 . ", "_a_b_c___"}})
            QTest::newRow(profile)
                << QString(profile) << name + QString("-1082x2402-20260102-030405.png");
    }

    void screenshotFileName()
    {
        QFETCH(QString, profile);
        const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
        const QString path = ScreenshotFilePath(dir.path(), profile, QSize(1082, 2402), when);
        QTEST(QFileInfo(path).fileName(), "expected");
        QCOMPARE(QFileInfo(path).absolutePath(), dir.filePath("Velmora"));
        // A second screenshot within the same second does not overwrite the first.
        QVERIFY(WriteScreenshot(path, "png").isEmpty());
        QVERIFY(ScreenshotFilePath(dir.path(), profile, QSize(1082, 2402), when) != path);
    }

    void cleanupTestCase()
    {
        QCOMPARE(first.state(), QProcess::Running); // unharmed by its twins
        first.kill();
        first.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestEmulatorProcess)
#include "tst_emulatorprocess.moc"
