#include "configreader.h"

#include "eightbitdecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <QVarLengthArray>

#include <limits>

namespace {

bool IsTokenSeparator(QChar ch)
{
    return ch == u' ' || ch == u',' || ch == u'=' || ch == u'\t';
}

// ASCII digits with an optional sign and nothing else, within 32 bits. QStringView::toInt
// would also take surrounding CR, VT or FF and stop at a NUL, so that a file whose line
// ends were converted twice read as the current version yet matched no header.
bool ReadInt(QStringView token, int &value)
{
    const bool negative = token.startsWith(u'-');
    const QStringView digits = negative || token.startsWith(u'+') ? token.sliced(1) : token;
    if (digits.isEmpty())
        return false;
    qint64 number = 0;
    for (const QChar ch : digits) {
        if (ch < u'0' || ch > u'9')
            return false;
        number = number * 10 + (ch.unicode() - u'0');
        if (number > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    number = negative ? -number : number;
    if (number > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(number);
    return true;
}

// The tokens after "$VERSION" are separated by runs of separators, so only the one after
// a trailing separator can be empty; an empty token never reads as a number anyway.
bool ReadVersionLine(QStringView line, qsizetype firstTokenEnd, int &version)
{
    qsizetype pos = firstTokenEnd;
    while (pos < line.size()) {
        while (pos < line.size() && IsTokenSeparator(line[pos]))
            ++pos;
        const qsizetype start = pos;
        while (pos < line.size() && !IsTokenSeparator(line[pos]))
            ++pos;
        if (ReadInt(line.sliced(start, pos - start), version))
            return true;
    }
    return false;
}

// The name is the first non-empty piece between double quotes and the value the third. A
// line of the writer's form, "name"<TAB>"value", takes the value up to the line's last
// double quote instead, so that values holding double quotes read back whole. A line of
// nothing but double quotes has no piece and gives no entry.
bool ReadEntryLine(QStringView line, ConfigEntry &entry)
{
    QStringView pieces[3];
    int found = 0;
    qsizetype start = 0;
    while (found < 3 && start < line.size()) {
        qsizetype end = line.indexOf(u'"', start);
        if (end < 0)
            end = line.size();
        if (end > start)
            pieces[found++] = line.sliced(start, end - start);
        start = end + 1;
    }
    if (found == 0)
        return false;

    entry.name = pieces[0].toString();
    if (entry.name.contains(u'\\'))
        entry.name.replace(QLatin1String("\\t"), QLatin1String("\t"));

    const qsizetype nameEnd = line.startsWith(u'"') ? line.indexOf(u'"', 1) : -1;
    const qsizetype valueStart = nameEnd + 3;
    const qsizetype lastQuote = line.lastIndexOf(u'"');
    const bool writerForm = nameEnd > 1 && lastQuote >= valueStart && line[nameEnd + 1] == u'\t' &&
                            line[nameEnd + 2] == u'"';
    if (writerForm)
        entry.value = line.sliced(valueStart, lastQuote - valueStart).toString();
    else
        entry.value = pieces[2].toString();
    return true;
}

// UTF-16 and UTF-32 data may hold surrogates without their partner, which no file can
// store: writing would turn them into other characters. They become replacement
// characters here, as invalid UTF-8 does, so that the text saved is the text read.
void ReplaceUnpairedSurrogates(QString &text)
{
    if (text.isValidUtf16())
        return;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
}

void HandleLine(QStringView line, QList<ConfigSection> &sections, int &currentSection, int &version)
{
    qsizetype firstTokenEnd = 0;
    while (firstTokenEnd < line.size() && !IsTokenSeparator(line[firstTokenEnd]))
        ++firstTokenEnd;
    const QStringView firstToken = line.first(firstTokenEnd);

    if (firstToken.startsWith(u'#'))
        return;
    if (firstToken == u"$VERSION") {
        ReadVersionLine(line, firstTokenEnd, version);
        return;
    }
    if (const int section = FindSection(sections, firstToken); section >= 0) {
        currentSection = section;
        return;
    }
    ConfigEntry entry;
    if (currentSection >= 0 && ReadEntryLine(line, entry))
        sections[currentSection].entries.append(entry);
}

} // namespace

QString DecodeConfigData(const QByteArray &data)
{
    if (const auto bomEncoding = QStringConverter::encodingForData(data)) {
        QStringDecoder decoder(*bomEncoding);
        QString text = decoder.decode(data);
        ReplaceUnpairedSurrogates(text);
        return text;
    }
    // Stateless, so that a sequence cut short at the end is an error rather than dropped.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    // Files saved by older versions in an 8-bit locale are not UTF-8.
    return DecodeEightBit(data);
}

int ParseConfigText(QStringView text, QList<ConfigSection> &sections)
{
    int version = 0;
    int currentSection = -1;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            HandleLine(line, sections, currentSection, version);
        start = end + 1;
    }
    return version;
}

void ReadProfileArguments(const QString &value, const QList<ConfigSection> &sections,
                          LaunchProfile &profile)
{
    while (profile.selections.size() < UserAgentSection)
        profile.selections.append(0);

    // A stored value has a dozen tokens or so; kept on the stack, reading thousands of
    // profiles allocates nothing for them.
    QVarLengthArray<QStringView, 32> tokens;
    const QStringView text(value);
    qsizetype pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        const qsizetype start = pos;
        while (pos < text.size() && !text[pos].isSpace())
            ++pos;
        if (pos > start)
            tokens.append(text.sliced(start, pos - start));
    }

    const qsizetype lastOption = qMin<qsizetype>(UserAgentSection, sections.size() - 1);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        qsizetype section = ResolutionSection;
        while (section <= lastOption && sections.at(section).header != tokens.at(i))
            ++section;
        if (section > lastOption) {
            profile.arguments += u' ' + tokens.at(i).toString();
            continue;
        }
        // A header followed by no number, or by nothing at all, is dropped on its own.
        int selection = 0;
        if (i + 1 < tokens.size() && ReadInt(tokens.at(i + 1), selection)) {
            profile.selections[section - 1] = selection;
            ++i;
        }
    }
}

QString OutdatedConfigPath(const QString &configPath, int version)
{
    const QString stem =
        configPath.left(qMax<qsizetype>(0, configPath.size() - 3)) + QString::number(version);
    const auto isTaken = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    };
    QString candidate = stem + QLatin1String(".ini");
    for (int n = 1; isTaken(candidate); ++n)
        candidate = stem + u'.' + QString::number(n) + QLatin1String(".ini");
    return candidate;
}

namespace {

void CreateProfiles(const QList<ConfigSection> &sections, QList<LaunchProfile> &profiles)
{
    profiles.clear();
    profiles.reserve(sections.at(ProfileSection).entries.size());
    for (const ConfigEntry &entry : sections.at(ProfileSection).entries) {
        LaunchProfile profile;
        profile.name = entry.name;
        profile.selections = {0, 0, 0, 0};
        ReadProfileArguments(entry.value, sections, profile);
        profiles.append(profile);
    }
}

// Drops the content of an out-of-date file, gives every section its "Default" entry when
// it has none and derives the profiles.
void CompleteModel(QList<ConfigSection> &readSections, bool outdated,
                   QList<ConfigSection> &sections, QList<LaunchProfile> &profiles)
{
    if (outdated) {
        for (ConfigSection &section : readSections)
            section.entries.clear();
    }
    for (ConfigSection &section : readSections) {
        if (section.entries.isEmpty())
            section.entries.append(ConfigEntry{QStringLiteral("Default"), QString()});
    }
    sections = readSections;
    CreateProfiles(sections, profiles);
}

} // namespace

ConfigReadResult ReadConfig(const QString &path, bool renameIfOutdated,
                            QList<ConfigSection> &sections, QList<LaunchProfile> &profiles)
{
    ConfigReadResult result;
    if (!QFileInfo::exists(path)) {
        result.status = ConfigReadResult::Missing;
        return result;
    }
    QByteArray data;
    {
        // Read whole and closed before a rename, which some platforms refuse on open files.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.status = ConfigReadResult::Unreadable;
            return result;
        }
        data = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            result.status = ConfigReadResult::Unreadable;
            return result;
        }
    }

    QList<ConfigSection> readSections = CreateSections();
    result.version = ParseConfigText(DecodeConfigData(data), readSections);
    result.outdated = result.version != CONFIG_VERSION;

    if (result.outdated && renameIfOutdated) {
        result.status = ConfigReadResult::Refused;
        const QString newPath = OutdatedConfigPath(path, result.version);
        // QFile::rename never replaces an existing file.
        if (QFile::rename(path, newPath))
            result.renamedTo = newPath;
        sections = readSections;
        profiles.clear();
        return result;
    }
    CompleteModel(readSections, result.outdated, sections, profiles);
    result.status = ConfigReadResult::Loaded;
    return result;
}

int ReadConfigData(const QByteArray &data, QList<ConfigSection> &sections,
                   QList<LaunchProfile> &profiles)
{
    QList<ConfigSection> readSections = CreateSections();
    const int version = ParseConfigText(DecodeConfigData(data), readSections);
    CompleteModel(readSections, version != CONFIG_VERSION, sections, profiles);
    return version;
}
