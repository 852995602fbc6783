// The browser's pipe on POSIX: its descriptors 3 and 4, as --remote-debugging-pipe expects.
#include "engine/chromiumprocess.h"

#include "engine/devtoolspipe.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

constexpr int BrowserReadsFd = 3;
constexpr int BrowserWritesFd = 4;

} // namespace

bool ChromiumProcess::RunningAsRoot()
{
    return ::geteuid() == 0;
}

bool ChromiumProcess::Launch(const QString &program, QStringList arguments, QString *problem)
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
