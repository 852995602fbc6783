#include "filelocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestFileLocations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void paths();
    void unknownKind_data();
    void unknownKind();

private:
    QTemporaryDir dataHome;
};

void TestFileLocations::initTestCase()
{
    QVERIFY(dataHome.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
}

void TestFileLocations::paths()
{
    const QString config = GetFilePath(ConfigFile);
    const QStringList beside = {GetFilePath(DefaultConfigFile), GetFilePath(HelpFile),
                                GetFilePath(EmulatorExecutable)};

    QCOMPARE(config,
             dataHome.path() + QStringLiteral("/Velmora/VelmoraMobileEmulator/Launcher.ini"));
    const QString appDir = QCoreApplication::applicationDirPath();
#ifdef Q_OS_WIN
    const QString emulator = QStringLiteral("VelmoraMobileEmu.exe");
#else
    const QString emulator = QStringLiteral("VelmoraMobileEmu");
#endif
    QCOMPARE(beside, QStringList({appDir + QStringLiteral("/LauncherDefault.ini"),
                                  appDir + QStringLiteral("/LauncherHelp.html"),
                                  appDir + QLatin1Char('/') + emulator}));

    QSet<QString> distinct{config};
    for (const QString &path : beside) {
        QVERIFY2(QFileInfo(path).isAbsolute(), qPrintable(path));
        distinct.insert(path);
    }
    QCOMPARE(distinct.size(), 4);

    // Asking creates nothing.
    QVERIFY(QDir(dataHome.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestFileLocations::unknownKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("-1") << -1;
    QTest::newRow("4") << 4;
    QTest::newRow("large") << 1000;
}

void TestFileLocations::unknownKind()
{
    QFETCH(int, kind);
    QVERIFY(GetFilePath(static_cast<FileKind>(kind)).isEmpty());
}

QTEST_GUILESS_MAIN(TestFileLocations)
#include "tst_filelocations.moc"
