#include "configmodel.h"

QStringList ConfigSection::EntryNames() const
{
    QStringList names;
    names.reserve(entries.size());
    for (const ConfigEntry &entry : entries)
        names.append(entry.name);
    return names;
}

QList<ConfigSection> CreateSections()
{
    QList<ConfigSection> sections;
    for (const char16_t *header :
         {u"[Profile]", u"[Resolution]", u"[PixelDensity]", u"[Input]", u"[UserAgentString]"}) {
        ConfigSection section;
        section.header = QString::fromUtf16(header);
        sections.append(section);
    }
    return sections;
}

int FindSection(const QList<ConfigSection> &sections, QStringView header)
{
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (sections.at(i).header == header)
            return static_cast<int>(i);
    }
    return -1;
}

int FindProfile(const QList<LaunchProfile> &profiles, const QString &name)
{
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        if (profiles.at(i).name == name)
            return static_cast<int>(i);
    }
    return -1;
}

QStringList ProfileNames(const QList<LaunchProfile> &profiles)
{
    QStringList names;
    names.reserve(profiles.size());
    for (const LaunchProfile &profile : profiles)
        names.append(profile.name);
    return names;
}

QString SectionDisplayName(const ConfigSection &section, bool lowerCase)
{
    QString result;
    bool previousWasLower = false;
    // By code point, so that letters outside the basic plane are classified correctly.
    const QList<uint> codePoints = section.header.toUcs4();
    for (const uint ch : codePoints) {
        if (ch == u'[' || ch == u']')
            continue;
        const bool isUpper = QChar::category(ch) == QChar::Letter_Uppercase;
        if (previousWasLower && isUpper)
            result += u' ';
        previousWasLower = QChar::category(ch) == QChar::Letter_Lowercase;
        const char32_t shown = (lowerCase && isUpper) ? QChar::toLower(ch) : ch;
        result += QStringView(QChar::fromUcs4(shown));
    }
    return result;
}

QString UnstorableNamePart(const QString &name)
{
    if (name.contains(u'"'))
        return QStringLiteral("a double quote");
    if (name.contains(u'\r') || name.contains(u'\n'))
        return QStringLiteral("a line break");
    if (name.contains(QLatin1String("\\t")))
        return QStringLiteral("a backslash followed by t");
    return QString();
}

QString WithoutLineBreaks(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ');
}

void AppendArguments(QString &arguments, const QString &fragment)
{
    if (!arguments.isEmpty())
        arguments += u' ';
    arguments += fragment;
}

QList<int> ProfilesUsingEntry(const QList<LaunchProfile> &profiles, int section, int entry)
{
    QList<int> rows;
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        if (profiles.at(i).selections.value(section - 1, -1) == entry)
            rows.append(static_cast<int>(i));
    }
    return rows;
}

QString RemoveOptionEntry(QList<ConfigSection> &sections, QList<LaunchProfile> &profiles,
                          int section, int entry)
{
    const QString removedValue = sections[section].entries.takeAt(entry).value;
    for (LaunchProfile &profile : profiles) {
        if (section - 1 >= profile.selections.size())
            continue;
        int &s = profile.selections[section - 1];
        if (s == entry) {
            s = 0;
            AppendArguments(profile.arguments, removedValue);
        } else if (s > entry) {
            --s;
        }
    }
    return removedValue;
}
