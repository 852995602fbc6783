#include "arguments.h"

#include <QProcess>

QString ComposeArguments(const QList<ConfigSection> &sections, const QList<int> &selections,
                         const QString &freeText)
{
    // Concatenated rather than formatted with QString::arg, so that a header holding a
    // placeholder such as "%1" is written as it is.
    QString result;
    for (qsizetype k = ResolutionSection; k <= UserAgentSection && k < sections.size(); ++k) {
        const int selection = k - 1 < selections.size() ? selections.at(k - 1) : 0;
        result += sections.at(k).header + u' ' + QString::number(selection) + u' ';
    }
    result += freeText.trimmed();
    return result;
}

QString GetProfileArguments(const LaunchProfile &profile, const QList<ConfigSection> &sections)
{
    return ComposeArguments(sections, profile.selections, profile.arguments);
}

QStringList LaunchArguments(const QList<ConfigSection> &sections, const LaunchProfile &profile)
{
    QString options;
    for (qsizetype k = ResolutionSection; k <= UserAgentSection && k < sections.size(); ++k) {
        const QList<ConfigEntry> &entries = sections.at(k).entries;
        const int selection = profile.selections.value(k - 1);
        if (selection >= 0 && selection < entries.size())
            options += entries.at(selection).value;
    }
    return QProcess::splitCommand(options) +
           QStringList{QStringLiteral("-profile-name"), profile.name} +
           QProcess::splitCommand(profile.arguments);
}
