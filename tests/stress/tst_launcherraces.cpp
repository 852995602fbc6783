#include "launchercopy.h"
#include "x11session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <vector>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Starts = 16;
// What a secondary launcher waits for the primary's answer.
constexpr int HandOverTimeoutMs = 5000;

QByteArray Frame(const QByteArray &payload)
{
    QByteArray frame(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

QByteArray Garbage(int size)
{
    QRandomGenerator random(size);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

// The primary's socket: the only one in the copy's runtime directory, beside its lock.
QString FindSocket(const LauncherCopy &launcher)
{
    const QDir dir(launcher.RuntimeDir());
    for (const QString &name :
         dir.entryList({QStringLiteral("VelmoraSingleInstance-*")}, QDir::System | QDir::Hidden)) {
        struct stat info = {};
        const QString path = dir.filePath(name);
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            dir.exists(name + QStringLiteral(".lock")))
            return path;
    }
    return QString();
}

bool IsOwnerOnly(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Exit code of the helper's connection attempt, run as the given user if any.
int ConnectAs(const passwd *user, const QString &socket)
{
    QString program = QStringLiteral(SINGLEINSTANCE_HELPER);
    QStringList arguments{QStringLiteral("--connect"), socket};
    if (user) {
        arguments = QStringList{QStringLiteral("--reuid=") + QString::number(user->pw_uid),
                                QStringLiteral("--regid=") + QString::number(user->pw_gid),
                                QStringLiteral("--clear-groups"), program} +
                    arguments;
        program = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(LauncherStartTimeoutMs) ||
        process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

} // namespace

class TestLauncherRaces : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void simultaneousStarts();
    void stoppedPrimary();
    void hostilePeers_data();
    void hostilePeers();
    void otherUsersCannotConnect();

private:
    // Starts the primary of a launcher copy and returns its window, or empty.
    QString StartPrimary(const LauncherCopy &launcher, std::unique_ptr<QProcess> &primary);
    bool CloseNormally(QProcess &process, const QString &window);

    X11Session x11;
};

void TestLauncherRaces::initTestCase()
{
    QVERIFY2(x11.IsOpen(), "needs an X server");
    QVERIFY2(RunXdotool({QStringLiteral("version")}), "needs xdotool");
}

QString TestLauncherRaces::StartPrimary(const LauncherCopy &launcher,
                                        std::unique_ptr<QProcess> &primary)
{
    primary = launcher.Start();
    return WaitForWindow(*primary);
}

bool TestLauncherRaces::CloseNormally(QProcess &process, const QString &window)
{
    return x11.SendWindowClose(window.toULong()) && WaitForExit(process, 0);
}

void TestLauncherRaces::simultaneousStarts()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    // Starting a process takes a millisecond or two, setting up its application far longer,
    // so all of them reach the lock together.
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < Starts; ++i)
        processes.push_back(launcher.Start());

    const auto stillRunning = [&] {
        std::vector<QProcess *> running;
        for (const auto &process : processes) {
            if (process->state() != QProcess::NotRunning)
                running.push_back(process.get());
        }
        return running;
    };
    const bool settled =
        QTest::qWaitFor([&] { return stillRunning().size() <= 1; }, 3 * LauncherStartTimeoutMs);
    const std::vector<QProcess *> primaries = stillRunning();
    QCOMPARE(primaries.size(), size_t(1));
    QVERIFY(settled);
    QList<int> exitCodes;
    for (const auto &process : processes) {
        if (process.get() != primaries.front())
            exitCodes << (process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1);
    }
    QCOMPARE(exitCodes, QList<int>(Starts - 1, 0));

    const QString window = WaitForWindow(*primaries.front());
    QVERIFY(!window.isEmpty());
    QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{window});
    QVERIFY(CloseNormally(*primaries.front(), window));
}

void TestLauncherRaces::stoppedPrimary()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> primary;
    const QString window = StartPrimary(launcher, primary);
    QVERIFY(!window.isEmpty());

    const auto pid = static_cast<pid_t>(primary->processId());
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<QProcess> unanswered = launcher.Start();
    const bool gaveUp = WaitForExit(*unanswered, 1);
    const qint64 elapsed = waited.elapsed();
    ::kill(pid, SIGCONT);
    QVERIFY(gaveUp);
    // A refused connection must not count as "no answer": the whole timeout is waited.
    QVERIFY2(elapsed >= HandOverTimeoutMs, qPrintable(QString::number(elapsed)));
    qInfo("the start gave up after %lld ms", elapsed);

    std::unique_ptr<QProcess> answered = launcher.Start();
    QVERIFY(WaitForExit(*answered, 0));
    QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{window});
    QVERIFY(CloseNormally(*primary, window));
}

void TestLauncherRaces::hostilePeers_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("connects and sends nothing") << QByteArray();
    QTest::newRow("more than the limit") << Frame(QByteArray(64 * 1024 + 1, 'x'));
    QTest::newRow("garbage") << Garbage(100 * 1024);
    QTest::newRow("garbage in a frame") << Frame(Garbage(1000));
}

void TestLauncherRaces::hostilePeers()
{
    QFETCH(QByteArray, bytes);

    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> primary;
    const QString window = StartPrimary(launcher, primary);
    QVERIFY(!window.isEmpty());
    const QString socket = FindSocket(launcher);
    QVERIFY(!socket.isEmpty());

    QLocalSocket hostile;
    hostile.connectToServer(socket);
    QVERIFY(hostile.waitForConnected(LauncherStartTimeoutMs));
    hostile.write(bytes);
    // The primary may drop the peer before it has taken everything.
    hostile.waitForBytesWritten(LauncherStartTimeoutMs);

    // While the hostile peer is still connected, a proper start is answered.
    QElapsedTimer answered;
    answered.start();
    std::unique_ptr<QProcess> proper = launcher.Start();
    QVERIFY(WaitForExit(*proper, 0));
    qInfo("a proper start was answered after %lld ms", answered.elapsed());
    QCOMPARE(primary->state(), QProcess::Running);
    QCOMPARE(FindWindows(LauncherWindowTitle), QStringList{window});
    QVERIFY(CloseNormally(*primary, window));
}

void TestLauncherRaces::otherUsersCannotConnect()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    std::unique_ptr<QProcess> primary;
    const QString window = StartPrimary(launcher, primary);
    QVERIFY(!window.isEmpty());
    const QString socket = FindSocket(launcher);
    QVERIFY(!socket.isEmpty());

    QVERIFY2(IsOwnerOnly(socket), "the socket is open to others");
    QVERIFY2(IsOwnerOnly(launcher.RuntimeDir()), "the socket's directory is open to others");
    QCOMPARE(ConnectAs(nullptr, socket), 0);

    // As root, see it refused for real; the checks above hold for any user.
    const passwd *nobody = ::getpwnam("nobody");
    if (::getuid() == 0 && nobody && nobody->pw_uid != 0 &&
        !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QCOMPARE(ConnectAs(nobody, socket), 3);
    else
        qInfo("not run as root with setpriv: only the permissions were checked");

    QVERIFY(CloseNormally(*primary, window));
}

QTEST_GUILESS_MAIN(TestLauncherRaces)
#include "tst_launcherraces.moc"
