#pragma once

#include "configmodel.h"

#include <QByteArray>
#include <QStringView>

// What reading one configuration file gave.
struct ConfigReadResult
{
    enum Status
    {
        Loaded,     // the model is complete
        Missing,    // no file at the path; the model is untouched
        Unreadable, // the file exists but cannot be opened or read; the model is untouched
        Refused     // out of date and set aside (or not, see renamedTo); the sections hold
                    // the file's entries, without "Default" ones, and there are no profiles
    };
    Status status = Missing;
    int version = 0;       // the version found in the file, 0 when none
    bool outdated = false; // version != CONFIG_VERSION; with Loaded the content was dropped
    QString renamedTo;     // Refused: the path the file now has; empty when renaming failed
};

// Reads the configuration file at `path` into `sections` and `profiles`. With
// renameIfOutdated, a file of another version is renamed aside (never over an existing
// file) and refused; without it, its content is dropped and every section gets its
// "Default" entry.
ConfigReadResult ReadConfig(const QString &path, bool renameIfOutdated,
                            QList<ConfigSection> &sections, QList<LaunchProfile> &profiles);

// Reads the content of a configuration file into `sections` and `profiles` as ReadConfig
// does for a file it does not set aside, and returns the version found, 0 when none.
int ReadConfigData(const QByteArray &data, QList<ConfigSection> &sections,
                   QList<LaunchProfile> &profiles);

// The text of a configuration file: a byte-order mark decides the encoding; without one
// the data is UTF-8, or, when it is not valid UTF-8, 8-bit text (DecodeEightBit).
QString DecodeConfigData(const QByteArray &data);

// Adds the entries of every line of `text` to the matching sections and returns the file's
// version, 0 when it has none. Neither adds "Default" entries nor creates profiles.
int ParseConfigText(QStringView text, QList<ConfigSection> &sections);

// Reads a stored profile value into `profile`, whose selections are expected to be four
// zeros and whose arguments are expected to be empty.
void ReadProfileArguments(const QString &value, const QList<ConfigSection> &sections,
                          LaunchProfile &profile);

// The first free name for setting aside an out-of-date file: "Launcher.<version>.ini",
// else "Launcher.<version>.1.ini", "Launcher.<version>.2.ini", ...
QString OutdatedConfigPath(const QString &configPath, int version);
