#include "configreader.h"
#include "configwriter.h"

#ifdef VELMORA_HAVE_EMULATOR_PARSER
#include "emulatoroptions.h"
#endif

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// The device catalogue that ships as LauncherDefault.ini: what a new user starts from.
class TestCatalogue : public QObject
{
    Q_OBJECT

    QByteArray bytes;
    QList<ConfigSection> sections;
    QList<LaunchProfile> profiles;

    // The option values of a profile joined as the launcher joins them for a launch.
    QString LaunchOptions(const LaunchProfile &profile) const
    {
        QString options;
        for (int s = ResolutionSection; s <= UserAgentSection; ++s)
            options += sections[s].entries.value(profile.selections.value(s - 1)).value;
        return options + QStringLiteral(" -profile-name \"") + profile.name +
               QStringLiteral("\" ") + profile.arguments;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile file(QStringLiteral(VELMORA_CATALOGUE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
        const ConfigReadResult result =
            ReadConfig(QStringLiteral(VELMORA_CATALOGUE), false, sections, profiles);
        QCOMPARE(result.status, ConfigReadResult::Loaded);
        QCOMPARE(result.version, CONFIG_VERSION);
        QVERIFY(!result.outdated);
    }

    // Exactly what the launcher would write back: nothing changes on the first save.
    void isWriterFixpoint()
    {
        QList<ConfigSection> copy = sections;
        QCOMPARE(QString::fromUtf8(FormatConfig(copy, profiles)), QString::fromUtf8(bytes));
    }

    void sectionsFilled()
    {
        const QList<QPair<int, int>> sizes{{8, 12}, {15, 25}, {7, 15}, {3, 3}, {6, 12}};
        for (int s = 0; s < SectionCount; ++s) {
            const QList<ConfigEntry> &entries = sections[s].entries;
            QVERIFY2(entries.size() >= sizes[s].first && entries.size() <= sizes[s].second,
                     qPrintable(sections[s].header));
            QSet<QString> names;
            for (const ConfigEntry &entry : entries) {
                const QString where = sections[s].header + u' ' + entry.name;
                QVERIFY2(!entry.name.trimmed().isEmpty(), qPrintable(where));
                // Option values are joined without separators at launch.
                QVERIFY2(s == ProfileSection || entry.value.startsWith(u' '), qPrintable(where));
                QVERIFY2(!names.contains(entry.name), qPrintable(where + " is a duplicate"));
                names.insert(entry.name);
            }
        }
    }

    void profilesSelectInsideSections()
    {
        QCOMPARE(profiles.size(), sections[ProfileSection].entries.size());
        for (const LaunchProfile &profile : profiles) {
            QCOMPARE(profile.selections.size(), 4);
            for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
                const int selection = profile.selections[s - 1];
                QVERIFY2(selection >= 0 && selection < sections[s].entries.size(),
                         qPrintable(profile.name + u' ' + sections[s].header));
            }
        }
    }

    void understoodByEmulator_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("name");
        for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
            for (const ConfigEntry &entry : std::as_const(sections[s].entries)) {
                QTest::addRow("%s %s", qPrintable(sections[s].header), qPrintable(entry.name))
                    << entry.value << s << entry.name;
            }
        }
        for (const LaunchProfile &profile : std::as_const(profiles))
            QTest::addRow("profile %s", qPrintable(profile.name))
                << LaunchOptions(profile) << int(ProfileSection) << profile.name;
    }

    void understoodByEmulator()
    {
#ifdef VELMORA_HAVE_EMULATOR_PARSER
        QFETCH(QString, options);
        QFETCH(int, section);
        QFETCH(QString, name);
        const EmulatorSettings settings = ParseEmulatorArguments(QProcess::splitCommand(options));
        QVERIFY2(settings.problems.isEmpty(), qPrintable(settings.problems.join(u'\n')));
        QVERIFY2(settings.address.isEmpty(), qPrintable(settings.address));

        // A name that quotes a number must agree with the value it stands for.
        static const QRegularExpression size(QStringLiteral("\\b(\\d+)x(\\d+)\\b"));
        static const QRegularExpression density(QStringLiteral("^(\\d+)\\b"));
        if (section == ResolutionSection) {
            const QRegularExpressionMatch match = size.match(name);
            QVERIFY(match.hasMatch());
            QCOMPARE(settings.windowSize,
                     QSize(match.captured(1).toInt(), match.captured(2).toInt()));
        } else if (section == PixelDensitySection) {
            QCOMPARE(settings.ppi, density.match(name).captured(1).toInt());
        } else if (section == UserAgentSection) {
            QVERIFY(settings.userAgent.startsWith(QStringLiteral("Mozilla/5.0 (")));
        } else if (section == ProfileSection) {
            QCOMPARE(settings.profileName, name);
        }
#else
        QSKIP("The emulator is not built");
#endif
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
