#pragma once

// What tests share, and what they must do differently on Windows so that they check the same
// thing everywhere.

#include <QDir>
#include <QStandardPaths>

// A file's bytes; empty when it cannot be read.
inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces a file's bytes; false unless all were written.
inline bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A text file as this platform writes it in text mode: CR LF on Windows, else LF.
inline QByteArray PlatformLineEnds(QByteArray text)
{
    text.replace("\r\n", "\n");
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

// Moves this process's per-user data location, where the launcher keeps Launcher.ini, away
// from the user's own before a test writes there. Unix takes it from XDG_DATA_HOME, pointed
// into `temporaryDir`. Windows takes it from the shell, which no variable moves; Qt's test
// mode puts it in a "qttest" folder of its own instead. Returns the location, or an empty
// string when it would still be the user's own: the test must then touch nothing.
inline QString UsePrivateDataHome(const QString &temporaryDir)
{
    const auto location = [] {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    };
    const QString users = location();
#ifdef Q_OS_WIN
    Q_UNUSED(temporaryDir)
    QStandardPaths::setTestModeEnabled(true);
    const QString moved = location();
    return moved.startsWith(users + QStringLiteral("/qttest")) ? moved : QString();
#else
    qputenv("XDG_DATA_HOME", QFile::encodeName(temporaryDir));
    const QString moved = location();
    return moved != users && QDir(moved) == QDir(temporaryDir) ? moved : QString();
#endif
}
