// The library's only POSIX calls.
#include "platform.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace LocalChannel {

QString UserKey()
{
    return QString::number(::getuid());
}

QString RuntimeDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool IsOwnDirectory(const QString &path, bool strictlyPrivate)
{
    struct stat info = {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    const mode_t othersMayNot = strictlyPrivate ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & othersMayNot) == 0;
}

bool MakePrivateDirectory(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return false;
    return IsOwnDirectory(path, true);
}

qsizetype MaxServerNameBytes()
{
    // Room for the terminating zero.
    return static_cast<qsizetype>(sizeof(sockaddr_un::sun_path)) - 1;
}

} // namespace LocalChannel
