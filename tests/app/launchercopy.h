#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Helpers for tests that start the real launcher under a virtual X server.

inline const QString LauncherWindowTitle = QStringLiteral("Velmora Mobile Emulator");
constexpr int LauncherStartTimeoutMs = 20000;

// A copy of the launcher: a directory of its own gives it an identity and data of its own.
class LauncherCopy
{
public:
    explicit LauncherCopy(bool withDefaultConfig);

    std::unique_ptr<QProcess> Start() const;
    // Copies a file from beside the built launcher, such as the emulator, beside the copy.
    bool AddCompanion(const QString &fileName) const;
    QString ConfigPath() const;
    // The primary's socket, the only one in the copy's runtime directory.
    QString SocketPath() const;
    QString DataPath() const { return dataDir.path(); }

    bool valid = false;
    // What the copy runs with: its data, runtime and temporary directories in DataPath().
    QProcessEnvironment environment;
    QString dataHome;

private:
    QTemporaryDir appDir;
    QTemporaryDir dataDir;
};

// The visible windows with exactly this title, of one process or of all.
QStringList FindWindows(const QString &title, qint64 pid = 0);
bool RunXdotool(const QStringList &arguments);

// The first launcher window of the process, or empty when the process ended without one.
QString WaitForWindow(const QProcess &process);
bool WaitForExit(QProcess &process, int exitCode);

// Asks a window to close the way a window manager does (WM_DELETE_WINDOW), so that its
// program ends through its normal close path. In x11close.cpp, which needs Xlib.
bool CloseWindow(const QString &window);
