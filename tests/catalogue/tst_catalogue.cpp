#include "configreader.h"
#include "configwriter.h"
#include "emulatoroptions.h"

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
        QTest::addColumn<QString>("settings"); // size, ppi, input, user agent, name, dump, address
        // A piece of each expected message, in order, separated by '|'.
        QTest::addColumn<QString>("problems");

        // Quoted values keep their blanks; the later of two values wins; what follows
        // --webEngineArgs is the engine's own.
        QTest::newRow("any order")
            << "a.html -ppi 240 -profile-name \"Phone 1\" -input keys -ppi 320 -dump-metrics m "
               "-user-agent \"Web/5 (Android 14)\" -windowsize 1600X2560 --webEngineArgs -ppi 0"
            << "1600x2560|320|keys|Web/5 (Android 14)|Phone 1|m|a.html"
            << "";
        // Control characters would reach request headers and the window title. A forgotten
        // value does not swallow the next option.
        QTest::newRow("each fault told")
            << "-windowsize abc -windowsize 0x800 -windowsize 9000x800 -ppi 0 -ppi 1.5 -ppi 801 "
               "-input stylus -bogus -ppi -profile-name P -user-agent \"line\none\" -profile-name "
               "\"  \" a.html b.html -user-agent"
            << "480x800|160|mouse||P||a.html"
            << "-windowsize \"abc\"|0x800|8192|-ppi \"0\"|1.5|40 to 800|stylus|-bogus|-ppi needs a "
               "value|line?one|-profile-name|\"b.html\"|-user-agent needs a value";
    }

    void parse()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, problems);
        const EmulatorSettings s = ParseEmulatorArguments(QProcess::splitCommand(commandLine));
        const QString size =
            QStringLiteral("%1x%2").arg(s.windowSize.width()).arg(s.windowSize.height());
        const QStringList seen({size, QString::number(s.ppi), InputMethodName(s.input), s.userAgent,
                                s.profileName, s.dumpMetricsPath, s.address});
        QTEST(seen.join(u'|'), "settings");
        const QStringList expected = problems.split(u'|', Qt::SkipEmptyParts);
        QCOMPARE(s.problems.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(s.problems.at(i).contains(expected.at(i)), qPrintable(s.problems.at(i)));
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
        for (int s = 0; s < SectionCount; ++s) {
            // Filled, and each name picks one entry.
            QStringList names = sections[s].EntryNames();
            QVERIFY2(!names.isEmpty() && names.removeDuplicates() == 0,
                     qPrintable(sections[s].header));
            if (s == ProfileSection)
                continue;
            for (const ConfigEntry &entry : std::as_const(sections[s].entries))
                options += entry.value;
            for (const LaunchProfile &profile : std::as_const(profiles)) {
                const int selection = profile.selections.value(s - 1, -1);
                QVERIFY2(selection >= 0 && selection < sections[s].entries.size(),
                         qPrintable(profile.name));
            }
        }
        // Every option value, joined as the launcher joins them for a launch.
        const EmulatorSettings settings = ParseEmulatorArguments(QProcess::splitCommand(options));
        QCOMPARE(settings.problems.join(u'\n'), QString());
        QCOMPARE(settings.address, QString());
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
