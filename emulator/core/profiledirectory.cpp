#include "core/profiledirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Long names are cut and made unique again with a digest, so the directory name stays
// well below the usual 255-byte limit.
constexpr int MaximumEncodedLength = 120;

bool IsKeptAsIs(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Device names that Windows refuses as file names, whatever their case.
bool IsReservedOnWindows(const QString &name)
{
    static const QStringList plain = {QStringLiteral("con"), QStringLiteral("prn"),
                                      QStringLiteral("aux"), QStringLiteral("nul")};
    if (plain.contains(name))
        return true;
    return name.size() == 4 && name.at(3).isDigit() &&
           (name.startsWith(QLatin1String("com")) || name.startsWith(QLatin1String("lpt")));
}

// Creates the missing directories of `path` for the user alone: their names tell which
// profiles the user keeps. Existing ones keep their permissions.
bool MakePrivatePath(const QString &path)
{
    QStringList missing;
    for (QString dir = QDir::cleanPath(path); !QFileInfo::exists(dir); dir = QFileInfo(dir).path())
        missing.prepend(dir);
    for (const QString &dir : std::as_const(missing)) {
        if (!QDir().mkdir(dir) && !QFileInfo(dir).isDir())
            return false;
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return true;
}

QString PercentEncoded(char c)
{
    return QStringLiteral("%%1").arg(uchar(c), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString EmulatorDataRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Velmora/VelmoraMobileEmulator");
}

ProfileDirectory::ProfileDirectory(const QString &profileName)
{
    if (profileName.isEmpty())
        return;
    const QString directory = RootPath() + QLatin1Char('/') + EncodedName(profileName);
    if (!MakePrivatePath(directory)) {
        failure = QStringLiteral("the profile directory %1 cannot be created")
                      .arg(QDir::toNativeSeparators(directory));
        return;
    }
    auto candidate = std::make_unique<QLockFile>(directory + QStringLiteral("/emulator.lock"));
    // A lock is taken over only when its owner has died, never for its age: an emulator may
    // well run for days.
    candidate->setStaleLockTime(0);
    if (!candidate->tryLock(0)) {
        inUse = candidate->error() == QLockFile::LockFailedError;
        failure =
            inUse ? QStringLiteral("profile \"%1\" is in use by another emulator").arg(profileName)
                  : QStringLiteral("the lock file in %1 cannot be written")
                        .arg(QDir::toNativeSeparators(directory));
        return;
    }
    lock = std::move(candidate);
    claimedPath = directory;
}

ProfileDirectory::~ProfileDirectory() = default;

QString ProfileDirectory::RootPath()
{
    return EmulatorDataRoot() + QStringLiteral("/profiles");
}

QString ProfileDirectory::EncodedName(const QString &profileName)
{
    // Upper-case letters are encoded too, so that names differing only in case stay apart
    // on file systems that ignore case.
    QString encoded;
    const QByteArray utf8 = profileName.toUtf8();
    for (char c : utf8)
        encoded += IsKeptAsIs(c) ? QString(QLatin1Char(c)) : PercentEncoded(c);
    if (IsReservedOnWindows(encoded))
        encoded = PercentEncoded(utf8.at(0)) + encoded.mid(1);
    if (encoded.size() > MaximumEncodedLength) {
        const QByteArray digest = QCryptographicHash::hash(utf8, QCryptographicHash::Sha256);
        qsizetype cut = MaximumEncodedLength - 17;
        // Never split an escape.
        const qsizetype escape = encoded.lastIndexOf(QLatin1Char('%'), cut - 1);
        if (escape >= 0 && escape + 3 > cut)
            cut = escape;
        encoded =
            encoded.left(cut) + QLatin1Char('~') + QString::fromLatin1(digest.toHex().left(16));
    }
    return encoded;
}
