#include "configreader.h"
#include "shotsoptions.h"
#include "shotsplan.h"

#include <QtTest>

// The parts of velmora-shots that decide what to run and what to write.
class TestShots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // "address|profiles|jobs", else how the error begins
        const auto row = [](const char *name, const QStringList &arguments, const char *expected) {
            QTest::newRow(name) << arguments << QString(expected);
        };
        row("a file", {"page.html"}, "file:///work/page.html||2");
        row("everything",
            {"-o", "out", "--profiles", " Phone ,Tablet,Phone", "--profile", "a,b", "-j", "16",
             "--timeout", "5", "https://example.org/a b?x=<y>"},
            "https://example.org/a%20b?x=%3Cy%3E|Phone;Tablet;a,b|16");
        row("help over faults", {"--bogus", "-j", "0", "--help"}, "||2");
        row("no page", {"-o", "out"}, "no page given");
        row("two pages", {"a", "b"}, "only one page");
        row("unknown option", {"-x", "a"}, "unknown option \"-x\"");
        row("missing value", {"a", "--profiles"}, "--profiles needs a value");
        row("empty name", {"--profiles", "a,,b", "p"}, "--profiles \"a,,b\" holds an empty name");
        row("no jobs", {"-j", "0", "p"}, "-j takes");
        row("too many jobs", {"-j", "17", "p"}, "-j takes");
        row("no timeout", {"--timeout", "x", "p"}, "--timeout takes");
        row("empty output", {"-o", "", "p"}, "-o needs");
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        // A folder that exists, so that on Windows too a relative page resolves as the test
        // expects, drive included.
        const QString work = QDir::currentPath();
        expected.replace("file:///work", QUrl::fromLocalFile(work).toString());
        const ShotsOptions options = ParseShotsArguments(arguments, work);
        const QString outcome = options.error.isEmpty()
                                    ? options.address + '|' + options.profileNames.join(';') + '|' +
                                          QString::number(options.jobs)
                                    : options.error;
        QVERIFY2(outcome.startsWith(expected) && outcome.contains('|') == expected.contains('|'),
                 qPrintable(outcome));
        QCOMPARE(options.helpRequested, arguments.contains("--help"));
    }

    void fileNames_data()
    {
        QTest::addColumn<QStringList>("profiles");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("climbing and hidden")
            << QStringList{"../../etc/x", ".hidden", "a/b\\c:d*e?f\"g<h>|\n"}
            << QStringList{"etc-x.png", "hidden.png", "a-b-c-d-e-f-g-h.png"};
        QTest::newRow("nothing usable")
            << QStringList{"", "--", "\U0001F600"}
            << QStringList{"profile.png", "profile-2.png", "profile-3.png"};
        // Distinct where the file system ignores case, a later name taking a suffix's place.
        QTest::newRow("clashes") << QStringList{"Phone", "phone", "Phone 2", "Phone"}
                                 << QStringList{"Phone.png", "phone-2.png", "Phone-2-2.png",
                                                "Phone-3.png"};
        QTest::newRow("reserved on Windows")
            << QStringList{"CON", "lpt1", "Com 1"}
            << QStringList{"CON-profile.png", "lpt1-profile.png", "Com-1.png"};
        QTest::newRow("letters kept")
            << QStringList{"Téléphone 電話", QString(100, 'x')}
            << QStringList{"Téléphone-電話.png", QString(60, 'x') + ".png"};
    }
    void fileNames()
    {
        QFETCH(QStringList, profiles);
        QTEST(ScreenshotFileNames(profiles), "files");
    }

    // Which of the catalogue's profiles run, and the contact sheet of their pictures.
    void profilesAndSheet()
    {
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        ReadConfigData("$VERSION\t107\n[Profile]\n"
                       "\"My phone\"\t\"[Resolution] 1 [Input] 9 -zoom 50 -url \"a b\"\"\n"
                       "\"<b>&'x\"\t\"[UserAgentString] 0\"\n"
                       "\"My phone\"\t\"[Resolution] 0\"\n"
                       "[Resolution]\n\"s\"\t\" -windowsize 240x320\"\n"
                       "\"m\"\t\" -windowsize 720x1280\"\n"
                       "[UserAgentString]\n\"u\"\t\" -user-agent \"A b\"\"\n",
                       sections, profiles);

        // Named ones in the order given, the first of a name, and the names no profile has.
        QCOMPARE(ProfileNames(ChooseProfiles(profiles, {}).chosen), ProfileNames(profiles));
        const ProfileChoice some =
            ChooseProfiles(profiles, {"<b>&'x", "Tablet", "My phone", "my phone"});
        QCOMPARE(ProfileNames(some.chosen), QStringList({"<b>&'x", "My phone"}));
        QCOMPARE(some.chosen.last().selections.first(), 1);
        QCOMPARE(some.unknown, QStringList({"Tablet", "my phone"}));

        const QString sheet =
            ContactSheet("https://x/?a=1&b=\"2\"",
                         {ShotResult{"<b>&'x", "b-x.png", {720, 1280}, 420, 2345, {}, {722, 1282}},
                          ShotResult{"Phone", "Phone.png", {240, 320}, 120, -1, "ended <1>", {}}});
        QVERIFY(sheet.contains("https://x/?a=1&amp;b=&quot;2&quot;"));
        QVERIFY(!sheet.contains("<b>&'x"));
        QVERIFY(sheet.contains("<img src=\"b-x.png\" alt=\"&lt;b&gt;&amp;'x\">"));
        QVERIFY(sheet.contains(
            "720 &times; 1280 px, 420 ppi (2.625&times;)<br>picture 722 &times; 1282<br>2.3 s"));
        // A failure shows no picture, only why.
        QVERIFY(!sheet.contains("Phone.png"));
        QVERIFY(sheet.contains("120 ppi (0.75&times;)<br><span class=\"failed\">Failed: "
                               "ended &lt;1&gt;</span>"));
    }
};

QTEST_GUILESS_MAIN(TestShots)
#include "tst_shots.moc"
