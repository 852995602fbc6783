#pragma once

#include "configmodel.h"

#include <QStringList>

// Every entry as "header|name|value", then every profile as "name|selections|arguments".
inline QStringList Dump(const QList<ConfigSection> &sections,
                        const QList<LaunchProfile> &profiles = {})
{
    QStringList lines;
    for (const ConfigSection &section : sections) {
        for (const ConfigEntry &entry : section.entries)
            lines.append(section.header + u'|' + entry.name + u'|' + entry.value);
    }
    for (const LaunchProfile &profile : profiles) {
        QStringList numbers;
        for (const int selection : profile.selections)
            numbers.append(QString::number(selection));
        lines.append(profile.name + u'|' + numbers.join(u',') + u'|' + profile.arguments);
    }
    return lines;
}
