#include "configwriter.h"

#include "arguments.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// Creates the missing directories of `dirPath`, readable by the user alone: the file
// tells what the user runs and browses. Existing directories keep their permissions, and a
// file system without permissions does not stop the save.
bool MakePrivatePath(const QString &dirPath)
{
    QStringList missing;
    for (QString dir = QDir::cleanPath(dirPath); !QFileInfo::exists(dir);) {
        missing.prepend(dir);
        const QString parent = QFileInfo(dir).path();
        if (parent == dir)
            break;
        dir = parent;
    }
    for (const QString &dir : std::as_const(missing)) {
        if (!QDir().mkdir(dir) && !QFileInfo(dir).isDir())
            return false;
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return true;
}

} // namespace

QByteArray FormatConfig(QList<ConfigSection> &sections, const QList<LaunchProfile> &profiles)
{
    if (!sections.isEmpty()) {
        QList<ConfigEntry> &profileEntries = sections[ProfileSection].entries;
        profileEntries.clear();
        profileEntries.reserve(profiles.size());
        for (const LaunchProfile &profile : profiles)
            profileEntries.append(
                ConfigEntry{profile.name, GetProfileArguments(profile, sections)});
    }

    // Sized once: growing a text of many megabytes step by step copies it again and again.
    qsizetype size = 512;
    for (const ConfigSection &section : std::as_const(sections)) {
        size += section.header.size() + 2;
        for (const ConfigEntry &entry : section.entries)
            size += entry.name.size() + entry.value.size() + 6;
    }
    QString text;
    text.reserve(size);
    text +=
        QStringLiteral("# A configuration out for the Velmora Mobile Launcher.\n"
                       "# It makes it easy to start multiple instances with various command line\n"
                       "# options.\n"
                       "#\n"
                       "# Note that the arguments are just concatenated together, so start new\n"
                       "# arguments with a space in the string to avoid errors.\n"
                       "\n"
                       "$VERSION\t") +
        QString::number(CONFIG_VERSION) + QLatin1String("\n\n");
    for (const ConfigSection &section : sections) {
        text += section.header + u'\n';
        for (const ConfigEntry &entry : section.entries)
            text +=
                u'"' + entry.name + QLatin1String("\"\t\"") + entry.value + QLatin1String("\"\n");
        text += u'\n';
    }
    return text.toUtf8();
}

ConfigWriteResult WriteConfig(const QString &path, QList<ConfigSection> &sections,
                              const QList<LaunchProfile> &profiles)
{
    if (sections.size() < SectionCount)
        return ConfigWriteResult::TooFewSections;
    const QByteArray content = FormatConfig(sections, profiles);

    if (!MakePrivatePath(QFileInfo(path).absolutePath()))
        return ConfigWriteResult::Failed;
    // The old file is replaced only once the new one is complete; text mode gives the
    // platform's line ends.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return ConfigWriteResult::Failed;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return ConfigWriteResult::Failed;
    }
    return file.commit() ? ConfigWriteResult::Written : ConfigWriteResult::Failed;
}

void RemoveStaleSaveFiles(const QString &path)
{
    const QFileInfo target(path);
    const QRegularExpression pattern(QLatin1Char('^') +
                                     QRegularExpression::escape(target.fileName()) +
                                     QStringLiteral("\\.[A-Za-z]{6}$"));
    // A younger one may belong to a save that is still running.
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList candidates =
        target.dir().entryInfoList({target.fileName() + QStringLiteral(".??????")},
                                   QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &file : candidates) {
        if (pattern.match(file.fileName()).hasMatch() && file.lastModified().toUTC() < stale)
            QFile::remove(file.filePath());
    }
}
