#include "engine/scratchfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>

namespace {

const QString Prefix = QStringLiteral("r");
// The browser makes a socket below its temporary folder: the whole path must stay within the
// 107 bytes a socket's address holds.
constexpr int MaximumTemporaryParentLength = 40;

bool ProcessEnded(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

void RemoveEnded(const QString &parent)
{
    const QStringList names =
        QDir(parent).entryList({Prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        bool numeric = false;
        const qint64 pid =
            name.mid(Prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&numeric);
        if (numeric && ProcessEnded(pid))
            QDir(parent + QLatin1Char('/') + name).removeRecursively();
    }
}

QString Below(QStandardPaths::StandardLocation location, const QString &name)
{
    QString base = QStandardPaths::writableLocation(location);
    if (base.isEmpty())
        base = QDir::tempPath();
    return base + QLatin1Char('/') + name;
}

} // namespace

namespace ScratchFolders {

std::unique_ptr<QTemporaryDir> Make(const QString &parent)
{
    if (parent.isEmpty()) {
        auto folder = std::make_unique<QTemporaryDir>();
        return folder->isValid() ? std::move(folder) : nullptr;
    }
    if (!QDir().mkpath(parent))
        return {};
    QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    RemoveEnded(parent);
    auto folder = std::make_unique<QTemporaryDir>(
        parent + QLatin1Char('/') + Prefix + QString::number(QCoreApplication::applicationPid()) +
        QStringLiteral("-XXXXXX"));
    return folder->isValid() ? std::move(folder) : nullptr;
}

QString TemporaryParent()
{
    const QString parent = Below(QStandardPaths::RuntimeLocation, QStringLiteral("velmora"));
    return parent.size() <= MaximumTemporaryParentLength ? parent : QString();
}

QString PrivateProfileParent()
{
    return Below(QStandardPaths::GenericCacheLocation, QStringLiteral("velmora-emulator"));
}

} // namespace ScratchFolders
