#include "configreader.h"
#include "configwriter.h"
#include "core/emulatorrequest.h"
#include "core/useragentdetails.h"
#include "eightbitdecoding.h"
#include "testplatform.h"

#include <QtTest>

namespace {

// Every entry as "header|name|value", then every profile as "name|selections|arguments".
QStringList Dump(const QList<ConfigSection> &sections, const QList<LaunchProfile> &profiles = {})
{
    QStringList lines;
    for (const ConfigSection &section : sections) {
        for (const ConfigEntry &entry : section.entries)
            lines.append(section.header + u'|' + entry.name + u'|' + entry.value);
    }
    for (const LaunchProfile &profile : profiles) {
        QStringList numbers;
        for (const int selection : profile.selections)
            numbers << QString::number(selection);
        lines << profile.name + u'|' + numbers.join(u',') + u'|' + profile.arguments;
    }
    return lines;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("data"); // a file's content, decoded as files are
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("model");
        const auto input = [](const char *e) { return QStringList{"[Input]|" + QString(e)}; };
        const auto row = [](const char *name, const QByteArray &data, int version,
                            const QStringList &model) {
            QTest::newRow(name) << data << version << model;
        };
        row("line kinds", "x\r\n\"a\"\n[Input]\r\n\r\n#\"c\"\r\n\"a\"\t\"b\"\r\n", 0, input("a|b"));
        row("headers", "[Input]=x\n[Extra]\n [Input]\n[input]", 0,
            {"[Input]|[Extra]|", "[Input]| [Input]|", "[Input]|[input]|"});
        row("backslash t", "[Input]\n\"a\\tb\"\t\"c\\td\"", 0, input("a\tb|c\\td"));
        // Only the writer's form takes the value up to the last double quote.
        row("other forms", "[Input]\n\"\"\"\"\n\"n\" \"v\"w\"\n\"m\"\t\"v", 0,
            {"[Input]|n|v", "[Input]|m|v"});
        // A number is ASCII digits with an optional sign and nothing around them.
        row("versions",
            "[Input]\n$VERSION\t106\n$VERSION= ,abc 2147483648 +107 9\n$VERSION x\n#$VERSION\t5\n"
            " $VERSION 5\n$VERSION\t108\v",
            107, input(" $VERSION 5|"));
        // A CR LF file converted twice: no header and no version, so it is set aside whole.
        row("CR CR LF", "$VERSION\t107\r\r\n[Input]\r\r\n\"a\"\t\"b\"\r\r\n", 0, {});
        row("profile value",
            QStringLiteral("[Profile]\n\"p\"\t\"[Resolution] 2 [PixelDensity] x\u3000 1\t[input] "
                           "[Input]2 [Input] 2147483648 [Input] -1 -a [UserAgentString] "
                           "[Input] 2\0abc\"")
                .toUtf8(),
            0, {QStringLiteral("p|2,0,-1,0| x 1 [input] [Input]2 2147483648 -a 2\0abc")});
        // Found by fuzzing: kept as they were, unpaired surrogates were saved as other characters.
        row("unpaired surrogates",
            QByteArray::fromHex("feff005b0049006e007000750074005d000a0022d8000061dc00d83dde00d800"
                                "0022"),
            0, input("\ufffda\ufffd\U0001f600\ufffd|"));
        // A file of an older version in an 8-bit locale keeps every character.
        row("8-bit file", "[Input]\n\"Caf\xe9\"", 0, input("Caf\u00e9|"));
    }
    void parse()
    {
        QFETCH(QByteArray, data);
        QList<ConfigSection> sections = CreateSections();
        QTEST(ParseConfigText(DecodeConfigData(data), sections), "version");
        QList<LaunchProfile> profiles;
        for (const ConfigEntry &entry : sections[ProfileSection].entries) {
            profiles.append(LaunchProfile{entry.name, "", {0, 0, 0, 0}});
            ReadProfileArguments(entry.value, sections, profiles.last());
        }
        // The [Profile] entries show as the profiles read from them.
        QTEST(Dump(sections.mid(ResolutionSection), profiles), "model");
    }

    void readConfig_data()
    {
        QTest::addColumn<QString>("name"); // empty: the directory itself, which cannot be read
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<ConfigReadResult::Status>("status");
        QTest::addColumn<QString>("renamedTo");
        QTest::addColumn<QStringList>("model");
        using Result = ConfigReadResult;
        const QStringList kept{"kept|e|v", "kept||"};
        QTest::newRow("missing") << "Launcher.ini" << QByteArray() << Result::Missing << "" << kept;
        QTest::newRow("unreadable") << "" << QByteArray() << Result::Unreadable << "" << kept;
        QTest::newRow("outdated default file")
            << "LauncherDefault.ini" << QByteArray("$VERSION\t106\n[Input]\n\"a\"\t\"b\"\n")
            << Result::Loaded << ""
            << QStringList{"[Profile]|Default|",         "[Resolution]|Default|",
                           "[PixelDensity]|Default|",    "[Input]|Default|",
                           "[UserAgentString]|Default|", "Default|0,0,0,0|"};
        QTest::newRow("never overwrites")
            << "Launcher.ini" << QByteArray("[Input]\n\"a\"") << Result::Refused
            << "Launcher.0.2.ini" << QStringList{"[Input]|a|"};
        // A name of 255 characters is allowed; its ".106.ini" form is too long, even for root.
        QTest::newRow("rename fails") << QString(251, u'L') + ".ini" << QByteArray("$VERSION\t106")
                                      << Result::Refused << "" << QStringList{};
    }
    void readConfig()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, renamedTo);
        QTemporaryDir tmp;
        // Names already taken, which setting aside a file without a version must skip.
        const QStringList taken{"Launcher.0.ini", "Launcher.0.1.ini"};
        for (const QString &other : taken)
            QVERIFY(WriteFile(tmp.filePath(other), other.toUtf8()));
        QVERIFY(content.isNull() || WriteFile(tmp.filePath(name), content));
        // A file that gives no model leaves the one held before untouched.
        QList<ConfigSection> sections{ConfigSection{"kept", {{"e", "v"}}, nullptr}};
        QList<LaunchProfile> profiles{LaunchProfile{"kept", "", {}}};
        // As in the launcher, only the user's file is set aside, never the default one.
        const bool rename = name != "LauncherDefault.ini";
        const ConfigReadResult result = ReadConfig(tmp.filePath(name), rename, sections, profiles);
        QTEST(result.status, "status");
        QCOMPARE(result.renamedTo, renamedTo.isEmpty() ? QString() : tmp.filePath(renamedTo));
        QTEST(Dump(sections, profiles), "model");
        // No file is lost or changed; one set aside keeps its bytes under its new name.
        for (const QString &other : taken)
            QCOMPARE(ReadAll(tmp.filePath(other)), other.toUtf8());
        if (!content.isNull())
            QCOMPARE(ReadAll(tmp.filePath(renamedTo.isEmpty() ? name : renamedTo)), content);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), content.isNull() ? 2 : 3);
    }

    void eightBitLocales()
    {
#ifdef Q_OS_UNIX // elsewhere there is no locale's character set, and Qt may lack this one
        QCOMPARE(DecodeEightBit("\xa4", "ISO-8859-15"), "\u20ac");
#endif
        QCOMPARE(DecodeEightBit("\xe9", "ANSI_X3.4-1968"), "\u00e9");
    }

    void removeOptionEntry_data()
    {
        QTest::addColumn<QList<int>>("selections"); // each profile's resolution
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<int>>("users");
        QTest::addColumn<QStringList>("profiles"); // "resolution|arguments" after removal

        // Users fall back to entry 0 and keep the entry's fragment; later entries move down.
        QTest::newRow("used") << QList<int>{2, 3, 1, 2} << 2 << QList<int>{0, 3}
                              << QStringList{"0| -v2", "2|-x", "1|", "0|-x  -v2"};
        QTest::newRow("unused, beyond the section") << QList<int>{0, 9, -1, 3} << 1 << QList<int>{}
                                                    << QStringList{"0|", "8|-x", "-1|", "2|-x"};
    }
    void removeOptionEntry()
    {
        QFETCH(QList<int>, selections);
        QFETCH(int, entry);
        QList<ConfigSection> sections = CreateSections();
        for (const char *name : {"0", "1", "2", "3"})
            sections[ResolutionSection].entries.append({name, QStringLiteral(" -v") + name});
        QList<LaunchProfile> profiles;
        for (qsizetype i = 0; i < selections.size(); ++i)
            profiles.append({"p", i % 2 ? "-x" : "", {selections.at(i), 0, 0, 0}});
        QTEST(ProfilesUsingEntry(profiles, ResolutionSection, entry), "users");

        QCOMPARE(RemoveOptionEntry(sections, profiles, ResolutionSection, entry),
                 " -v" + QString::number(entry));
        QStringList after;
        for (const LaunchProfile &profile : std::as_const(profiles))
            after << QString::number(profile.selections.at(0)) + u'|' + profile.arguments;
        QTEST(after, "profiles");
        QCOMPARE(sections[ResolutionSection].EntryNames().join(""),
                 QString("0123").remove(QString::number(entry)));
    }

    // Left by a save killed between writing and renaming; a young one may still be in use.
    void staleSaveFiles()
    {
        QTemporaryDir tmp;
        const QStringList names{"Launcher.ini.aBcdEf", "Launcher.ini.aBcdE", "Launcher.ini.aBcdEfg",
                                "Launcher.ini.aBcdE9", "Launcher.ini",       "XLauncher.ini.aBcdEf",
                                "Launcher.ini.youngX"};
        for (const QString &name : names) {
            QFile file(tmp.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QDateTime written = QDateTime::currentDateTime().addSecs(-61);
            QVERIFY(name == names.last() || file.setFileTime(written, QFile::FileModificationTime));
        }
        RemoveStaleSaveFiles(tmp.filePath("Launcher.ini"));
        for (const QString &name : names)
            QVERIFY2(QFile::exists(tmp.filePath(name)) == (name != names.first()),
                     qPrintable(name));
    }

    void write()
    {
        QList<ConfigSection> sections = CreateSections();
        for (ConfigSection &section : sections)
            section.entries = {ConfigEntry{"Default", ""}};
        sections[ProfileSection].entries.append(ConfigEntry{"stale", "x"});
        QList<LaunchProfile> profiles{LaunchProfile{"Default", "", {0, 0, 0, 0}}};
        const QString path = dir.filePath("sub/dir/Launcher.ini");
        QCOMPARE(WriteConfig(path, sections, profiles), ConfigWriteResult::Written);
        QCOMPARE(ReadAll(path),
                 PlatformLineEnds(ReadAll(VELMORA_TEST_DATA_DIR "/config/all-default.ini")));
#ifdef Q_OS_UNIX // Windows reports no permissions for others that could be checked
        // The directories it makes are the user's alone.
        for (const char *made : {"sub", "sub/dir"})
            QCOMPARE(QFileInfo(dir.filePath(made)).permissions() & 0x0077, 0);
#endif

        // Nothing is escaped, yet every name and value the format can carry reads back the same.
        sections[InputSection].entries = {{"a\tb \\", " -x \"q r\""}, {" ", "\""}, {"#", "\\t\""}};
        profiles.append({"p\t\\", QStringLiteral("\u3000-url \"a b\"\n"), {-1, 7, 0, 2}});
        QCOMPARE(WriteConfig(path, sections, profiles), ConfigWriteResult::Written);
        QVERIFY(ReadAll(path).contains(
            PlatformLineEnds("\n\"p\t\\\"\t\"[Resolution] -1 [PixelDensity] 7 [Input] 0 "
                             "[UserAgentString] 2 -url \"a b\"\"\n")));
        QList<ConfigSection> read;
        QList<LaunchProfile> readProfiles;
        QCOMPARE(ReadConfig(path, true, read, readProfiles).status, ConfigReadResult::Loaded);
        QCOMPARE(Dump(read), Dump(sections));
        QCOMPARE(Dump({}, readProfiles).last(), "p\t\\|-1,7,0,2| -url \"a b\"");
    }

    // The shipped catalogue, read as the launcher reads it and as the emulator's parser reads
    // its values; the options themselves are tested with the parser.
    void shippedCatalogue()
    {
        const QByteArray bytes = ReadAll(VELMORA_CATALOGUE);
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

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
