#pragma once

#include "configmodel.h"

// The argument string in which a profile is stored: for each option section its header,
// a space, the index and a space, then the free text trimmed at both ends.
QString ComposeArguments(const QList<ConfigSection> &sections, const QList<int> &selections,
                         const QString &freeText);

QString GetProfileArguments(const LaunchProfile &profile, const QList<ConfigSection> &sections);
