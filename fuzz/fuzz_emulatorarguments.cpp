// The emulator's command line, split from the input at NUL bytes: whatever it holds, the
// parser keeps every value within its bounds, reports each unknown option and each
// argument it cannot use (one line each, at most one per argument), and what it accepted
// reads back the same, without a problem, from a command line made of it.

#include "core/emulatorrequest.h"
#include "fuzzcheck.h"

#include <QByteArray>
#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool IsOption(const QString &argument)
{
    using namespace EmulatorOption;
    for (QLatin1String name : {WindowSize,    Ppi,         Input,       UserAgent,
                               ProfileName,   DumpMetrics, Zoom,        Orientation,
                               Screenshot,    Follow,      LiveReload,  StateFile,
                               Chromium,      Help,        LongHelp,    EmulatorOption::ColorScheme,
                               ReducedMotion, Network,     CpuSlowdown, Geolocation,
                               SafeArea}) {
        if (argument == name)
            return true;
    }
    return false;
}

bool HasControlCharacter(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// Free text as the parser takes it: not blank, no control characters.
bool UsableText(const QString &text)
{
    return text.isEmpty() || (!text.trimmed().isEmpty() && !HasControlCharacter(text));
}

QStringList CommandLine(const EmulatorRequest &request)
{
    using namespace EmulatorOption;
    QStringList line{
        WindowSize,
        QStringLiteral("%1x%2").arg(request.windowSize.width()).arg(request.windowSize.height()),
        Ppi,
        QString::number(request.ppi),
        Input,
        InputMethodName(request.input),
        Zoom,
        request.zoomPercent == 0 ? QString(ZoomFit) : QString::number(request.zoomPercent),
        Follow,
        request.follow ? On : Off,
        LiveReload,
        request.liveReload ? On : Off};
    if (request.orientation != ScreenOrientation::Natural)
        line << Orientation
             << (request.orientation == ScreenOrientation::Portrait ? OrientationPortrait
                                                                    : OrientationLandscape);
    const std::pair<QLatin1String, QString> texts[] = {
        {UserAgent, request.userAgent},         {ProfileName, request.profileName},
        {DumpMetrics, request.dumpMetricsPath}, {Screenshot, request.screenshotPath},
        {StateFile, request.stateFilePath},     {Chromium, request.chromiumPath}};
    for (const auto &[option, value] : texts) {
        if (!value.isEmpty())
            line << option << value;
    }
    const PageConditions &c = request.conditions;
    if (c.colorScheme != ::ColorScheme::System)
        line << EmulatorOption::ColorScheme << ColorSchemeName(c.colorScheme);
    if (c.reducedMotion)
        line << ReducedMotion;
    if (c.network != NetworkCondition::Online)
        line << Network << NetworkConditionName(c.network);
    line << CpuSlowdown << QString::number(c.cpuSlowdown) << SafeArea
         << SafeAreaText(request.safeArea);
    if (c.located)
        line << Geolocation << GeolocationText(c);
    if (request.helpRequested)
        line << Help;
    if (!request.address.isEmpty())
        line << request.address;
    return line;
}

QString Fields(const EmulatorRequest &r)
{
    return QStringList({QString::number(r.windowSize.width()),
                        QString::number(r.windowSize.height()),
                        QString::number(r.ppi),
                        InputMethodName(r.input),
                        r.userAgent,
                        r.profileName,
                        r.dumpMetricsPath,
                        r.screenshotPath,
                        QString::number(r.zoomPercent),
                        QString::number(int(r.orientation)),
                        QString::number(r.follow),
                        QString::number(r.liveReload),
                        r.stateFilePath,
                        r.chromiumPath,
                        QString::number(r.helpRequested),
                        r.address,
                        ColorSchemeName(r.conditions.colorScheme),
                        QString::number(r.conditions.reducedMotion),
                        NetworkConditionName(r.conditions.network),
                        QString::number(r.conditions.cpuSlowdown),
                        GeolocationText(r.conditions),
                        SafeAreaText(r.safeArea)})
        .join(QChar(0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace EmulatorOption;
    QStringList arguments;
    if (size > 0) {
        const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
        for (const QByteArray &piece : input.split('\0'))
            arguments.append(QString::fromUtf8(piece));
    }
    const EmulatorRequest request = ParseEmulatorArguments(arguments);

    const QSize side = request.windowSize;
    FuzzCheck(side.width() >= MinimumSide && side.width() <= MaximumSide &&
                  side.height() >= MinimumSide && side.height() <= MaximumSide,
              "the window size is within its bounds");
    FuzzCheck(request.ppi >= MinimumPpi && request.ppi <= MaximumPpi, "ppi is within its bounds");
    FuzzCheck(request.zoomPercent == 0 || (request.zoomPercent >= MinimumZoomPercent &&
                                           request.zoomPercent <= MaximumZoomPercent),
              "zoom is fit or within its bounds");
    const PageConditions &c = request.conditions;
    FuzzCheck(c.cpuSlowdown >= 1 && c.cpuSlowdown <= MaximumCpuSlowdown &&
                  std::abs(c.latitude) <= 90 && std::abs(c.longitude) <= 180,
              "CPU slow-down and location are within their bounds");
    const QMargins &insets = request.safeArea;
    for (int inset : {insets.top(), insets.right(), insets.bottom(), insets.left()})
        FuzzCheck(inset >= 0 && inset <= MaximumSafeArea, "the safe area is within its bounds");
    FuzzCheck(UsableText(request.userAgent) && UsableText(request.profileName),
              "free text is neither blank nor holds control characters");
    FuzzCheck(request.helpRequested == (arguments.contains(Help) || arguments.contains(LongHelp)),
              "help is asked for exactly by its option");
    FuzzCheck(request.address.isEmpty() || (arguments.contains(request.address) &&
                                            !request.address.startsWith(QLatin1Char('-'))),
              "the address is an argument that is no option");

    FuzzCheck(request.problems.size() <= arguments.size(), "at most one problem per argument");
    for (const QString &problem : request.problems)
        FuzzCheck(!problem.isEmpty() && !HasControlCharacter(problem),
                  "each problem is one printable line", QString(), problem);
    // What looks like an option and is none is told, unless it follows -profile-name: a
    // profile name is the user's own and may look like anything but a known option.
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const bool looksLikeOption = argument.size() > 1 && argument.front() == QLatin1Char('-') &&
                                     !argument.at(1).isDigit();
        if (!looksLikeOption || IsOption(argument) || (i > 0 && arguments.at(i - 1) == ProfileName))
            continue;
        FuzzCheck(!request.problems.isEmpty(), "an unknown option is a problem", QString(),
                  argument);
        FuzzCheck(HasControlCharacter(argument) ||
                      request.problems.join(QChar(0)).contains(argument),
                  "the unknown option is named", QString(), argument);
    }

    const EmulatorRequest again = ParseEmulatorArguments(CommandLine(request));
    FuzzCheck(again.problems.isEmpty(), "what was accepted is accepted again", QString(),
              again.problems.join(QChar(0)));
    FuzzCheck(Fields(again) == Fields(request), "what was accepted reads back the same",
              Fields(request), Fields(again));
    return 0;
}
