#pragma once

#include "configmodel.h"

#include <QByteArray>

enum class ConfigWriteResult
{
    Written,
    TooFewSections, // nothing was touched
    Failed          // the old file, if any, is unchanged
};

// Replaces the "[Profile]" entries by one entry per profile (the only change made to the
// model) and returns the whole file content, UTF-8 with "\n" line ends.
QByteArray FormatConfig(QList<ConfigSection> &sections, const QList<LaunchProfile> &profiles);

// Writes the model to `path` atomically. Directories it creates are private to the user.
ConfigWriteResult WriteConfig(const QString &path, QList<ConfigSection> &sections,
                              const QList<LaunchProfile> &profiles);

// Removes what an interrupted atomic save of `path` may leave beside it: files named like
// it plus a dot and six ASCII letters (QSaveFile's pattern), last changed more than a
// minute ago.
void RemoveStaleSaveFiles(const QString &path);
