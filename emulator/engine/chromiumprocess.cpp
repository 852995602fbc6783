#include "engine/chromiumprocess.h"

#include "engine/devtoolspipe.h"

#include <QProcessEnvironment>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

// The descriptors the browser reads commands from and writes replies to.
constexpr int BrowserReadsFd = 3;
constexpr int BrowserWritesFd = 4;

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

} // namespace

ChromiumProcess::ChromiumProcess(QObject *parent) : QObject(parent)
{
    connect(&process, &QProcess::finished, this, &ChromiumProcess::OnFinished);
}

ChromiumProcess::~ChromiumProcess()
{
    if (process.state() == QProcess::NotRunning)
        return;
    // Asked to go at once: SIGTERM still lets the browser write its profile.
    disconnect(&process, nullptr, this, nullptr);
    process.terminate();
    if (!process.waitForFinished(CloseGraceMs)) {
        process.kill();
        process.waitForFinished(CloseGraceMs);
    }
}

QStringList ChromiumProcess::Arguments(const QString &userDataDir, const QStringList &extra)
{
    QStringList arguments{
        QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--user-data-dir=") + userDataDir,
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        // No keyring prompt: saved passwords stay in the profile, as its cookies do.
        QStringLiteral("--password-store=basic"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-default-apps"),
        // Permission requests get an answer at once rather than a prompt nobody sees.
        QStringLiteral("--deny-permission-prompts"),
        QStringLiteral("--hide-crash-restore-bubble"),
    };
    if (RunningAsRoot()) {
        // The sandbox refuses root; --test-type hides the warning bar that comes with it.
        arguments << QStringLiteral("--no-sandbox") << QStringLiteral("--test-type");
    }
    return arguments + extra;
}

bool ChromiumProcess::Start(const QString &program, const QStringList &arguments,
                            const QString &temporaryDir, QString *problem)
{
    int toBrowser[2];
    int fromBrowser[2];
    if (::pipe2(toBrowser, O_CLOEXEC) != 0) {
        *problem = QStringLiteral("cannot make a pipe to the browser");
        return false;
    }
    if (::pipe2(fromBrowser, O_CLOEXEC) != 0) {
        ::close(toBrowser[0]);
        ::close(toBrowser[1]);
        *problem = QStringLiteral("cannot make a pipe to the browser");
        return false;
    }
    const int browserReads = toBrowser[0];
    const int browserWrites = fromBrowser[1];
    process.setChildProcessModifier([browserReads, browserWrites] {
        // Between fork and exec: async-signal-safe calls only. Both ends are lifted above 4
        // first so that neither dup2 closes the other; the copies on 3 and 4 survive exec.
        const int reads = ::fcntl(browserReads, F_DUPFD, 10);
        const int writes = ::fcntl(browserWrites, F_DUPFD, 10);
        ::dup2(reads, BrowserReadsFd);
        ::dup2(writes, BrowserWritesFd);
        ::close(reads);
        ::close(writes);
#ifdef Q_OS_LINUX
        // Never an orphan: the browser is told to end when this program dies.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!temporaryDir.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), temporaryDir);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    // Its console chatter is not ours to show; QT-style logs would bury our own messages.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool started = process.waitForStarted();
    ::close(browserReads);
    ::close(browserWrites);
    if (!started) {
        ::close(toBrowser[1]);
        ::close(fromBrowser[0]);
        *problem = QStringLiteral("cannot start %1: %2").arg(program, process.errorString());
        return false;
    }
    devTools = new DevToolsPipe(fromBrowser[0], toBrowser[1], this);
    return true;
}

qint64 ChromiumProcess::processId() const
{
    return process.processId();
}

bool ChromiumProcess::isRunning() const
{
    return process.state() != QProcess::NotRunning;
}

void ChromiumProcess::Close()
{
    if (!isRunning() || closing)
        return;
    closing = true;
    if (devTools)
        devTools->Send(QStringLiteral("Browser.close"));
    QTimer::singleShot(CloseGraceMs, this, [this] {
        if (!isRunning())
            return;
        process.terminate();
        QTimer::singleShot(CloseGraceMs, this, [this] {
            if (isRunning())
                process.kill();
        });
    });
}

void ChromiumProcess::OnFinished(int exitCode, QProcess::ExitStatus status)
{
    if (devTools)
        devTools->Close();
    QString problem;
    if (!closing) {
        problem = status == QProcess::CrashExit
                      ? QStringLiteral("the browser crashed")
                      : QStringLiteral("the browser ended by itself (exit code %1)").arg(exitCode);
    }
    Q_EMIT finished(problem);
}
