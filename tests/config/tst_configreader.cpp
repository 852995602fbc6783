#include "configreader.h"
#include "configtestutil.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

static void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

class TestConfigReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("entries");
        const auto input = [](const char *entry) {
            return QStringList{"[Input]|" + QString(entry)};
        };
        QTest::newRow("line kinds") << "x\r\n\"a\"\n[Input]\r\n\r\n#\"c\"\r\n\"a\"\t\"b\"\r\n"
                                    << 0 << input("a|b");
        QTest::newRow("headers")
            << "[Input]=x y\n[Extra]\n[input]\n[Profile]\n\"p\"\n[Input]\n\"b\"" << 0
            << QStringList{"[Profile]|p|", "[Input]|[Extra]|", "[Input]|[input]|", "[Input]|b|"};
        QTest::newRow("leading blank") << "[Profile]\n [Input]\n"
                                       << 0 << QStringList{"[Profile]| [Input]|"};
        QTest::newRow("name only") << "[Input]\n\"n\"" << 0 << input("n|");
        QTest::newRow("no quote") << "[Input]\nplain, line" << 0 << input("plain, line|");
        QTest::newRow("empty name") << "[Input]\n\"\"\t\"v\"" << 0 << input("\t|");
        QTest::newRow("adjacent fields") << "[Input]\n\"n\"\"v\"" << 0 << input("n|");
        QTest::newRow("leading space") << "[Input]\n \"n\"\t\"v\"" << 0 << input(" |\t");
        QTest::newRow("only quotes") << "[Input]\n\"\"\"\"" << 0 << QStringList{};
        QTest::newRow("backslash t") << "[Input]\n\"a\\tb\"\t\"c\\td\"" << 0 << input("a\tb|c\\td");
        QTest::newRow("quotes in value")
            << "[Input]\n\"n\"\t\"-url \"a b\"\"" << 0 << input("n|-url \"a b\"");
        QTest::newRow("value is a quote") << "[Input]\n\"n\"\t\"\"\"" << 0 << input("n|\"");
        QTest::newRow("text after value") << "[Input]\n\"n\"\t\"v\" x" << 0 << input("n|v");
        QTest::newRow("no TAB: pieces") << "[Input]\n\"n\" \"v\"w\"" << 0 << input("n|v");
        QTest::newRow("unclosed value") << "[Input]\n\"n\"\t\"v" << 0 << input("n|v");
        QTest::newRow("separators") << "$VERSION= ,107\r\n" << 107 << QStringList{};
        QTest::newRow("non-numbers") << "$VERSION abc 2147483648 +106 9" << 106 << QStringList{};
        QTest::newRow("negative") << "$VERSION\t-3" << -3 << QStringList{};
        QTest::newRow("no number") << "$VERSION\t107\n$VERSION\n$VERSION x" << 107 << QStringList{};
        QTest::newRow("later wins")
            << "[Input]\n$VERSION\t106\n\"a\"\n$VERSION\t107" << 107 << input("a|");
        QTest::newRow("not version")
            << "$VERSIONS\t107\n#$VERSION\t107\n $VERSION 107" << 0 << QStringList{};
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(int, version);
        QFETCH(QStringList, entries);
        QList<ConfigSection> sections = CreateSections();
        QCOMPARE(ParseConfigText(text, sections), version);
        QCOMPARE(Dump(sections), entries);
    }

    void workedExample()
    {
        for (const bool rename : {true, false}) {
            QList<ConfigSection> sections;
            QList<LaunchProfile> profiles;
            const QString path = VELMORA_TEST_DATA_DIR "/config/worked-example.ini";
            QCOMPARE(ReadConfig(path, rename, sections, profiles).status, ConfigReadResult::Loaded);
            QCOMPARE(Dump(sections, profiles),
                     QStringList({"[Profile]|Default|[Resolution] 0 [PixelDensity] 0 [Input] 0 "
                                  "[UserAgentString] 0 ",
                                  "[Profile]|Large|[Resolution] 1 [PixelDensity] 0 [Input] 1 "
                                  "[UserAgentString] 0 -foo   bar",
                                  "[Resolution]|480x800| -windowsize 480x800",
                                  "[Resolution]|720x1280| -windowsize 720x1280",
                                  "[PixelDensity]|240| -ppi 240", "[Input]|Keys|",
                                  "[Input]|Touch\tscreen|", "[UserAgentString]|Default|",
                                  "Default|0,0,0,0|", "Large|1,0,1,0| -foo bar"}));
        }
    }

    void outdatedDefaultFile()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath("old.ini"), "$VERSION\t106\n[Input]\n\"a\"\t\"b\"\n");
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles;
        const ConfigReadResult result =
            ReadConfig(dir.filePath("old.ini"), false, sections, profiles);
        QVERIFY(result.status == ConfigReadResult::Loaded && result.outdated);
        QCOMPARE(
            Dump(sections, profiles).join(u' '),
            "[Profile]|Default| [Resolution]|Default| [PixelDensity]|Default| [Input]|Default| "
            "[UserAgentString]|Default| Default|0,0,0,0|");
        QVERIFY(QFile::exists(dir.filePath("old.ini")));
    }

    void renameOutdated_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("renamedTo");
        QTest::newRow("empty file")
            << "Launcher.ini" << QByteArray() << QStringList{} << "Launcher.0.ini";
        QTest::newRow("106") << "Launcher.ini" << QByteArray("$VERSION\t106\n[Input]\n\"a\"\n")
                             << QStringList{} << "Launcher.106.ini";
        QTest::newRow("never overwrites")
            << "Launcher.ini" << QByteArray("$VERSION 5")
            << QStringList{"Launcher.5.ini", "Launcher.5.1.ini"} << "Launcher.5.2.ini";
        // A name of 255 characters is allowed; its ".106.ini" form is too long, even for root.
        QTest::newRow("rename fails")
            << QString(251, u'L') + ".ini" << QByteArray("$VERSION\t106") << QStringList{} << "";
    }
    void renameOutdated()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, existing);
        QFETCH(QString, renamedTo);
        QTemporaryDir dir;
        for (const QString &other : existing)
            WriteFile(dir.filePath(other), other.toUtf8());
        WriteFile(dir.filePath(name), content);
        QList<ConfigSection> sections;
        QList<LaunchProfile> profiles{LaunchProfile()};
        const ConfigReadResult result = ReadConfig(dir.filePath(name), true, sections, profiles);
        QCOMPARE(result.status, ConfigReadResult::Refused);
        QCOMPARE(result.renamedTo, renamedTo.isEmpty() ? QString() : dir.filePath(renamedTo));
        QVERIFY(profiles.isEmpty());
        const QString moved = renamedTo.isEmpty() ? name : renamedTo;
        for (const QString &other : existing + QStringList{moved}) {
            QFile file(dir.filePath(other));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), other == moved ? content : other.toUtf8());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), existing.size() + 1);
    }

    void missingOrUnreadable()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.ini"));
        QList<ConfigSection> sections{ConfigSection{"kept", {}, nullptr}};
        QList<LaunchProfile> profiles{LaunchProfile{"kept", "", {}}};
        QCOMPARE(ReadConfig(dir.filePath("none.ini"), true, sections, profiles).status,
                 ConfigReadResult::Missing);
        QCOMPARE(ReadConfig(dir.filePath("folder.ini"), true, sections, profiles).status,
                 ConfigReadResult::Unreadable);
        QCOMPARE(Dump(sections, profiles), QStringList{"kept||"});
    }

    void encoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        const QString text = QStringLiteral("\"Gr\u00f6\u00dfe \u65e5\u672c\"\n");
        QStringEncoder utf16(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
        QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16 BOM") << QByteArray(utf16.encode(text)) << text;
        QTest::newRow("UTF-8 BOM") << QByteArray(utf8.encode(text)) << text;
        // Found by fuzzing: kept as they were, they were saved as other characters.
        QTest::newRow("unpaired surrogates") << QByteArray::fromHex("feff"
                                                                    "d800"
                                                                    "0061"
                                                                    "dc00"
                                                                    "d83dde00"
                                                                    "d800")
                                             << QStringLiteral("\ufffda\ufffd\U0001f600\ufffd");
        QTest::newRow("UTF-8") << text.toUtf8() << text;
        QTest::newRow("not UTF-8") << QByteArray("Gr\xf6\xdf"
                                                 "e\n")
                                   << QString(QStringDecoder(QStringConverter::System)
                                                  .decode("Gr\xf6\xdf"
                                                          "e\n"));
    }
    void encoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        QCOMPARE(DecodeConfigData(data), text);
    }
};

QTEST_GUILESS_MAIN(TestConfigReader)
#include "tst_configreader.moc"
