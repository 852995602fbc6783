// Windows: the temporary directory belongs to the user, and a pipe name needs no directory.
#include "platform.h"

#include <QDir>
#include <QFileInfo>

namespace LocalChannel {

QString UserKey()
{
    return qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') +
           qEnvironmentVariable("USERNAME");
}

QString RuntimeDirectory()
{
    return QDir::tempPath();
}

bool IsOwnDirectory(const QString &path, bool strictlyPrivate)
{
    Q_UNUSED(strictlyPrivate)
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && !info.isSymLink();
}

bool MakePrivateDirectory(const QString &path)
{
    return QDir().mkpath(path) && IsOwnDirectory(path, true);
}

qsizetype MaxServerNameBytes()
{
    return 256;
}

} // namespace LocalChannel
