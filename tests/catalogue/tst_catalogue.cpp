#include "configreader.h"
#include "configwriter.h"
#include "core/emulatorrequest.h"
#include "core/useragentdetails.h"

#include <QtTest>

// The shipped catalogue (LauncherDefault.ini), read as the launcher reads it and as the
// emulator's parser reads its values; the options themselves are tested with the parser.
class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
            for (const ConfigEntry &entry : std::as_const(sections[s].entries)) {
                options += entry.value;
                // Each user agent is one the emulator recognises.
                const QString userAgent =
                    ParseEmulatorArguments(QProcess::splitCommand(entry.value)).userAgent;
                QVERIFY2(userAgent.isEmpty() ||
                             !DeriveUserAgentDetails(userAgent).platform.isEmpty(),
                         qPrintable(userAgent));
            }
            for (const LaunchProfile &profile : std::as_const(profiles)) {
                const int selection = profile.selections.value(s - 1, -1);
                QVERIFY2(selection >= 0 && selection < sections[s].entries.size(),
                         qPrintable(profile.name));
            }
        }
        // Every option value, joined as the launcher joins them for a launch.
        const EmulatorRequest settings = ParseEmulatorArguments(QProcess::splitCommand(options));
        QCOMPARE(settings.problems.join(u'\n'), QString());
        QCOMPARE(settings.address, QString());
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
