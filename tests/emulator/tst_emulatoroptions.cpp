#include "emulatoroptions.h"
#include "profiledirectory.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// All settings in one line, so that a table row can state them at once.
QString Describe(const EmulatorSettings &s)
{
    return QStringLiteral("%1x%2 %3 %4 ua=%5 name=%6 dump=%7 open=%8")
        .arg(s.windowSize.width())
        .arg(s.windowSize.height())
        .arg(s.ppi)
        .arg(InputMethodName(s.input), s.userAgent, s.profileName, s.dumpMetricsPath, s.address);
}

const QString Defaults = QStringLiteral("480x800 160 mouse ua= name= dump= open=");

} // namespace

class TestEmulatorOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void profileDirectory();
};

void TestEmulatorOptions::parse_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("settings");
    // One piece of each expected message, in order.
    QTest::addColumn<QStringList>("problems");

    const QString android = QStringLiteral("Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 "
                                           "(KHTML, like Gecko) Chrome/131.0.0.0 Mobile "
                                           "Safari/537.36");
    QTest::newRow("nothing") << "" << Defaults << QStringList();
    QTest::newRow("launcher line")
        << " -windowsize 1080x2400 -ppi 420 -input touch -user-agent \"" + android +
               "\" -profile-name \"Phone 1080x2400\" "
        << "1080x2400 420 touch ua=" + android + " name=Phone 1080x2400 dump= open="
        << QStringList();
    QTest::newRow("any order") << "http://a.org/ -profile-name T -input keys -dump-metrics "
                                  "\"/tmp/a b.json\" -ppi 320 -windowsize 1600X2560"
                               << "1600x2560 320 keys ua= name=T dump=/tmp/a b.json "
                                  "open=http://a.org/"
                               << QStringList();
    QTest::newRow("later wins, engine's own arguments")
        << "-ppi 240 -input touch -ppi 320 -input mouse p.html --webEngineArgs --x -ppi 0"
        << "480x800 320 mouse ua= name= dump= open=p.html" << QStringList();

    QTest::newRow("each fault told")
        << "-windowsize abc -windowsize 0x800 -windowsize 9000x800 -ppi 0 -ppi 1.5 -ppi 801 "
           "-input stylus -bogus"
        << Defaults << QStringList{"-windowsize \"abc\" is not valid",
                                   "0x800",
                                   "8192",
                                   "-ppi \"0\"",
                                   "1.5",
                                   "40 to 800",
                                   "stylus",
                                   "unknown option \"-bogus\""};
    QTest::newRow("value missing at end")
        << "-ppi 240 -profile-name"
        << "480x800 240 mouse ua= name= dump= open=" << QStringList{"-profile-name needs a value"};
    QTest::newRow("value missing before option")
        << "-ppi -windowsize 720x1280"
        << "720x1280 160 mouse ua= name= dump= open=" << QStringList{"-ppi needs a value"};
    QTest::newRow("second address")
        << "a.html b.html"
        << "480x800 160 mouse ua= name= dump= open=a.html" << QStringList{"\"b.html\""};
    QTest::newRow("control character")
        << "-user-agent \"line\none\"" << Defaults << QStringList{"line?one"};
    QTest::newRow("blank name") << "-profile-name \"  \"" << Defaults
                                << QStringList{"-profile-name"};
}

void TestEmulatorOptions::parse()
{
    QFETCH(QString, commandLine);
    QFETCH(QStringList, problems);

    const EmulatorSettings settings = ParseEmulatorArguments(QProcess::splitCommand(commandLine));
    QTEST(Describe(settings), "settings");
    QCOMPARE(settings.problems.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i) {
        QVERIFY2(settings.problems.at(i).contains(problems.at(i)),
                 qPrintable(settings.problems.at(i)));
        QVERIFY(!settings.problems.at(i).contains(QLatin1Char('\n')));
    }
}

// Any name stays inside the root, apart from names that differ only in case.
void TestEmulatorOptions::profileDirectory()
{
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    const QString root = dataHome.path() + "/Velmora/VelmoraMobileEmulator/profiles/";
    QVERIFY(ProfileDirectory("../../x").path().startsWith(root));
    QVERIFY(ProfileDirectory("..").path().startsWith(root + "%2E%2E"));
    QVERIFY(ProfileDirectory::EncodedName("Phone").compare(ProfileDirectory::EncodedName("phone"),
                                                           Qt::CaseInsensitive) != 0);
}

QTEST_GUILESS_MAIN(TestEmulatorOptions)
#include "tst_emulatoroptions.moc"
