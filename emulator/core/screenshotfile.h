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

// The user's Pictures folder, else the home folder.
QString ScreenshotsLocation();

// Where every window of a group saves its part of one Screenshot of all:
// `Velmora/<stamp>` below `picturesDirectory`.
QString GroupScreenshotDirectory(const QString &picturesDirectory, const QString &stamp);

// Writes `png` into `directory` as `<profile>.png`, the name made safe as above, or as
// `<profile>-2.png` and so on when another window took the name first, even at the same
// moment. Returns the path written; empty, with the reason in `failure`, when it was not.
QString WriteGroupScreenshot(const QString &directory, const QString &profileName,
                             const QByteArray &png, QString *failure);

// What the status line says of a screenshot: where it went, why it was not saved
// (`failure`), or why the browser took none (`problem`).
QString ScreenshotOutcome(const QString &path, const QString &failure, const QString &problem);
