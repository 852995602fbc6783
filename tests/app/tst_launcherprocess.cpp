#include "launchercopy.h"
#include "x11session.h"

#include <QFile>
#include <QTest>

class TestLauncherProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void secondStartHandsOver();
    void noConfiguration();
    void killedLauncherIsReplaced();
    void closeWritesConfiguration();

private:
    bool CloseNormally(QProcess &process, const QString &window);

    X11Session x11;
};

bool TestLauncherProcess::CloseNormally(QProcess &process, const QString &window)
{
    return x11.SendWindowClose(window.toULong()) && WaitForExit(process, 0);
}

void TestLauncherProcess::initTestCase()
{
    QVERIFY2(x11.IsOpen(), "needs an X server");
    QVERIFY(QFile::exists(QStringLiteral(VELMORA_BIN_DIR "/velmora-launcher")));
    QVERIFY2(RunXdotool({QStringLiteral("version")}), "needs xdotool");
}

void TestLauncherProcess::secondStartHandsOver()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> first = launcher.Start();
    const QString window = WaitForWindow(*first);
    QVERIFY(!window.isEmpty());

    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<QProcess> second = launcher.Start();
        QVERIFY(WaitForExit(*second, 0));
    }
    QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{window});
    QVERIFY(CloseNormally(*first, window));
}

void TestLauncherProcess::noConfiguration()
{
    LauncherCopy launcher(false);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> process = launcher.Start();
    const QString box = WaitForWindow(*process);
    QVERIFY(!box.isEmpty());

    // The box may not take keys at once; answer until the process ends.
    const bool ended = QTest::qWaitFor(
        [&] {
            if (process->state() == QProcess::NotRunning)
                return true;
            RunXdotool({QStringLiteral("windowfocus"), box});
            RunXdotool({QStringLiteral("key"), QStringLiteral("Return")});
            return QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, 500);
        },
        LauncherStartTimeoutMs);
    QVERIFY(ended);
    QVERIFY(WaitForExit(*process, 1));
    QVERIFY(launcher.DataDirEmpty());
}

void TestLauncherProcess::killedLauncherIsReplaced()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> first = launcher.Start();
    QVERIFY(!WaitForWindow(*first).isEmpty());
    first->kill();
    QVERIFY(first->waitForFinished());

    std::unique_ptr<QProcess> second = launcher.Start();
    const QString window = WaitForWindow(*second);
    QVERIFY(!window.isEmpty());
    QVERIFY(CloseNormally(*second, window));
}

void TestLauncherProcess::closeWritesConfiguration()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> process = launcher.Start();
    const QString window = WaitForWindow(*process);
    QVERIFY(!window.isEmpty());
    QVERIFY(!QFile::exists(launcher.ConfigPath()));

    QVERIFY(CloseNormally(*process, window));
    QFile config(launcher.ConfigPath());
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray content = config.readAll();
    QVERIFY(content.startsWith("# A configuration out for the Velmora Mobile Launcher."));
    QVERIFY(content.contains("\n$VERSION\t107"));
}

QTEST_GUILESS_MAIN(TestLauncherProcess)
#include "tst_launcherprocess.moc"
