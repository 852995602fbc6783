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

// Writes the model to `path` atomically, creating the directory when needed.
ConfigWriteResult WriteConfig(const QString &path, QList<ConfigSection> &sections,
                              const QList<LaunchProfile> &profiles);
