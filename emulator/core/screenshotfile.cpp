#include "core/screenshotfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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
