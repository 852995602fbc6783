#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

// Where a screenshot taken from the toolbar goes: `Velmora/<profile>-<W>x<H>-<date-time>.png`
// below `picturesDirectory`, the profile's name made safe as a file name ("private" without
// one). A name already taken gets a number.
QString ScreenshotFilePath(const QString &picturesDirectory, const QString &profileName,
                           QSize pixels, const QDateTime &when);

// Writes `png` to `path`, creating its directory; returns the reason on failure.
QString WriteScreenshot(const QString &path, const QByteArray &png);
