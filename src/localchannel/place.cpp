#include "place.h"

#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace LocalChannel {

namespace {

// After the runtime directory, our private directory in the temporary directory. Should
// someone else hold that name, a few numbered ones follow: every process of the user tries
// them in the same order and so meets the others in the same one. The caller's directory
// comes last, since its path is often too long for a socket.
constexpr int NumberedTemporaries = 3;
constexpr int Runtime = 0;
constexpr int Fallback = NumberedTemporaries + 2;

// Asked in order, so that nothing is created where an earlier candidate will do.
QString UsableDirectory(int candidate, const QString &fallbackDirectory)
{
    if (candidate == Runtime) {
        const QString runtime = RuntimeDirectory();
        return IsOwnDirectory(runtime, true) ? runtime : QString();
    }
    if (candidate < Fallback) {
        QString own = QDir::tempPath() + QStringLiteral("/localchannel-") + UserKey();
        if (candidate > 1)
            own += QLatin1Char('-') + QString::number(candidate - 1);
        return MakePrivateDirectory(own) ? own : QString();
    }
    if (fallbackDirectory.isEmpty())
        return QString();
    if (!QFileInfo::exists(fallbackDirectory)) {
        QDir().mkpath(QFileInfo(fallbackDirectory).path());
        MakePrivateDirectory(fallbackDirectory);
    }
    return IsOwnDirectory(fallbackDirectory, false) ? fallbackDirectory : QString();
}

} // namespace

Place Place::ForName(const QString &name, const QString &fallbackDirectory)
{
    Place firstUsable;
    for (int candidate = Runtime; candidate <= Fallback; ++candidate) {
        const QString directory = UsableDirectory(candidate, fallbackDirectory);
        if (directory.isEmpty())
            continue;
        const Place place(directory, name);
        if (place.ServerNameFits())
            return place;
        if (!firstUsable.IsValid())
            firstUsable = place;
        // The numbered names are no shorter than the one that did not fit.
        if (candidate > Runtime)
            candidate = qMax(candidate, Fallback - 1);
    }
    // Its server cannot listen, and says so to the clients.
    return firstUsable;
}

Place::Place(const QString &directoryPath, const QString &channelName)
    : directory(directoryPath), name(channelName)
{}

QString Place::LockPath() const
{
    return QDir(directory).filePath(name + QStringLiteral(".lock"));
}

QString Place::ServerName() const
{
#ifdef Q_OS_WIN
    return name;
#else
    return QDir(directory).filePath(name);
#endif
}

bool Place::ServerNameFits() const
{
    return QFile::encodeName(ServerName()).size() <= MaxServerNameBytes();
}

QString Place::UnreachablePath() const
{
    return QDir(directory).filePath(name + QStringLiteral(".unreachable"));
}

} // namespace LocalChannel
