#include "filelocations.h"
#include "launchercopy.h"
#include "qtsingleapplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <vector>

#include <signal.h>
#include <sys/stat.h>

namespace {

class EventCounter : public QObject
{
public:
    EventCounter(QEvent::Type counted, int *counter) : type(counted), count(counter) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        *count += event->type() == type;
        return false;
    }

private:
    QEvent::Type type;
    int *count;
};

} // namespace

// The start-up of the launcher: in-process, as a primary that local peers talk to; then the
// real launcher, copied for each case, with the hand-over, the start-up error and the saves.
class TestLauncherProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void locations();
    void activation();
    void singleInstance();
    void noConfiguration();
    void killWhileSaving();
    void sessionEndSaves_data();
    void sessionEndSaves();
    void launchOpensEmulator();

private:
    QtSingleApplication *app = qobject_cast<QtSingleApplication *>(qApp);
};

void TestLauncherProcess::locations()
{
    // Files by their fixed numbers; the launcher's starts below find the other two kinds.
    const QString appDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QCOMPARE(GetFilePath(static_cast<FileKind>(2)), appDir + QStringLiteral("LauncherHelp.html"));
    QCOMPARE(GetFilePath(static_cast<FileKind>(3)), appDir + QStringLiteral("VelmoraMobileEmu"));
    QVERIFY(GetFilePath(static_cast<FileKind>(4)).isEmpty());

    // Another user's process must not be able to reach the primary, let alone send to it.
    struct stat info = {};
    QCOMPARE(::lstat(QFile::encodeName(app->serverName()).constData(), &info), 0);
    QCOMPARE(info.st_mode & (S_IRWXG | S_IRWXO), 0u);
}

void TestLauncherProcess::activation()
{
    QWidget window;
    window.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    app->setActivationWindow(&window);
    int raises = 0;
    EventCounter counter(QEvent::ZOrderChange, &raises);
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
    QVERIFY2(raises > 0 && raises < count / 10, qPrintable(QString::number(raises)));
}

void TestLauncherProcess::singleInstance()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    // Starting takes a millisecond or two, setting up far longer: all reach the lock together.
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < 16; ++i)
        processes.push_back(launcher.Start());
    // All but one hand over and end; the one that shows a window is the primary.
    std::unique_ptr<QProcess> primary;
    for (auto &process : processes) {
        if (WaitForWindow(*process).isEmpty())
            QVERIFY(WaitForExit(*process, 0));
        else if (!primary)
            primary = std::move(process);
    }
    QVERIFY(primary);
    QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{WaitForWindow(*primary)});

    // A primary killed outright leaves its lock and socket behind; the next start takes over.
    primary->kill();
    QVERIFY(primary->waitForFinished());
    primary = launcher.Start();
    const QString window = WaitForWindow(*primary);
    QVERIFY(!window.isEmpty());

    // A stopped primary cannot answer: the next start gives up and fails.
    QCOMPARE(::kill(static_cast<pid_t>(primary->processId()), SIGSTOP), 0);
    std::unique_ptr<QProcess> unanswered = launcher.Start();
    QVERIFY(WaitForExit(*unanswered, 1));
    QCOMPARE(::kill(static_cast<pid_t>(primary->processId()), SIGCONT), 0);

    // Resumed, it serves the next start in time, even with hostile local peers around: one
    // silent, one announcing 64 KiB + 1, one speaking another protocol. None gets an answer.
    const QByteArray hostile[] = {QByteArray(),
                                  QByteArray::fromHex("00010001") + QByteArray(65537, 'x'),
                                  "GET / HTTP/1.1\r\n\r\n"};
    QLocalSocket peers[3];
    for (int i = 0; i < 3; ++i) {
        peers[i].connectToServer(launcher.SocketPath());
        QVERIFY(peers[i].waitForConnected(5000));
        peers[i].write(hostile[i]);
    }
    std::unique_ptr<QProcess> answered = launcher.Start();
    QVERIFY(WaitForExit(*answered, 0));
    for (QLocalSocket &peer : peers) {
        QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QLocalSocket::UnconnectedState, 15000);
        QCOMPARE(peer.readAll(), QByteArray());
    }

    // The first normal close creates the file.
    QVERIFY(CloseWindow(window));
    QVERIFY(WaitForExit(*primary, 0));
    QVERIFY(QFile::exists(launcher.ConfigPath()));
}

void TestLauncherProcess::noConfiguration()
{
    LauncherCopy launcher(false);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> process = launcher.Start();
    const QString box = WaitForWindow(*process);
    QVERIFY(!box.isEmpty());

    // The box may not take keys at once; answer until the process ends.
    QVERIFY(QTest::qWaitFor(
        [&] {
            RunXdotool({QStringLiteral("windowfocus"), box, QStringLiteral("key"),
                        QStringLiteral("Return")});
            return QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, 500);
        },
        LauncherStartTimeoutMs));
    QVERIFY(WaitForExit(*process, 1));
    QVERIFY(!QFile::exists(QFileInfo(launcher.ConfigPath()).path()));
}

void TestLauncherProcess::killWhileSaving()
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
    for (int round = 0; kills < 50; ++round) {
        QFile config(launcher.ConfigPath());
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write(oldContent) > 0);
        config.close();
        std::unique_ptr<QProcess> process = launcher.Start();
        const QString window = WaitForWindow(*process);
        QVERIFY(!window.isEmpty() && CloseWindow(window));
        QElapsedTimer closing;
        closing.start();
        // The first close runs whole, for the new content and how long a close takes. Later
        // ones are killed at a random moment of about that span: no wait, the thing that varies.
        if (round > 0) {
            QThread::usleep(static_cast<unsigned long>(
                QRandomGenerator::global()->bounded(closeMicroseconds * 3 / 2 + 1)));
            process->kill();
        }
        QVERIFY(process->waitForFinished(LauncherStartTimeoutMs));
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QByteArray content = config.readAll();
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
}

void TestLauncherProcess::sessionEndSaves_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM, logout or shutdown") << SIGTERM;
    QTest::newRow("SIGHUP, terminal closed") << SIGHUP;
    QTest::newRow("SIGINT, Ctrl+C") << SIGINT;
}

// Asked to stop, the launcher closes its window as a normal close does, so the file is
// written: it comes back in the writer's form (LF line ends) rather than as it was.
void TestLauncherProcess::sessionEndSaves()
{
    QFETCH(int, signalNumber);
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    QVERIFY(QDir().mkpath(QFileInfo(launcher.ConfigPath()).path()));
    QFile config(launcher.ConfigPath());
    QVERIFY(config.open(QIODevice::WriteOnly) &&
            config.write("$VERSION=107\r\n[Profile]\r\n\"Kept\"\t\" -p\"\r\n") > 0);
    config.close();
    std::unique_ptr<QProcess> process = launcher.Start();
    QVERIFY(!WaitForWindow(*process).isEmpty());
    QCOMPARE(::kill(static_cast<pid_t>(process->processId()), signalNumber), 0);
    QVERIFY(WaitForExit(*process, 0));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray content = config.readAll();
    QVERIFY(content.contains("\n\"Kept\"\t\"") && !content.contains('\r'));
}

void TestLauncherProcess::launchOpensEmulator()
{
#ifdef VELMORA_WITH_EMULATOR
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid && launcher.AddCompanion(QStringLiteral("VelmoraMobileEmu")));
    std::unique_ptr<QProcess> process = launcher.Start();
    const QString window = WaitForWindow(*process);
    QVERIFY(RunXdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                        QStringLiteral("key"), QStringLiteral("alt+l")}));
    // An emulator window for the first profile of the shipped catalogue.
    const QString title = QStringLiteral("Phone - Velmora Mobile Emulator");
    const bool opened = QTest::qWaitFor([&] { return !FindWindows(title).isEmpty(); }, 60000);
    // Say what did open, should the emulator's window not be among it.
    QVERIFY2(opened, qPrintable(QStringLiteral("launcher %1, windows: %2")
                                    .arg(process->state())
                                    .arg(FindWindows(QStringLiteral(".*")).join(u' '))));
    const QStringList emulators = FindWindows(title);
    for (const QString &id : emulators)
        RunXdotool({QStringLiteral("windowkill"), id});
    process->kill();
    process->waitForFinished();
#else
    QSKIP("built without the emulator");
#endif
}

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
