#include "x11session.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString WindowTitle = QStringLiteral("Velmora Mobile Emulator");
const int StartTimeoutMs = 20000;

// The visible windows with exactly this title, of one process or of all.
QStringList FindWindows(const QString &title, qint64 pid = 0)
{
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
    if (pid > 0)
        arguments << QStringLiteral("--pid") << QString::number(pid);
    arguments << QStringLiteral("--name") << QLatin1Char('^') + title + QLatin1Char('$');
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForFinished())
        return {};
    return QString::fromLatin1(xdotool.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool RunXdotool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished() && xdotool.exitCode() == 0;
}

// A copy of the launcher in a directory of its own, which gives it an identity of its own,
// with its own data and temporary directories.
class LauncherCopy
{
public:
    explicit LauncherCopy(bool withDefaultConfig)
    {
        const QString binDir = QStringLiteral(VELMORA_BIN_DIR);
        valid = appDir.isValid() && dataDir.isValid() && tmpDir.isValid() &&
                QFile::copy(binDir + QStringLiteral("/velmora-launcher"), Program());
        if (withDefaultConfig)
            valid = valid && QFile::copy(binDir + QStringLiteral("/LauncherDefault.ini"),
                                         appDir.filePath(QStringLiteral("LauncherDefault.ini")));
    }

    QString Program() const { return appDir.filePath(QStringLiteral("velmora-launcher")); }

    std::unique_ptr<QProcess> Start() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataDir.path());
        env.insert(QStringLiteral("TMPDIR"), tmpDir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmpDir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        std::unique_ptr<QProcess> process(new QProcess);
        process->setProcessEnvironment(env);
        process->start(Program(), QStringList());
        return process;
    }

    QString ConfigPath() const
    {
        return dataDir.filePath(QStringLiteral("Velmora/VelmoraMobileEmulator/Launcher.ini"));
    }

    bool DataDirEmpty() const
    {
        return QDir(dataDir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    bool valid = false;

private:
    QTemporaryDir appDir;
    QTemporaryDir dataDir;
    QTemporaryDir tmpDir;
};

QString WaitForWindow(const QProcess &process)
{
    QStringList windows;
    const bool shown = QTest::qWaitFor(
        [&] {
            windows = FindWindows(WindowTitle, process.processId());
            return !windows.isEmpty() || process.state() == QProcess::NotRunning;
        },
        StartTimeoutMs);
    return shown && !windows.isEmpty() ? windows.constFirst() : QString();
}

bool WaitForExit(QProcess &process, int exitCode)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                           StartTimeoutMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == exitCode;
}

} // namespace

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
    QCOMPARE(FindWindows(WindowTitle), QStringList{window});
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
        StartTimeoutMs);
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
