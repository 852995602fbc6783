#include "core/device.h"
#include "core/emulatorrequest.h"
#include "core/startpage.h"

#include <QtTest>

// The emulator's options as its command line, the launcher's catalogue and -help give them,
// the browser program they name, and the start page that shows them back.
class TestEmulatorRequest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("commandLine");
        // size, ppi, input, user agent, name, dump, address, zoom, orientation, screenshot, help,
        // follow, live reload, state file, chromium, colour scheme, reduced motion, network, CPU
        // slow-down, location, safe area
        QTest::addColumn<QString>("request");
        // A piece of each expected message, in order, separated by '|'.
        QTest::addColumn<QString>("problems");
        const QString Unemulated = "||0|online|1||0,0,0,0";

        // Quoted values keep their blanks; the later of two values wins; each value lands in
        // its own field (an unmatched option once became the metrics path).
        QTest::newRow("any order")
            << "a.html -ppi 240 -profile-name \"Phone 1\" -input keys -ppi 320 -dump-metrics m "
               "-user-agent \"Web/5 (Android 14)\" -windowsize 1600X2560 -zoom 75% -orientation "
               "landscape -screenshot s.png --help -follow off -live-reload off -state-file st "
               "-chromium /opt/c"
            << "1600x2560|320|keys|Web/5 (Android 14)|Phone 1|m|a.html|75|2|s.png|1|0|0|st|/opt/c" +
                   Unemulated
            << "";
        QTest::newRow("a bad value keeps a good one")
            << "-help -zoom 50 -zoom FIT -orientation portrait -orientation up -follow off "
               "-follow On -live-reload 1"
            << "480x800|160|mouse|||||0|1||1|0|1||" + Unemulated
            << "landscape); keeping the earlier value|on or off); keeping|on or off); using on";
        // Control characters would reach request headers and the window title. A forgotten
        // value does not swallow the next option.
        QTest::newRow("each fault told")
            << "-windowsize abc -windowsize 0x800 -windowsize 9000x800 -ppi 0 -ppi 1.5 -ppi 801 "
               "-input stylus -bogus -ppi -profile-name P -user-agent \"line\none\" -profile-name "
               "\"  \" -zoom 9 -zoom 401 -zoom 1.5 -orientation up -screenshot -help a.html b.html "
               "-user-agent"
            << "480x800|160|mouse||P||a.html|0|0||1|1|1||" + Unemulated
            << "-windowsize \"abc\"|0x800|8192|-ppi \"0\"|1.5|40 to 800|stylus|-bogus|-ppi needs a "
               "value|line?one|-profile-name|-zoom \"9\"|10 to 400|-zoom \"1.5\"|portrait or "
               "landscape|-screenshot needs a value|\"b.html\"|-user-agent needs a value";
        // An unknown option is never a value, except for a profile name, which is the user's
        // own; the engine's old pass-through marker is now just unknown.
        QTest::newRow("unknown options")
            << "-dump-metrics -scren s.png -profile-name -dash --webEngineArgs --disable-gpu "
               "-zoom -5 -chromium"
            << "480x800|160|mouse||-dash||s.png|0|0||0|1|1||" + Unemulated
            << "-dump-metrics needs a value; no metrics|unknown option \"-scren\"|\"--webEngineArgs"
               "\"|\"--disable-gpu\"|-zoom \"-5\"|-chromium needs a value";
        // A southern, western location starts with a minus and is still a value.
        QTest::newRow("page conditions")
            << "-color-scheme light -color-scheme dark -reduced-motion -network slow-3g "
               "-cpu-slowdown 20 -geolocation \"-33.8568, -151.2153\" -safe-area \"47, 0,34,0\""
            << "480x800|160|mouse|||||0|0||0|1|1|||dark|1|slow-3g|20|-33.8568,-151.2153|47,0,34,0"
            << "";
        QTest::newRow("page conditions refused")
            << "-network fast-4g -color-scheme Dark -network 3g -network online -cpu-slowdown 0 "
               "-cpu-slowdown 21 -cpu-slowdown 1.5 -geolocation 90.5,0 -geolocation 0,181 "
               "-geolocation 1 -geolocation nan,inf -safe-area 1,2,3 -safe-area 1,2,3,501 "
               "-safe-area -1,0,0,0 -reduced-motion"
            << "480x800|160|mouse|||||0|0||0|1|1||||1|fast-4g|1||0,0,0,0"
            << "\"Dark\" is not valid (expected dark or light); using the system's|\"3g\" is "
               "not valid (expected offline, slow-3g or fast-4g); keeping the earlier|\"online\"|"
               "\"0\" is not valid (expected a whole number from 1 to 20); at full speed|\"21\"|"
               "\"1.5\"|\"90.5,0\"|\"0,181\"|\"1\"|nan,inf|-safe-area \"1,2,3\" is not "
               "valid (expected four whole numbers T,R,B,L from 0 to 500); using none|501|"
               "-safe-area \"-1,0,0,0\"";
    }

    void parse()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, problems);
        const EmulatorRequest s = ParseEmulatorArguments(QProcess::splitCommand(commandLine));
        const auto n = [](auto value) { return QString::number(value); };
        QStringList seen;
        seen << n(s.windowSize.width()) + u'x' + n(s.windowSize.height()) << n(s.ppi)
             << InputMethodName(s.input) << s.userAgent << s.profileName << s.dumpMetricsPath
             << s.address << n(s.zoomPercent) << n(int(s.orientation)) << s.screenshotPath
             << n(s.helpRequested) << n(s.follow) << n(s.liveReload) << s.stateFilePath
             << s.chromiumPath << ColorSchemeName(s.conditions.colorScheme)
             << n(s.conditions.reducedMotion) << NetworkConditionName(s.conditions.network)
             << n(s.conditions.cpuSlowdown) << GeolocationText(s.conditions)
             << SafeAreaText(s.safeArea);
        QTEST(seen.join(u'|'), "request");
        const QStringList expected = problems.split(u'|', Qt::SkipEmptyParts);
        QVERIFY2(s.problems.size() == expected.size(), qPrintable(s.problems.join(u'\n')));
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(s.problems.at(i).contains(expected.at(i)), qPrintable(s.problems.at(i)));
    }

    // -help is written from the parser's own table, which the rows above use; it also names
    // the engine.
    void helpText()
    {
        const QString help = EmulatorHelpText();
        QVERIFY(help.contains(QLatin1String("\n  -help, --help ")));
        QVERIFY(help.contains(QLatin1String("rendered by the system's Chromium")));
    }

    // -chromium, else the environment variable, else the system's program; a bare name is
    // found in PATH; what cannot run is said, with how to install it.
    void chromiumProgram_data()
    {
        // -chromium|VELMORA_CHROMIUM|a piece of the problem (empty: none). "exe", "plain" (not
        // executable), "dir" and "missing" name files here; "sh" is found in PATH.
        QTest::addColumn<QString>("row");
        QTest::newRow("option") << "exe|missing|";
        QTest::newRow("environment") << "|exe|";
        QTest::newRow("in PATH") << "sh||";
        QTest::newRow("missing") << "missing|exe|(from -chromium) does not exist; install it (on "
                                    "Debian or Ubuntu: apt-get install chromium)";
        QTest::newRow("not a program") << "|plain|(from $VELMORA_CHROMIUM) is not an executable";
        QTest::newRow("directory") << "dir||is not an executable";
    }

    void chromiumProgram()
    {
#ifndef Q_OS_UNIX
        QSKIP("the rows make programs by their execute bit, and find sh in PATH");
#endif
        QFETCH(QString, row);
        const QStringList given = row.split(u'|');
        QTemporaryDir dir;
        QFile exe(dir.filePath(QStringLiteral("exe")));
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(exe.open(QIODevice::WriteOnly) && plain.open(QIODevice::WriteOnly));
        QVERIFY(exe.setPermissions(exe.permissions() | QFile::ExeOwner));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir")));
        const auto made = [&dir](const QString &name) {
            if (name == QLatin1String("sh"))
                return QStandardPaths::findExecutable(name);
            return name.isEmpty() ? name : dir.filePath(name);
        };

        EmulatorRequest request;
        request.chromiumPath = given.at(0) == QLatin1String("sh") ? given.at(0) : made(given.at(0));
        const QByteArray saved = qgetenv(EmulatorOption::ChromiumVariable);
        qputenv(EmulatorOption::ChromiumVariable, made(given.at(1)).toLocal8Bit());
        const BrowserProgram program = ChromiumProgram(request);
        qputenv(EmulatorOption::ChromiumVariable, saved);

        QCOMPARE(program.path, made(given.at(given.at(0).isEmpty() ? 1 : 0)));
        QCOMPARE(program.problem.isEmpty(), given.at(2).isEmpty());
        QVERIFY2(program.problem.contains(given.at(2)), qPrintable(program.problem));
    }

    // What the user typed reaches the start page as text, never as markup: here both the
    // user agent and the profile line, so it appears twice.
    void startPageEscaping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("escaped");
        const auto row = [](const char *typed, const char *escaped) {
            QTest::newRow(typed) << QString(typed) << QString(escaped);
        };
        row("<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;");
        row("A \"B\" & 'C'", "A &quot;B&quot; &amp; 'C'");
        row("%1 %2 &amp;", "%1 %2 &amp;amp;"); // placeholders stay
    }

    void startPageEscaping()
    {
        QFETCH(QString, typed);
        QFETCH(QString, escaped);
        EmulatorRequest request;
        request.userAgent = typed;
        const QString html = StartPageHtml(request, Device::FromRequest(request), typed);
        QVERIFY2(html.count(escaped) == 2, qPrintable(html));
        QCOMPARE(html.count(QLatin1String("<script")), 1); // the page's own
    }
};

QTEST_GUILESS_MAIN(TestEmulatorRequest)
#include "tst_emulatorrequest.moc"
