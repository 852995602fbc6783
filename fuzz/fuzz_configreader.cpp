// Arbitrary bytes as the content of Launcher.ini. Whatever the reader makes of them, the
// model it gives must be complete, and the writer's output must be a fixpoint: reading it
// back gives the same model, and writing that again gives the same bytes.

#include "configreader.h"
#include "configwriter.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

void CheckComplete(const QList<ConfigSection> &sections, const QList<LaunchProfile> &profiles)
{
    FuzzCheck(sections.size() == SectionCount, "the model holds the five sections");
    for (const ConfigSection &section : sections)
        FuzzCheck(!section.entries.isEmpty(), "every section has at least one entry");
    FuzzCheck(profiles.size() == sections.at(ProfileSection).entries.size(),
              "one profile per [Profile] entry");
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        FuzzCheck(profiles.at(i).selections.size() == 4, "every profile has four selections");
        FuzzCheck(profiles.at(i).name == sections.at(ProfileSection).entries.at(i).name,
                  "profile k carries the name of entry k");
    }
}

void CheckSameModel(const QList<ConfigSection> &a, const QList<LaunchProfile> &pa,
                    const QList<ConfigSection> &b, const QList<LaunchProfile> &pb)
{
    for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
        const QList<ConfigEntry> &ea = a.at(s).entries;
        const QList<ConfigEntry> &eb = b.at(s).entries;
        FuzzCheck(ea.size() == eb.size(), "an option section keeps its entries",
                  QString::number(ea.size()), QString::number(eb.size()));
        for (qsizetype i = 0; i < ea.size(); ++i) {
            FuzzCheck(ea.at(i).name == eb.at(i).name, "an entry name survives writing",
                      ea.at(i).name, eb.at(i).name);
            FuzzCheck(ea.at(i).value == eb.at(i).value, "an entry value survives writing",
                      ea.at(i).value, eb.at(i).value);
        }
    }
    FuzzCheck(pa.size() == pb.size(), "the profiles survive writing");
    for (qsizetype i = 0; i < pa.size(); ++i) {
        FuzzCheck(pa.at(i).selections == pb.at(i).selections,
                  "a profile's selections survive writing", pa.at(i).name, pb.at(i).name);
        // Read arguments already have the reader's form: one space before each token.
        FuzzCheck(pa.at(i).arguments == pb.at(i).arguments, "a profile's arguments survive writing",
                  pa.at(i).arguments, pb.at(i).arguments);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    QList<ConfigSection> sections;
    QList<LaunchProfile> profiles;
    ReadConfigData(input, sections, profiles);
    CheckComplete(sections, profiles);

    const QByteArray first = FormatConfig(sections, profiles);
    CheckComplete(sections, profiles);

    QList<ConfigSection> readBack;
    QList<LaunchProfile> readBackProfiles;
    FuzzCheck(ReadConfigData(first, readBack, readBackProfiles) == CONFIG_VERSION,
              "the writer's output has the current version");
    CheckComplete(readBack, readBackProfiles);
    CheckSameModel(sections, profiles, readBack, readBackProfiles);

    const QByteArray second = FormatConfig(readBack, readBackProfiles);
    if (first != second)
        FuzzFail("writing what was written and read gives the same bytes", QString::fromUtf8(first),
                 QString::fromUtf8(second));
    return 0;
}
