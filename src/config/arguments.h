#pragma once

#include "configmodel.h"

// The argument string in which a profile is stored: for each option section its header,
// a space, the index and a space, then the free text trimmed at both ends (Unicode
// whitespace). A missing selection counts as 0; a section missing from `sections` adds
// nothing.
QString ComposeArguments(const QList<ConfigSection> &sections, const QList<int> &selections,
                         const QString &freeText);

QString GetProfileArguments(const LaunchProfile &profile, const QList<ConfigSection> &sections);
