#pragma once

#include "configmodel.h"

#include <QSize>
#include <QString>
#include <QStringList>

// The profiles to render: every one when `names` is empty, else those named, in that order.
// A name matches the first profile of that name, exactly.
struct ProfileChoice
{
    QList<LaunchProfile> chosen;
    QStringList unknown; // names that no profile has
};
ProfileChoice ChooseProfiles(const QList<LaunchProfile> &profiles, const QStringList &names);

// One picture file name per profile name, in the same order: letters and digits of the
// name, other runs as "-", never empty, never a name Windows reserves, and distinct from
// each other even where the file system ignores case.
QStringList ScreenshotFileNames(const QStringList &profileNames);

// How one profile's picture came out.
struct ShotResult
{
    QString profileName;
    QString fileName;      // in the output directory
    QSize pixels;          // the device's screen as held, device pixels
    int ppi = 0;           // its density
    qint64 elapsedMs = -1; // from the emulator's start to its end; -1 when it never ran
    QString failure;       // empty when the picture was written
    QSize pictureSize;     // as written; the engine rounds to whole CSS pixels
};

// The index.html page that shows every picture with the device's name, size, density and
// the time taken, and names each failure. Every text from outside is escaped.
QString ContactSheet(const QString &address, const QList<ShotResult> &results);
