#include "qtsingleapplication.h"
#include "testplatform.h"

#include <QtNetwork>
#include <QtTest>

#include <memory>
#include <vector>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>

// Asks a window to close the way a window manager does (WM_DELETE_WINDOW), so that its
// program ends through its normal close path. In x11close.cpp, which needs Xlib.
bool CloseWindow(const QString &window);

namespace {

const QString LauncherWindowTitle = QStringLiteral("Velmora Mobile Emulator");
constexpr int LauncherStartTimeoutMs = 20000;

// A copy of the real launcher, started under a virtual X server: a directory of its own gives
// it an identity and data of its own.
struct LauncherCopy
{
    explicit LauncherCopy(bool withDefaultConfig)
    {
        valid = appDir.isValid() && dataDir.isValid() && AddCompanion("velmora-launcher") &&
                (!withDefaultConfig || AddCompanion("LauncherDefault.ini"));
        // Its file, lock and socket, and the caches of what it starts, stay away from the real
        // home and from any other copy.
        for (const char *name : {"XDG_DATA_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "HOME"})
            environment.insert(QLatin1String(name), dataHome);
        environment.insert("QT_QPA_PLATFORM", "xcb");
    }

    // Copies a file from beside the built launcher, such as the emulator, beside the copy.
    bool AddCompanion(const QString &fileName) const
    {
        return QFile::copy(VELMORA_BIN_DIR "/" + fileName, appDir.filePath(fileName));
    }
    std::unique_ptr<QProcess> Start() const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(appDir.filePath("velmora-launcher"), {});
        return process;
    }
    QString ConfigPath() const { return dataHome + "/Velmora/VelmoraMobileEmulator/Launcher.ini"; }
    // The primary's socket, the only one in the copy's runtime directory.
    QString SocketPath() const
    {
        const QDir dir(dataDir.path());
        return dir.filePath(dir.entryList(QDir::System).value(0));
    }

    QTemporaryDir appDir;
    QTemporaryDir dataDir; // its data, runtime and temporary directories
    QString dataHome = dataDir.path();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    bool valid = false;
};

QString Xdotool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start("xdotool", arguments);
    xdotool.waitForFinished();
    return QString::fromLatin1(xdotool.readAllStandardOutput());
}

// The visible windows with exactly this title, of one process or of all.
QStringList FindWindows(const QString &title, qint64 pid = 0)
{
    QStringList arguments{"search", "--all", "--onlyvisible"};
    if (pid > 0)
        arguments << "--pid" << QString::number(pid);
    arguments << "--name" << '^' + title + '$';
    return Xdotool(arguments).split('\n', Qt::SkipEmptyParts);
}

// The first launcher window of the process, or empty when the process ended without one.
QString WaitForWindow(const QProcess &process)
{
    QStringList windows;
    // Once the process has ended, its id is 0, which would match the windows of all.
    const bool settled = QTest::qWaitFor(
        [&] {
            return process.state() == QProcess::NotRunning ||
                   !(windows = FindWindows(LauncherWindowTitle, process.processId())).isEmpty();
        },
        LauncherStartTimeoutMs);
    return settled ? windows.value(0) : QString();
}

bool WaitForExit(QProcess &process, int exitCode)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                           LauncherStartTimeoutMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == exitCode;
}

struct RaiseCounter : QObject
{
    bool eventFilter(QObject *, QEvent *event) override
    {
        raises += event->type() == QEvent::ZOrderChange;
        return false;
    }
    int raises = 0;
};

} // namespace

// The start-up of the launcher: in-process, as a primary that local peers talk to; then the
// real launcher, copied for each case, with the hand-over, the start-up error and the saves.
class TestLauncherProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void activation()
    {
        // Another user's process must not be able to reach the primary, let alone send to it.
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(app->serverName()).constData(), &info), 0);
        QCOMPARE(info.st_mode & (S_IRWXG | S_IRWXO), 0u);

        QWidget window;
        window.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
        app->setActivationWindow(&window);
        RaiseCounter counter;
        window.installEventFilter(&counter);
        QSignalSpy messages(app, &QtSingleApplication::messageReceived);
        // The empty message of a second start brings the window back as it was before minimised.
        // A flood of them arrives whole but raises the window once per batch, not per message.
        constexpr int count = 1000;
        QLocalSocket start;
        start.connectToServer(app->serverName());
        QVERIFY(start.waitForConnected(5000));
        start.write(QByteArray(4 * count, '\0'));
        QTRY_COMPARE(messages.size(), count);
        QTRY_COMPARE(window.windowState(), Qt::WindowStates(Qt::WindowMaximized));
        QVERIFY2(counter.raises > 0 && counter.raises < count / 10,
                 qPrintable(QString::number(counter.raises)));
    }

    void singleInstance_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("signalNumber"); // how the primary is asked to end; 0: closed
        for (const char *scenario : {"sixteen at once", "primary killed", "primary stopped",
                                     "hostile peers", "long data path, no runtime directory"})
            QTest::newRow(scenario) << QString(scenario) << 0;
        // Logout or shutdown, the terminal closed, Ctrl+C: the file is written as on a close.
        QTest::newRow("SIGTERM") << "" << int(SIGTERM);
        QTest::newRow("SIGHUP") << "" << int(SIGHUP);
        QTest::newRow("SIGINT") << "" << int(SIGINT);
        // Nobody is there to answer a box: stderr says so, and it ends.
        QTest::newRow("SIGTERM, file cannot be written") << "unwritable" << int(SIGTERM);
    }

    // Whatever came before, one primary shows the window, the next start hands over to it
    // and ends, and the first normal close, or a signal to stop, writes the file.
    void singleInstance()
    {
        QFETCH(QString, scenario);
        QFETCH(int, signalNumber);
        LauncherCopy launcher(true);
        QVERIFY(launcher.valid);
        const QString folder = QFileInfo(launcher.ConfigPath()).path();
        QTemporaryDir shortTemp;
        if (scenario == "long data path, no runtime directory") {
            // Qt's own runtime directory and our usual private one are taken by another user.
            launcher.environment.remove("XDG_RUNTIME_DIR");
            launcher.environment.insert("TMPDIR", shortTemp.path());
            for (const QString &taken :
                 QStringList{"runtime-" + QString(::getpwuid(::getuid())->pw_name),
                             "localchannel-" + QString::number(::getuid())})
                QVERIFY(QFile(shortTemp.filePath(taken)).open(QIODevice::WriteOnly));
            launcher.dataHome = launcher.dataDir.path() + '/';
            launcher.dataHome += QString(100 - launcher.dataHome.size(), 'd');
            launcher.environment.insert("XDG_DATA_HOME", launcher.dataHome);
        } else if (scenario == "unwritable") {
            // The folder's parent is a file.
            QVERIFY(QFile(QFileInfo(folder).path()).open(QIODevice::WriteOnly));
        } else if (signalNumber) {
            // In a form the launcher reads but never writes (CR LF line ends).
            QVERIFY(QDir().mkpath(folder) &&
                    WriteFile(launcher.ConfigPath(),
                              "$VERSION=107\r\n[Profile]\r\n\"Kept\"\t\" -p\"\r\n"));
        }
        const bool sixteen = scenario == "sixteen at once";
        std::unique_ptr<QProcess> primary = sixteen ? nullptr : launcher.Start();
        if (sixteen) {
            // Starting takes a millisecond or two, setting up far longer: all reach the lock
            // together. All but one hand over and end; the one with a window is the primary.
            std::vector<std::unique_ptr<QProcess>> processes;
            for (int i = 0; i < 16; ++i)
                processes.push_back(launcher.Start());
            for (auto &process : processes) {
                if (WaitForWindow(*process).isEmpty())
                    QVERIFY(WaitForExit(*process, 0));
                else if (!primary)
                    primary = std::move(process);
            }
            QVERIFY(primary);
        }
        QString window = WaitForWindow(*primary);
        QVERIFY(!window.isEmpty());
        const auto pid = static_cast<pid_t>(primary->processId());

        if (scenario == "primary killed") {
            // Its lock and socket are left behind; the next start takes over.
            primary->kill();
            QVERIFY(primary->waitForFinished());
            primary = launcher.Start();
            window = WaitForWindow(*primary);
            QVERIFY(!window.isEmpty());
        } else if (scenario == "primary stopped") {
            // It cannot answer: the next start gives up and fails.
            QCOMPARE(::kill(pid, SIGSTOP), 0);
            QVERIFY(WaitForExit(*launcher.Start(), 1));
            QCOMPARE(::kill(pid, SIGCONT), 0);
        }
        // One silent, one announcing 64 KiB + 1, one speaking another protocol: the next
        // start is served in time, and none of them gets an answer.
        QLocalSocket peers[3];
        const QByteArray hostile[] = {QByteArray(),
                                      QByteArray::fromHex("00010001") + QByteArray(65537, 'x'),
                                      "GET / HTTP/1.1\r\n\r\n"};
        const int hostileCount = scenario == "hostile peers" ? 3 : 0;
        for (int i = 0; i < hostileCount; ++i) {
            peers[i].connectToServer(launcher.SocketPath());
            QVERIFY(peers[i].waitForConnected(5000));
            peers[i].write(hostile[i]);
        }
        QVERIFY(WaitForExit(*launcher.Start(), 0));
        for (int i = 0; i < hostileCount; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(peers[i].state(), QLocalSocket::UnconnectedState, 15000);
            QCOMPARE(peers[i].readAll(), QByteArray());
        }
        QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{window});

        if (signalNumber)
            QCOMPARE(::kill(pid, signalNumber), 0);
        else
            QVERIFY(CloseWindow(window));
        QVERIFY(WaitForExit(*primary, 0));
        if (scenario == "unwritable") {
            QVERIFY(
                QString::fromUtf8(primary->readAllStandardError())
                    .contains("Unable to save the configuration file " + launcher.ConfigPath()));
            return;
        }
        const QByteArray content = ReadAll(launcher.ConfigPath());
        QVERIFY(content.contains("\n[Profile]\n") && !content.contains('\r'));
        QVERIFY(!signalNumber || content.contains("\n\"Kept\"\t\""));
    }

    void noConfiguration()
    {
        LauncherCopy launcher(false);
        QVERIFY(launcher.valid);
        std::unique_ptr<QProcess> process = launcher.Start();
        const QString box = WaitForWindow(*process);
        QVERIFY(!box.isEmpty());

        // The box may not take keys at once; answer until the process ends.
        for (int tries = 0; tries < 40 && !process->waitForFinished(500); ++tries)
            Xdotool({"windowfocus", box, "key", "Return"});
        QVERIFY(WaitForExit(*process, 1));
        QVERIFY(!QFile::exists(QFileInfo(launcher.ConfigPath()).path()));
    }

    // A stress test: killed at random moments of its save, the launcher leaves the old file
    // or the new one, never a mix. Runs for a bounded time rather than a number of kills.
    void stress_killWhileSaving()
    {
        LauncherCopy launcher(true);
        QVERIFY(launcher.valid);
        QVERIFY(QDir().mkpath(QFileInfo(launcher.ConfigPath()).path()));
        // Many profiles in a form the launcher reads but never writes (CR LF line ends), so the
        // file it writes back differs from this one on every line.
        QByteArray oldContent = "$VERSION=107\r\n[Profile]\r\n";
        for (int i = 0; i < 5000; ++i)
            oldContent += "\"Profile " + QByteArray::number(i) + "\"\t\" -p\"\r\n";
        QByteArray newContent;
        qint64 closeMicroseconds = 0;
        int kills = 0;
        const QDeadlineTimer budget(30000);
        for (int round = 0; kills < 50 && !budget.hasExpired(); ++round) {
            QVERIFY(WriteFile(launcher.ConfigPath(), oldContent));
            std::unique_ptr<QProcess> process = launcher.Start();
            const QString window = WaitForWindow(*process);
            QVERIFY(!window.isEmpty() && CloseWindow(window));
            QElapsedTimer closing;
            closing.start();
            // The first close runs whole, giving the new content and how long a close takes;
            // later ones are killed at a random moment of about that span.
            if (round > 0) {
                QThread::usleep(static_cast<unsigned long>(
                    QRandomGenerator::global()->bounded(closeMicroseconds * 3 / 2 + 1)));
                process->kill();
            }
            QVERIFY(process->waitForFinished(LauncherStartTimeoutMs));
            const QByteArray content = ReadAll(launcher.ConfigPath());
            if (round == 0) {
                QVERIFY(WaitForExit(*process, 0));
                QVERIFY(content.contains("\n\"Profile 4999\"\t\"[Resolution] "));
                closeMicroseconds = closing.nsecsElapsed() / 1000;
                newContent = content;
            }
            QVERIFY(content == oldContent || content == newContent);
            if (process->exitStatus() == QProcess::CrashExit)
                ++kills;
        }
        QVERIFY(kills > 0);
    }

    void launchOpensEmulator()
    {
#ifdef VELMORA_WITH_EMULATOR
        LauncherCopy launcher(true);
        QVERIFY(launcher.valid && launcher.AddCompanion("VelmoraMobileEmu"));
        std::unique_ptr<QProcess> process = launcher.Start();
        const QString window = WaitForWindow(*process);
        Xdotool({"windowfocus", "--sync", window, "key", "alt+l"});
        // An emulator window for the first profile of the shipped catalogue.
        const QString title = "Phone - " + LauncherWindowTitle;
        const bool opened = QTest::qWaitFor([&] { return !FindWindows(title).isEmpty(); }, 60000);
        // Say what did open, should the emulator's window not be among it.
        QVERIFY2(opened, qPrintable(QString("launcher %1, windows: %2")
                                        .arg(process->state())
                                        .arg(FindWindows(".*").join(u' '))));
        for (const QString &id : FindWindows(title))
            Xdotool({"windowkill", id});
        process->kill();
        process->waitForFinished();
#else
        QSKIP("built without the emulator");
#endif
    }

private:
    QtSingleApplication *app = qobject_cast<QtSingleApplication *>(qApp);
};

int main(int argc, char *argv[])
{
    // The lock and socket of this process stay in a directory of its own.
    QTemporaryDir tempDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tempDir.path()));
    QtSingleApplication app(argc, argv);
    if (!tempDir.isValid() || app.isRunning())
        return 1;
    TestLauncherProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_launcherprocess.moc"
