#pragma once

// What tests share, and what they do differently on Windows to check the same thing there.

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

// Moves the per-user data location (Launcher.ini's) away from the user's own: on Unix into
// `temporaryDir` by XDG_DATA_HOME; on Windows, where no variable moves it, into Qt's test mode
// "qttest" folder. Returns it, or "" when it is still the user's own: then touch nothing.
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
