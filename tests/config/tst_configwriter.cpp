#include "arguments.h"
#include "configreader.h"
#include "configtestutil.h"
#include "configwriter.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Text the file format can carry: no line breaks and, in names, no double quote and no
// backslash before a "t".
QString RandomText(QRandomGenerator &random, bool name)
{
    static const QString alphabet = QStringLiteral(" \t\"\\#[]=,$-tx\u00e9\u65e5\u3000");
    QString text;
    for (int n = random.bounded(name ? 1 : 0, 8); n > 0; --n) {
        const QChar ch = alphabet.at(random.bounded(static_cast<int>(alphabet.size())));
        if (name && (ch == u'"' || (ch == u't' && text.endsWith(u'\\'))))
            continue;
        text += ch;
    }
    return text.isEmpty() && name ? QStringLiteral("n") : text;
}

} // namespace

class TestConfigWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void allDefaults()
    {
        QList<ConfigSection> sections = CreateSections();
        for (ConfigSection &section : sections)
            section.entries = {ConfigEntry{"Default", ""}};
        sections[ProfileSection].entries.append(ConfigEntry{"stale", "x"});
        const QList<LaunchProfile> profiles{LaunchProfile{"Default", "", {0, 0, 0, 0}}};
        const QString path = dir.filePath("sub/dir/Launcher.ini");
        QCOMPARE(WriteConfig(path, sections, profiles), ConfigWriteResult::Written);
        const QByteArray expected = ReadAll(VELMORA_TEST_DATA_DIR "/config/all-default.ini");
        QCOMPARE(ReadAll(path), expected);
        QCOMPARE(sections[ProfileSection].EntryNames(), QStringList{"Default"});
        QCOMPARE(WriteConfig(path, sections, profiles), ConfigWriteResult::Written);
        QCOMPARE(ReadAll(path), expected);
    }

    void randomRoundTrip()
    {
        QRandomGenerator random(20240607);
        for (int round = 0; round < 60; ++round) {
            QList<ConfigSection> sections = CreateSections();
            for (ConfigSection &section : sections) {
                for (int n = random.bounded(1, 3); n > 0; --n)
                    section.entries.append({RandomText(random, true), RandomText(random, false)});
            }
            QList<LaunchProfile> profiles;
            for (int n = random.bounded(1, 4); n > 0; --n) {
                const auto index = [&] { return random.bounded(-2, 3); };
                profiles.append({RandomText(random, true),
                                 RandomText(random, false),
                                 {index(), index(), index(), index()}});
            }
            const QString path = dir.filePath("random.ini");
            QList<ConfigSection> read[3];
            QList<LaunchProfile> readProfiles[3];
            QByteArray written[3];
            for (int pass = 0; pass < 3; ++pass) {
                QList<ConfigSection> &from = pass ? read[pass - 1] : sections;
                const auto &fromProfiles = pass ? readProfiles[pass - 1] : profiles;
                QCOMPARE(WriteConfig(path, from, fromProfiles), ConfigWriteResult::Written);
                written[pass] = ReadAll(path);
                QCOMPARE(ReadConfig(path, false, read[pass], readProfiles[pass]).status,
                         ConfigReadResult::Loaded);
            }
            bool normalised = true;
            for (qsizetype i = 0; i < profiles.size(); ++i) {
                const LaunchProfile &p = profiles[i];
                const LaunchProfile &q = readProfiles[0][i];
                QCOMPARE(q.name, p.name);
                QCOMPARE(q.selections, p.selections);
                QCOMPARE(q.arguments.trimmed(), p.arguments.simplified());
                normalised = normalised && p.arguments.trimmed() == p.arguments.simplified();
            }
            for (int s = ResolutionSection; s < SectionCount; ++s)
                QCOMPARE(Dump({read[0][s]}), Dump({sections[s]}));
            // Inner runs of blanks in free text are reduced once; after that saving is stable.
            if (normalised)
                QCOMPARE(written[1], written[0]);
            QCOMPARE(written[2], written[1]);
        }
    }

    void failures()
    {
        QList<ConfigSection> sections = CreateSections();
        QList<ConfigSection> four = sections.mid(0, 4);
        QCOMPARE(WriteConfig(dir.filePath("new/Launcher.ini"), four, {}),
                 ConfigWriteResult::TooFewSections);
        QVERIFY(!QFile::exists(dir.filePath("new")));

        const QString folder = dir.filePath("folder.ini");
        QVERIFY(QDir().mkpath(folder + "/inside"));
        QCOMPARE(WriteConfig(folder, sections, {}), ConfigWriteResult::Failed);
        QVERIFY(QFileInfo(folder + "/inside").isDir());

        const QString blocker = dir.filePath("blocker");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        file.close();
        QCOMPARE(WriteConfig(blocker + "/Launcher.ini", sections, {}), ConfigWriteResult::Failed);
        QCOMPARE(ReadAll(blocker), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestConfigWriter)
#include "tst_configwriter.moc"
