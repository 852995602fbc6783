#include "launchercopy.h"

#include <QDir>
#include <QFile>
#include <QTest>

LauncherCopy::LauncherCopy(bool withDefaultConfig)
{
    valid = appDir.isValid() && dataDir.isValid() &&
            AddCompanion(QStringLiteral("velmora-launcher")) &&
            (!withDefaultConfig || AddCompanion(QStringLiteral("LauncherDefault.ini")));
    // Its file, lock and socket, and the caches of what it starts, stay away from the real
    // home and from any other copy.
    environment = QProcessEnvironment::systemEnvironment();
    dataHome = dataDir.path();
    for (const char *name : {"XDG_DATA_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "HOME"})
        environment.insert(QLatin1String(name), dataHome);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
}

bool LauncherCopy::AddCompanion(const QString &fileName) const
{
    return QFile::copy(QStringLiteral(VELMORA_BIN_DIR "/") + fileName, appDir.filePath(fileName));
}

std::unique_ptr<QProcess> LauncherCopy::Start() const
{
    std::unique_ptr<QProcess> process(new QProcess);
    process->setProcessEnvironment(environment);
    process->start(appDir.filePath(QStringLiteral("velmora-launcher")), QStringList());
    return process;
}

QString LauncherCopy::ConfigPath() const
{
    return dataHome + QStringLiteral("/Velmora/VelmoraMobileEmulator/Launcher.ini");
}

QString LauncherCopy::SocketPath() const
{
    const QDir dir(dataDir.path());
    return dir.filePath(dir.entryList(QDir::System).value(0));
}

QStringList FindWindows(const QString &title, qint64 pid)
{
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--all"),
                          QStringLiteral("--onlyvisible")};
    if (pid > 0)
        arguments << QStringLiteral("--pid") << QString::number(pid);
    arguments << QStringLiteral("--name") << QLatin1Char('^') + title + QLatin1Char('$');
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    xdotool.waitForFinished();
    return QString::fromLatin1(xdotool.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool RunXdotool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished() && xdotool.exitCode() == 0;
}

QString WaitForWindow(const QProcess &process)
{
    QStringList windows;
    // Once the process has ended, its id is 0, which would match the windows of all.
    const bool settled = QTest::qWaitFor(
        [&] {
            if (process.state() == QProcess::NotRunning)
                return true;
            windows = FindWindows(LauncherWindowTitle, process.processId());
            return !windows.isEmpty();
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
