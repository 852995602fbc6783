#include "core/screenshotfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Long enough for any sensible profile name, short of the usual 255-byte limit.
constexpr int MaximumNameLength = 80;

// Characters some file systems refuse, and control characters, become '_'; leading dots
// and trailing dots and spaces (hidden or refused names) go.
QString SafeFileName(const QString &name)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString safe;
    for (QChar c : name)
        safe +=
            (c.category() == QChar::Other_Control || refused.contains(c)) ? QLatin1Char('_') : c;
    while (safe.startsWith(QLatin1Char('.')) || safe.startsWith(QLatin1Char(' ')))
        safe.remove(0, 1);
    safe.truncate(MaximumNameLength);
    while (safe.endsWith(QLatin1Char('.')) || safe.endsWith(QLatin1Char(' ')))
        safe.chop(1);
    return safe.isEmpty() ? QStringLiteral("private") : safe;
}

} // namespace

QString ScreenshotFilePath(const QString &picturesDirectory, const QString &profileName,
                           QSize pixels, const QDateTime &when)
{
    const QString stem = QStringLiteral("%1/Velmora/%2-%3x%4-%5")
                             .arg(picturesDirectory, SafeFileName(profileName))
                             .arg(pixels.width())
                             .arg(pixels.height())
                             .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = stem + QStringLiteral(".png");
    for (int number = 2; QFileInfo::exists(path); ++number)
        path = stem + QStringLiteral("-%1.png").arg(number);
    return path;
}

QString WriteScreenshot(const QString &path, const QByteArray &png)
{
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory))
        return QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(directory));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    return {};
}

QString ScreenshotsLocation()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation)
                              : pictures;
}

QString GroupScreenshotDirectory(const QString &picturesDirectory, const QString &stamp)
{
    return QStringLiteral("%1/Velmora/%2").arg(picturesDirectory, stamp);
}

QString WriteGroupScreenshot(const QString &directory, const QString &profileName,
                             const QByteArray &png, QString *failure)
{
    if (!QDir().mkpath(directory)) {
        *failure = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(directory));
        return {};
    }
    // The name is taken by creating the file, which only one window can do; the picture then
    // replaces it whole.
    const QString stem = directory + QLatin1Char('/') + SafeFileName(profileName);
    constexpr int MostWindows = 1000;
    for (int number = 1; number <= MostWindows; ++number) {
        const QString path = number == 1 ? stem + QStringLiteral(".png")
                                         : stem + QStringLiteral("-%1.png").arg(number);
        QFile taken(path);
        if (!taken.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                continue;
            *failure = QStringLiteral("cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(path), taken.errorString());
            return {};
        }
        taken.close();
        *failure = WriteScreenshot(path, png);
        if (!failure->isEmpty())
            QFile::remove(path);
        return failure->isEmpty() ? path : QString();
    }
    *failure =
        QStringLiteral("too many screenshots in %1").arg(QDir::toNativeSeparators(directory));
    return {};
}

QString ScreenshotOutcome(const QString &path, const QString &failure, const QString &problem)
{
    if (!problem.isEmpty())
        return QStringLiteral("Screenshot failed: %1").arg(problem);
    if (!failure.isEmpty())
        return QStringLiteral("Screenshot not saved: %1").arg(failure);
    return QStringLiteral("Screenshot saved to %1").arg(QDir::toNativeSeparators(path));
}
