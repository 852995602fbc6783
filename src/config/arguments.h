#pragma once

#include "configmodel.h"

// The argument string in which a profile is stored: for each option section its header,
// a space, the index and a space, then the free text trimmed at both ends (Unicode
// whitespace). A missing selection counts as 0; a section missing from `sections` adds
// nothing.
QString ComposeArguments(const QList<ConfigSection> &sections, const QList<int> &selections,
                         const QString &freeText);

QString GetProfileArguments(const LaunchProfile &profile, const QList<ConfigSection> &sections);

// The emulator's arguments for a profile, as Launch gives them: the values of the chosen
// entries (a selection outside its section adds nothing), "-profile-name" and the name,
// then the free text, split as QProcess::splitCommand splits a command line. The name is
// one argument whatever it holds.
QStringList LaunchArguments(const QList<ConfigSection> &sections, const LaunchProfile &profile);
