// The argument string of a profile: composing it and reading it back keeps the four
// selections and the free text with its whitespace runs made single spaces, unless the
// free text itself holds section headers. In every case a second round trip changes
// nothing. The input chooses between a composed profile and an arbitrary stored value.

#include "arguments.h"
#include "configreader.h"
#include "fuzzcheck.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

// Takes the input from the front, so that hand-made seeds read as they are laid out;
// missing bytes read as zero.
class InputBytes
{
public:
    InputBytes(const uint8_t *data, size_t size) : data(data), size(size) {}

    bool AtEnd() const { return pos >= size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    int32_t Int32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | Byte();
        return static_cast<int32_t>(value);
    }
    char16_t Char16()
    {
        const auto high = static_cast<char16_t>(Byte());
        return static_cast<char16_t>((high << 8) | Byte());
    }

private:
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};

const QList<ConfigSection> &Sections()
{
    static const QList<ConfigSection> sections = CreateSections();
    return sections;
}

int HeaderSection(const QString &token)
{
    for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
        if (Sections().at(s).header == token)
            return s;
    }
    return -1;
}

// Whitespace in the Unicode sense, as the composition trims it.
QStringList Tokens(const QString &text)
{
    QStringList tokens;
    QString token;
    for (const QChar ch : text) {
        if (!ch.isSpace()) {
            token += ch;
        } else if (!token.isEmpty()) {
            tokens.append(token);
            token.clear();
        }
    }
    if (!token.isEmpty())
        tokens.append(token);
    return tokens;
}

QString ReaderForm(const QStringList &tokens)
{
    QString text;
    for (const QString &token : tokens)
        text += u' ' + token;
    return text;
}

// Text assembled mostly from pieces that matter to the rules: the headers and near misses,
// numbers at and beyond the 32-bit range, whitespace of many kinds, quotes.
QString MakeText(InputBytes &input)
{
    static const char16_t *const pieces[] = {u"[Resolution]",
                                             u"[PixelDensity]",
                                             u"[Input]",
                                             u"[UserAgentString]",
                                             u"[Profile]",
                                             u"[input]",
                                             u"Resolution",
                                             u" ",
                                             u"\t",
                                             u"\n",
                                             u"\r",
                                             u"\v",
                                             u"\f",
                                             u"\u00a0",
                                             u"\u0085",
                                             u"\u2028",
                                             u"\u3000",
                                             u"0",
                                             u"-1",
                                             u"+7",
                                             u"007",
                                             u"2147483647",
                                             u"2147483648",
                                             u"-2147483649",
                                             u"\"",
                                             u"-a",
                                             u"x"};
    QString text;
    while (!input.AtEnd()) {
        const uint8_t op = input.Byte();
        if (op < std::size(pieces))
            text += QString::fromUtf16(pieces[op]);
        else if (op == 0xff)
            text += QChar(input.Char16());
        else
            text += QChar(static_cast<char16_t>(op));
    }
    return text;
}

LaunchProfile Read(const QString &value)
{
    LaunchProfile profile;
    profile.selections = {0, 0, 0, 0};
    ReadProfileArguments(value, Sections(), profile);
    FuzzCheck(profile.selections.size() == 4, "a read profile has four selections");
    return profile;
}

// What was read is stable: composing and reading it again changes nothing.
void CheckFixpoint(const LaunchProfile &read)
{
    const QStringList tokens = Tokens(read.arguments);
    FuzzCheck(read.arguments == ReaderForm(tokens),
              "read arguments hold each token after one space", ReaderForm(tokens), read.arguments);
    for (const QString &token : tokens)
        FuzzCheck(HeaderSection(token) < 0, "read arguments hold no section header", QString(),
                  token);

    const QString composed = GetProfileArguments(read, Sections());
    const LaunchProfile again = Read(composed);
    FuzzCheck(again.selections == read.selections, "a second round trip keeps the selections");
    FuzzCheck(again.arguments == read.arguments, "a second round trip keeps the arguments",
              read.arguments, again.arguments);
    FuzzCheck(GetProfileArguments(again, Sections()) == composed,
              "a second round trip composes the same string");
}

void CheckComposedProfile(InputBytes &input)
{
    LaunchProfile profile;
    for (int k = 0; k < 4; ++k)
        profile.selections.append(input.Int32());
    profile.arguments = MakeText(input);

    const QString composed = GetProfileArguments(profile, Sections());
    QString pairs;
    for (int s = ResolutionSection; s <= UserAgentSection; ++s)
        pairs +=
            Sections().at(s).header + u' ' + QString::number(profile.selections.at(s - 1)) + u' ';
    FuzzCheck(composed.startsWith(pairs), "the string starts with the four pairs", pairs, composed);
    FuzzCheck(composed.mid(pairs.size()) == profile.arguments.trimmed(),
              "the free part is the trimmed free text", profile.arguments.trimmed(),
              composed.mid(pairs.size()));

    const LaunchProfile read = Read(composed);
    const QStringList freeTokens = Tokens(profile.arguments);
    QList<bool> headerInText(SectionCount, false);
    for (const QString &token : freeTokens) {
        if (HeaderSection(token) >= 0)
            headerInText[HeaderSection(token)] = true;
    }

    if (!headerInText.contains(true)) {
        FuzzCheck(read.selections == profile.selections, "the selections survive");
        FuzzCheck(read.arguments == ReaderForm(freeTokens),
                  "the free text survives with single spaces", ReaderForm(freeTokens),
                  read.arguments);
    } else {
        // A header in the free text may set its selection and swallow the number after
        // it; everything else stays as it was.
        for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
            if (!headerInText.at(s))
                FuzzCheck(read.selections.at(s - 1) == profile.selections.at(s - 1),
                          "a selection whose header is not in the free text survives");
        }
        const QStringList readTokens = Tokens(read.arguments);
        qsizetype next = 0;
        for (const QString &token : readTokens) {
            while (next < freeTokens.size() && freeTokens.at(next) != token)
                ++next;
            FuzzCheck(next < freeTokens.size(), "read free text comes from the free text",
                      ReaderForm(freeTokens), read.arguments);
            ++next;
        }
    }
    CheckFixpoint(read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte chooses: odd for a composed profile, even for a stored value.
    InputBytes input(data, size);
    if (input.Byte() & 1)
        CheckComposedProfile(input);
    else
        CheckFixpoint(Read(MakeText(input)));
    return 0;
}
