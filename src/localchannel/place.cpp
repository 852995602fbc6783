#include "place.h"

#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace LocalChannel {

namespace {

enum Candidate
{
    Runtime,
    OwnTemporary,
    Fallback,
    CandidateCount
};

// Asked in order, so that nothing is created where an earlier candidate will do.
QString UsableDirectory(Candidate candidate, const QString &fallbackDirectory)
{
    switch (candidate) {
    case Runtime: {
        const QString runtime = RuntimeDirectory();
        return IsOwnDirectory(runtime, true) ? runtime : QString();
    }
    case OwnTemporary: {
        const QString own = QDir::tempPath() + QStringLiteral("/localchannel-") + UserKey();
        return MakePrivateDirectory(own) ? own : QString();
    }
    case Fallback:
        if (fallbackDirectory.isEmpty())
            return QString();
        if (!QFileInfo::exists(fallbackDirectory)) {
            QDir().mkpath(QFileInfo(fallbackDirectory).path());
            MakePrivateDirectory(fallbackDirectory);
        }
        return IsOwnDirectory(fallbackDirectory, false) ? fallbackDirectory : QString();
    case CandidateCount:
        break;
    }
    return QString();
}

} // namespace

Place Place::ForName(const QString &name, const QString &fallbackDirectory)
{
    Place firstUsable;
    for (int i = 0; i < CandidateCount; ++i) {
        const QString directory = UsableDirectory(static_cast<Candidate>(i), fallbackDirectory);
        if (directory.isEmpty())
            continue;
        const Place place(directory, name);
        if (place.ServerNameFits())
            return place;
        if (!firstUsable.IsValid())
            firstUsable = place;
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
