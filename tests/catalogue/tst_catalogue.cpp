#include "configreader.h"
#include "configwriter.h"
#include "emulatorrequest.h"
#include "useragentdetails.h"

#include <QtTest>

// The emulator's options, and the shipped catalogue (LauncherDefault.ini) written in them.
// The parser needs QtCore only, so both are checked even where the emulator is not built.
class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("commandLine");
        // size, ppi, input, user agent, name, dump, address, zoom, orientation, screenshot, help,
        // follow, live reload, state file
        QTest::addColumn<QString>("request");
        // A piece of each expected message, in order, separated by '|'.
        QTest::addColumn<QString>("problems");

        // Quoted values keep their blanks; the later of two values wins; what follows
        // --webEngineArgs is the engine's own.
        QTest::newRow("any order")
            << "a.html -ppi 240 -profile-name \"Phone 1\" -input keys -ppi 320 -dump-metrics m "
               "-user-agent \"Web/5 (Android 14)\" -windowsize 1600X2560 -zoom 75% -orientation "
               "landscape -screenshot s.png --help -follow off -live-reload off -state-file st "
               "--webEngineArgs -ppi 0 -zoom 1"
            << "1600x2560|320|keys|Web/5 (Android 14)|Phone 1|m|a.html|75|2|s.png|1|0|0|st"
            << "";
        QTest::newRow("a bad value keeps a good one")
            << "-help -zoom 50 -zoom FIT -orientation portrait -orientation up -follow off "
               "-follow On -live-reload 1"
            << "480x800|160|mouse|||||0|1||1|0|1|"
            << "landscape); keeping the earlier value|on or off); keeping|on or off); using on";
        // Control characters would reach request headers and the window title. A forgotten
        // value does not swallow the next option.
        QTest::newRow("each fault told")
            << "-windowsize abc -windowsize 0x800 -windowsize 9000x800 -ppi 0 -ppi 1.5 -ppi 801 "
               "-input stylus -bogus -ppi -profile-name P -user-agent \"line\none\" -profile-name "
               "\"  \" -zoom 9 -zoom 401 -zoom 1.5 -orientation up -screenshot -help a.html b.html "
               "-user-agent"
            << "480x800|160|mouse||P||a.html|0|0||1|1|1|"
            << "-windowsize \"abc\"|0x800|8192|-ppi \"0\"|1.5|40 to 800|stylus|-bogus|-ppi needs a "
               "value|line?one|-profile-name|-zoom \"9\"|10 to 400|-zoom \"1.5\"|portrait or "
               "landscape|-screenshot needs a value|\"b.html\"|-user-agent needs a value";
    }

    void parse()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, problems);
        const EmulatorRequest s = ParseEmulatorArguments(QProcess::splitCommand(commandLine));
        const QString size =
            QStringLiteral("%1x%2").arg(s.windowSize.width()).arg(s.windowSize.height());
        const QStringList seen({size, QString::number(s.ppi), InputMethodName(s.input), s.userAgent,
                                s.profileName, s.dumpMetricsPath, s.address,
                                QString::number(s.zoomPercent), QString::number(int(s.orientation)),
                                s.screenshotPath, QString::number(s.helpRequested),
                                QString::number(s.follow), QString::number(s.liveReload),
                                s.stateFilePath});
        QTEST(seen.join(u'|'), "request");
        const QStringList expected = problems.split(u'|', Qt::SkipEmptyParts);
        QCOMPARE(s.problems.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(s.problems.at(i).contains(expected.at(i)), qPrintable(s.problems.at(i)));
    }

    // Every option has its line in -help.
    void helpText()
    {
        using namespace EmulatorOption;
        const QStringList lines = EmulatorHelpText().split(u'\n');
        for (QLatin1String option :
             {WindowSize, Ppi, Input, UserAgent, ProfileName, DumpMetrics, Zoom, Orientation,
              Screenshot, Follow, LiveReload, StateFile, Help, EngineArguments}) {
            const auto describes = [option](const QString &line) {
                return QRegularExpression(QLatin1String("^  ") + option + QLatin1String("[ ,]"))
                    .match(line)
                    .hasMatch();
            };
            QVERIFY2(std::any_of(lines.cbegin(), lines.cend(), describes), option.data());
        }
    }

    void shippedCatalogue()
    {
        QFile file(QStringLiteral(VELMORA_CATALOGUE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        QCOMPARE(ReadConfigData(bytes, sections, profiles), 107);
        // Exactly what the launcher writes back: nothing changes on the first save.
        QCOMPARE(QString::fromUtf8(FormatConfig(sections, profiles)), QString::fromUtf8(bytes));

        QString options;
        // Besides "Chromium" and the made-up one, the brands of the agents shipped.
        QStringList brands;
        for (int s = 0; s < SectionCount; ++s) {
            // Filled, and each name picks one entry.
            QStringList names = sections[s].EntryNames();
            QVERIFY2(!names.isEmpty() && names.removeDuplicates() == 0,
                     qPrintable(sections[s].header));
            if (s == ProfileSection)
                continue;
            for (const ConfigEntry &entry : std::as_const(sections[s].entries)) {
                options += entry.value;
                // Each user agent is one the emulator recognises.
                const QString userAgent =
                    ParseEmulatorArguments(QProcess::splitCommand(entry.value)).userAgent;
                const UserAgentDetails details = DeriveUserAgentDetails(userAgent);
                QVERIFY2(userAgent.isEmpty() || !details.platform.isEmpty(), qPrintable(userAgent));
                if (details.brands.size() > 2)
                    brands.append(details.brands.first().brand);
            }
            for (const LaunchProfile &profile : std::as_const(profiles)) {
                const int selection = profile.selections.value(s - 1, -1);
                QVERIFY2(selection >= 0 && selection < sections[s].entries.size(),
                         qPrintable(profile.name));
            }
        }
        // The emulator names exactly the brands of the agents the catalogue ships.
        QStringList known = KnownBrowserBrands();
        known.sort();
        brands.removeDuplicates();
        brands.sort();
        QCOMPARE(brands, known);
        // Every option value, joined as the launcher joins them for a launch.
        const EmulatorRequest settings = ParseEmulatorArguments(QProcess::splitCommand(options));
        QCOMPARE(settings.problems.join(u'\n'), QString());
        QCOMPARE(settings.address, QString());
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
