#include "launchercopy.h"

#include <QDir>
#include <QFile>
#include <QTest>

LauncherCopy::LauncherCopy(bool withDefaultConfig)
{
    const QString binDir = QStringLiteral(VELMORA_BIN_DIR);
    valid = appDir.isValid() && dataDir.isValid() && tmpDir.isValid() &&
            QFile::copy(binDir + QStringLiteral("/velmora-launcher"), Program());
    if (withDefaultConfig)
        valid = valid && QFile::copy(binDir + QStringLiteral("/LauncherDefault.ini"),
                                     appDir.filePath(QStringLiteral("LauncherDefault.ini")));
}

bool LauncherCopy::AddCompanion(const QString &fileName) const
{
    return QFile::copy(QStringLiteral(VELMORA_BIN_DIR "/") + fileName, appDir.filePath(fileName));
}

std::unique_ptr<QProcess> LauncherCopy::Start() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataDir.path());
    env.insert(QStringLiteral("TMPDIR"), tmpDir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmpDir.path());
    // What the launcher starts keeps its caches here too, away from the real home.
    env.insert(QStringLiteral("HOME"), dataDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    std::unique_ptr<QProcess> process(new QProcess);
    process->setProcessEnvironment(env);
    process->start(Program(), QStringList());
    return process;
}

QString LauncherCopy::ConfigPath() const
{
    return dataDir.filePath(QStringLiteral("Velmora/VelmoraMobileEmulator/Launcher.ini"));
}

bool LauncherCopy::DataDirEmpty() const
{
    return QDir(dataDir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

QStringList FindWindows(const QString &title, qint64 pid)
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

QString WaitForWindow(const QProcess &process)
{
    QStringList windows;
    const bool shown = QTest::qWaitFor(
        [&] {
            windows = FindWindows(LauncherWindowTitle, process.processId());
            return !windows.isEmpty() || process.state() == QProcess::NotRunning;
        },
        LauncherStartTimeoutMs);
    return shown && !windows.isEmpty() ? windows.constFirst() : QString();
}

bool WaitForExit(QProcess &process, int exitCode)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                           LauncherStartTimeoutMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == exitCode;
}
