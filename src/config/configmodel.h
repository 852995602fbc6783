#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;

// The format version of Launcher.ini; a file of any other version is not used.
constexpr int CONFIG_VERSION = 107;

// One named value of a section: an option's argument fragment, or a stored profile.
struct ConfigEntry
{
    QString name;
    QString value;
};

// One section of the configuration file. `combo` is the drop-down list that shows the
// entries; the main window sets it for the four option sections and never hands over
// ownership.
struct ConfigSection
{
    QString header;
    QList<ConfigEntry> entries;
    QComboBox *combo = nullptr;

    QStringList EntryNames() const;
};

// A named launch profile: one entry index per option section and free extra arguments.
struct LaunchProfile
{
    QString name;
    QString arguments;
    QList<int> selections; // selections[k - 1] indexes the entries of section k
};

// Positions of the five sections in the model, which never change after loading.
enum SectionIndex
{
    ProfileSection = 0,
    ResolutionSection = 1,
    PixelDensitySection = 2,
    InputSection = 3,
    UserAgentSection = 4,
    SectionCount = 5
};

// The five sections in their fixed order, each without entries.
QList<ConfigSection> CreateSections();

// Exact, case-sensitive search from index 0; -1 when nothing matches.
int FindSection(const QList<ConfigSection> &sections, QStringView header);
int FindProfile(const QList<LaunchProfile> &profiles, const QString &name);

QStringList ProfileNames(const QList<LaunchProfile> &profiles);

// The label shown beside a section's list: "[PixelDensity]" gives "Pixel Density", or
// "pixel density" with lowerCase set.
QString SectionDisplayName(const ConfigSection &section, bool lowerCase);

// What a name holds that the file cannot give back, worded for a message ("a double
// quote"); empty when the name can be stored. The file encloses a name in double quotes,
// ends it with its line, and reads backslash-t in it as a TAB.
QString UnstorableNamePart(const QString &name);

// Free argument text as one line of the file can hold it: each CR or LF becomes a space.
QString WithoutLineBreaks(QString text);

// Appends an argument fragment to free argument text, after a blank when there is text.
void AppendArguments(QString &arguments, const QString &fragment);

// The rows of the profiles whose selection for option section `section` is `entry`.
QList<int> ProfilesUsingEntry(const QList<LaunchProfile> &profiles, int section, int entry);

// Removes entry `entry` of option section `section` and repairs the profiles: each one that
// used it falls back to entry 0 and gets the entry's value appended to its arguments, so
// it still launches with it; selections of later entries move down by one. Returns the
// moved value.
QString RemoveOptionEntry(QList<ConfigSection> &sections, QList<LaunchProfile> &profiles,
                          int section, int entry);
