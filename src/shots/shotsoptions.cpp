#include "shotsoptions.h"

#include <QUrl>

namespace {

constexpr int MaximumJobs = 16;
constexpr int MaximumTimeoutSeconds = 3600;

bool ReadNumber(const QString &text, int minimum, int maximum, int &number)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        return false;
    number = value;
    return true;
}

void AddProfileName(ShotsOptions &options, const QString &name)
{
    if (!options.profileNames.contains(name))
        options.profileNames.append(name);
}

} // namespace

ShotsOptions ParseShotsArguments(const QStringList &arguments, const QString &workingDirectory)
{
    ShotsOptions options;
    options.outputDirectory = QStringLiteral("velmora-shots");
    QString page;
    const auto fail = [&options](const QString &message) {
        if (options.error.isEmpty())
            options.error = message;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            options.helpRequested = true;
            continue;
        }
        const bool takesValue =
            argument == QLatin1String("-o") || argument == QLatin1String("--profiles") ||
            argument == QLatin1String("--profile") || argument == QLatin1String("-j") ||
            argument == QLatin1String("--timeout");
        if (takesValue) {
            if (i + 1 >= arguments.size()) {
                fail(QStringLiteral("%1 needs a value").arg(argument));
                break;
            }
            const QString value = arguments.at(++i);
            if (argument == QLatin1String("-o")) {
                if (value.isEmpty())
                    fail(QStringLiteral("-o needs a directory"));
                options.outputDirectory = value;
            } else if (argument == QLatin1String("--profile")) {
                // Exactly one name, for names that hold a comma.
                AddProfileName(options, value);
            } else if (argument == QLatin1String("--profiles")) {
                for (const QString &part : value.split(QLatin1Char(','))) {
                    if (part.trimmed().isEmpty())
                        fail(QStringLiteral("--profiles \"%1\" holds an empty name").arg(value));
                    else
                        AddProfileName(options, part.trimmed());
                }
            } else if (argument == QLatin1String("-j")) {
                if (!ReadNumber(value, 1, MaximumJobs, options.jobs))
                    fail(QStringLiteral("-j takes a number from 1 to %1, not \"%2\"")
                             .arg(MaximumJobs)
                             .arg(value));
            } else if (!ReadNumber(value, 1, MaximumTimeoutSeconds, options.timeoutSeconds)) {
                fail(QStringLiteral("--timeout takes seconds from 1 to %1, not \"%2\"")
                         .arg(MaximumTimeoutSeconds)
                         .arg(value));
            }
        } else if (argument.startsWith(QLatin1Char('-'))) {
            fail(QStringLiteral("unknown option \"%1\"").arg(argument));
        } else if (page.isEmpty()) {
            page = argument;
        } else {
            fail(QStringLiteral("only one page can be given; \"%1\" is a second").arg(argument));
        }
    }
    if (options.helpRequested) {
        options.error.clear();
        return options;
    }
    if (page.isEmpty()) {
        fail(QStringLiteral("no page given"));
        return options;
    }
    // Absolute, so the emulator never takes it for an option or a file of its own folder.
    const QUrl url = QUrl::fromUserInput(page, workingDirectory, QUrl::AssumeLocalFile);
    if (!url.isValid() || url.isRelative())
        fail(QStringLiteral("\"%1\" is neither an address nor a file").arg(page));
    else
        options.address = url.toString(QUrl::FullyEncoded);
    return options;
}

QString ShotsHelpText()
{
    return QStringLiteral(
               "Usage: velmora-shots URL [-o DIR] [--profiles NAME,...] [-j N]\n"
               "\n"
               "Renders the page on every launcher profile (or the ones named) in the\n"
               "Velmora Mobile Emulator and writes one PNG per profile, at device pixels,\n"
               "and an index.html contact sheet. The profiles are those of your\n"
               "Launcher.ini, else the default catalogue.\n"
               "\n"
               "  URL                  an address, or a local file\n"
               "  -o DIR               where the pictures go (default: velmora-shots)\n"
               "  --profiles A,B,...   these profiles only, in this order\n"
               "  --profile NAME       this profile too (a name that holds a comma)\n"
               "  -j N                 emulators at once, 1 to %1 (default: 2)\n"
               "  --timeout SECONDS    stop an emulator after this long (default: 90)\n"
               "  -h, --help           show this help\n"
               "\n"
               "Exit status: 0 when every profile was rendered, 1 when some failed (they\n"
               "are named), 2 when nothing could be run.\n")
        .arg(MaximumJobs);
}
