// The browser's pipe on Windows (Chrome or Edge): two inherited handles, named on the
// command line; a job object ends the browser with this program.
#include "engine/chromiumprocess.h"

#include "engine/devtoolspipe.h"

#include <windows.h>

namespace {

void CloseAll(std::initializer_list<HANDLE> handles)
{
    for (HANDLE handle : handles)
        ::CloseHandle(handle);
}

// Never an orphan: the job's handle is closed by the system when this program ends, and the
// browser with it.
void TieToThisProgram(qint64 pid)
{
    const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    const HANDLE browser = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(pid));
    if (browser) {
        ::AssignProcessToJobObject(job, browser);
        ::CloseHandle(browser);
    }
}

} // namespace

bool ChromiumProcess::RunningAsRoot()
{
    return false;
}

bool ChromiumProcess::Launch(const QString &program, QStringList arguments, QString *problem)
{
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE browserReads = nullptr;
    HANDLE toBrowser = nullptr;
    HANDLE fromBrowser = nullptr;
    HANDLE browserWrites = nullptr;
    if (!::CreatePipe(&browserReads, &toBrowser, &inherited, 0)) {
        *problem = QStringLiteral("cannot make a pipe to the browser");
        return false;
    }
    if (!::CreatePipe(&fromBrowser, &browserWrites, &inherited, 0)) {
        CloseAll({browserReads, toBrowser});
        *problem = QStringLiteral("cannot make a pipe to the browser");
        return false;
    }
    // Only the browser's ends are inherited.
    ::SetHandleInformation(toBrowser, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fromBrowser, HANDLE_FLAG_INHERIT, 0);
    arguments << QStringLiteral("--remote-debugging-io-pipes=%1,%2")
                     .arg(quintptr(browserReads))
                     .arg(quintptr(browserWrites));
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *created) { created->inheritHandles = TRUE; });
    process.start(program, arguments);
    const bool started = process.waitForStarted();
    CloseAll({browserReads, browserWrites});
    if (!started) {
        CloseAll({toBrowser, fromBrowser});
        *problem = QStringLiteral("cannot start %1: %2").arg(program, process.errorString());
        return false;
    }
    TieToThisProgram(process.processId());
    devTools = new DevToolsPipe(qintptr(fromBrowser), qintptr(toBrowser), this);
    return true;
}
