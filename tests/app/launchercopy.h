#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Helpers for tests that start the real launcher under a virtual X server.

inline const QString LauncherWindowTitle = QStringLiteral("Velmora Mobile Emulator");
constexpr int LauncherStartTimeoutMs = 20000;

// A copy of the launcher in a directory of its own, which gives it an identity of its own,
// with its own data and temporary directories.
class LauncherCopy
{
public:
    explicit LauncherCopy(bool withDefaultConfig);

    QString Program() const { return appDir.filePath(QStringLiteral("velmora-launcher")); }
    std::unique_ptr<QProcess> Start() const;

    // Copies a file from beside the built launcher, such as the emulator, beside the copy.
    bool AddCompanion(const QString &fileName) const;

    QString ConfigPath() const;
    bool DataDirEmpty() const;
    // Where the copy keeps its single-instance lock and socket.
    QString RuntimeDir() const { return tmpDir.path(); }

    bool valid = false;

private:
    QTemporaryDir appDir;
    QTemporaryDir dataDir;
    QTemporaryDir tmpDir;
};

// The visible windows with exactly this title, of one process or of all.
QStringList FindWindows(const QString &title, qint64 pid = 0);
bool RunXdotool(const QStringList &arguments);

// The first launcher window of the process, or empty when the process ended without one.
QString WaitForWindow(const QProcess &process);
bool WaitForExit(QProcess &process, int exitCode);
