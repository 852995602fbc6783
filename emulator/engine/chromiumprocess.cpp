#include "engine/chromiumprocess.h"

#include "engine/devtoolspipe.h"

#include <QProcessEnvironment>
#include <QTimer>

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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!temporaryDir.isEmpty()) {
        for (const char *name : {"TMPDIR", "TEMP", "TMP"})
            environment.insert(QLatin1String(name), temporaryDir);
    }
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    // Its console chatter is not ours to show: it would bury our own messages.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return Launch(program, arguments, problem);
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
