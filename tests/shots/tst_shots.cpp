#include "arguments.h"
#include "configreader.h"
#include "shotsoptions.h"
#include "shotsplan.h"

#include <QTest>

// The parts of velmora-shots that decide what to run and what to write.
class TestShots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("profiles");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QString>("error"); // how it begins
        QTest::newRow("a file") << QStringList{"page.html"} << "file:///work/page.html"
                                << QStringList{} << 2 << "";
        QTest::newRow("everything") << QStringList{"-o",
                                                   "out",
                                                   "--profiles",
                                                   " Phone ,Tablet,Phone",
                                                   "--profile",
                                                   "a,b",
                                                   "-j",
                                                   "16",
                                                   "--timeout",
                                                   "5",
                                                   "https://example.org/a b?x=<y>"}
                                    << "https://example.org/a%20b?x=%3Cy%3E"
                                    << QStringList{"Phone", "Tablet", "a,b"} << 16 << "";
        QTest::newRow("help over faults")
            << QStringList{"--bogus", "-j", "0", "--help"} << "" << QStringList{} << 2 << "";
        QTest::newRow("no page") << QStringList{"-o", "out"} << "" << QStringList{} << 2
                                 << "no page given";
        QTest::newRow("two pages")
            << QStringList{"a", "b"} << "file:///work/a" << QStringList{} << 2 << "only one page";
        QTest::newRow("unknown option") << QStringList{"-x", "a"} << "file:///work/a"
                                        << QStringList{} << 2 << "unknown option \"-x\"";
        QTest::newRow("missing value") << QStringList{"a", "--profiles"} << "file:///work/a"
                                       << QStringList{} << 2 << "--profiles needs a value";
        QTest::newRow("empty name") << QStringList{"--profiles", "a,,b", "p"} << "file:///work/p"
                                    << QStringList{"a", "b"} << 2 << "--profiles \"a,,b\"";
        QTest::newRow("no jobs") << QStringList{"-j", "0", "p"} << "file:///work/p" << QStringList{}
                                 << 2 << "-j takes";
        QTest::newRow("too many jobs")
            << QStringList{"-j", "17", "p"} << "file:///work/p" << QStringList{} << 2 << "-j takes";
        QTest::newRow("no timeout") << QStringList{"--timeout", "x", "p"} << "file:///work/p"
                                    << QStringList{} << 2 << "--timeout takes";
        QTest::newRow("empty output")
            << QStringList{"-o", "", "p"} << "file:///work/p" << QStringList{} << 2 << "-o needs";
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const ShotsOptions options = ParseShotsArguments(arguments, "/work");
        QVERIFY2(error.isEmpty() ? options.error.isEmpty() : options.error.startsWith(error),
                 qPrintable(options.error));
        QCOMPARE(options.helpRequested, arguments.contains("--help"));
        QTEST(options.address, "address");
        QTEST(options.profileNames, "profiles");
        QTEST(options.jobs, "jobs");
    }

    void fileNames_data()
    {
        QTest::addColumn<QStringList>("profiles");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("plain") << QStringList{"Phone with Safari", "iPad portrait"}
                               << QStringList{"Phone-with-Safari.png", "iPad-portrait.png"};
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

    // From the catalogue's profiles to the emulator's arguments and the contact sheet.
    void profilesAndSheet()
    {
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        ReadConfigData("$VERSION\t107\n[Profile]\n"
                       "\"Phone\"\t\"[Resolution] 1 [Input] 9 -zoom 50 -url \"a b\"\"\n"
                       "\"<b>&'x\"\t\"[UserAgentString] 0\"\n"
                       "\"Phone\"\t\"[Resolution] 0\"\n"
                       "[Resolution]\n\"s\"\t\" -windowsize 240x320\"\n"
                       "\"m\"\t\" -windowsize 720x1280\"\n"
                       "[UserAgentString]\n\"u\"\t\" -user-agent \"A b\"\"\n",
                       sections, profiles);

        // Named ones in the order given, the first of a name, and the names no profile has.
        const ProfileChoice all = ChooseProfiles(profiles, {});
        QCOMPARE(ProfileNames(all.chosen), ProfileNames(profiles));
        const ProfileChoice some = ChooseProfiles(profiles, {"<b>&'x", "Tablet", "Phone", "phone"});
        QCOMPARE(ProfileNames(some.chosen), QStringList({"<b>&'x", "Phone"}));
        QCOMPARE(some.chosen.last().selections.first(), 1);
        QCOMPARE(some.unknown, QStringList({"Tablet", "phone"}));

        // As Launch gives them: an entry outside its section adds nothing, the name is one
        // argument, quotes group the free text.
        QCOMPARE(LaunchArguments(sections, profiles[0]),
                 QStringList({"-windowsize", "720x1280", "-user-agent", "A b", "-profile-name",
                              "Phone", "-zoom", "50", "-url", "a b"}));
        QCOMPARE(LaunchArguments(sections, profiles[1]),
                 QStringList(
                     {"-windowsize", "240x320", "-user-agent", "A b", "-profile-name", "<b>&'x"}));

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
