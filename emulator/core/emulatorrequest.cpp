#include "core/emulatorrequest.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

bool HasControlCharacter(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// A value as it can be shown within one line of a message.
QString Printable(const QString &value)
{
    QString shown = value;
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return shown;
}

// "-x", not "-" nor a negative number: a mistyped or unknown option rather than a value.
bool LooksLikeOption(const QString &argument)
{
    return argument.size() > 1 && argument.front() == QLatin1Char('-') && !argument.at(1).isDigit();
}

bool InSideRange(int side)
{
    return side >= EmulatorOption::MinimumSide && side <= EmulatorOption::MaximumSide;
}

bool ReadWindowSize(const QString &value, EmulatorRequest &request)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})[xX]([0-9]{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(value);
    if (!match.hasMatch())
        return false;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (!InSideRange(size.width()) || !InSideRange(size.height()))
        return false;
    request.windowSize = size;
    return true;
}

bool ReadPpi(const QString &value, EmulatorRequest &request)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,4}$"));
    if (!pattern.match(value).hasMatch())
        return false;
    const int ppi = value.toInt();
    if (ppi < EmulatorOption::MinimumPpi || ppi > EmulatorOption::MaximumPpi)
        return false;
    request.ppi = ppi;
    return true;
}

bool ReadInput(const QString &value, EmulatorRequest &request)
{
    for (InputMethod input : {InputMethod::Mouse, InputMethod::Touch, InputMethod::Keys}) {
        if (value == InputMethodName(input)) {
            request.input = input;
            return true;
        }
    }
    return false;
}

// "fit", or a whole percentage; a trailing percent sign is allowed, as menus show it.
bool ReadZoom(const QString &value, EmulatorRequest &request)
{
    using namespace EmulatorOption;
    if (value.compare(ZoomFit, Qt::CaseInsensitive) == 0) {
        request.zoomPercent = 0;
        return true;
    }
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,4})%?$"));
    const QRegularExpressionMatch match = pattern.match(value);
    const int percent = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (percent < MinimumZoomPercent || percent > MaximumZoomPercent)
        return false;
    request.zoomPercent = percent;
    return true;
}

bool ReadOrientation(const QString &value, EmulatorRequest &request)
{
    using namespace EmulatorOption;
    if (value == OrientationPortrait)
        request.orientation = ScreenOrientation::Portrait;
    else if (value == OrientationLandscape)
        request.orientation = ScreenOrientation::Landscape;
    else
        return false;
    return true;
}

bool ReadColorScheme(const QString &value, EmulatorRequest &request)
{
    for (ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        if (value == ColorSchemeName(scheme)) {
            request.conditions.colorScheme = scheme;
            return true;
        }
    }
    return false;
}

// "online" is what the menu calls no emulation, not an option value: leaving the option out
// says it.
bool ReadNetwork(const QString &value, EmulatorRequest &request)
{
    for (NetworkCondition network :
         {NetworkCondition::Offline, NetworkCondition::Slow3G, NetworkCondition::Fast4G}) {
        if (value == NetworkConditionName(network)) {
            request.conditions.network = network;
            return true;
        }
    }
    return false;
}

bool ReadCpuSlowdown(const QString &value, EmulatorRequest &request)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,2}$"));
    const int rate = pattern.match(value).hasMatch() ? value.toInt() : 0;
    if (rate < 1 || rate > EmulatorOption::MaximumCpuSlowdown)
        return false;
    request.conditions.cpuSlowdown = rate;
    return true;
}

// Decimal degrees, as maps give them; blanks after the comma are allowed.
bool ReadGeolocation(const QString &value, EmulatorRequest &request)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([-+]?[0-9]{1,3}(?:\\.[0-9]{1,12})?)\\s*,\\s*"
                       "([-+]?[0-9]{1,3}(?:\\.[0-9]{1,12})?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(value);
    if (!match.hasMatch())
        return false;
    const double latitude = match.captured(1).toDouble();
    const double longitude = match.captured(2).toDouble();
    if (std::abs(latitude) > 90 || std::abs(longitude) > 180)
        return false;
    request.conditions.located = true;
    request.conditions.latitude = latitude;
    request.conditions.longitude = longitude;
    return true;
}

bool ReadSafeArea(const QString &value, EmulatorRequest &request)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{1,4}),([0-9]{1,4}),([0-9]{1,4}),([0-9]{1,4})$"));
    const QRegularExpressionMatch match = pattern.match(QString(value).remove(QLatin1Char(' ')));
    if (!match.hasMatch())
        return false;
    int sides[4];
    for (int i = 0; i < 4; ++i) {
        sides[i] = match.captured(i + 1).toInt();
        if (sides[i] > EmulatorOption::MaximumSafeArea)
            return false;
    }
    request.safeArea = QMargins(sides[3], sides[0], sides[1], sides[2]);
    return true;
}

bool ReadSwitch(const QString &value, bool &target)
{
    if (value != EmulatorOption::On && value != EmulatorOption::Off)
        return false;
    target = value == EmulatorOption::On;
    return true;
}

// Control characters would end up in request headers and the window title.
bool ReadText(const QString &value, QString &target)
{
    if (value.trimmed().isEmpty() || HasControlCharacter(value))
        return false;
    target = value;
    return true;
}

bool ReadPath(const QString &value, QString &target)
{
    if (value.isEmpty())
        return false;
    target = value;
    return true;
}

using Reader = bool (*)(const QString &value, EmulatorRequest &request);

// A reader of one field of the request, for the options that share a kind of value.
template <auto Read, auto Field> bool Into(const QString &value, EmulatorRequest &request)
{
    return Read(value, request.*Field);
}

// One option: all that the parser, its messages and -help know of it.
struct Option
{
    QLatin1String name;
    QString placeholder;    // the value in -help; empty: the option takes no value
    QString help;           // the rest of its -help line
    QString expected;       // what a usable value looks like
    QString fallback;       // what stands in while no usable value was given
    Reader read;            // stores a usable value in the request; false for any other
    bool dashValue = false; // the value may look like an option (profile names are the user's)
    QLatin1String alias{};  // another spelling, or empty
};

const std::vector<Option> &Options()
{
    using namespace EmulatorOption;
    static const std::vector<Option> options = [] {
        const EmulatorRequest defaults;
        const QString either = QStringLiteral("%1|%2");
        const QString onOff = either.arg(On, Off);
        const QString onOrOff = QStringLiteral("expected %1 or %2").arg(On, Off);
        const QString file = QStringLiteral("FILE");
        const QString aFile = QStringLiteral("expected a file path");
        const QString text = QStringLiteral("expected text without control characters");
        std::vector<Option> table = {
            {WindowSize, QStringLiteral("WxH"),
             QStringLiteral("screen in device pixels, sides %1 to %2 (default %3x%4)")
                 .arg(MinimumSide)
                 .arg(MaximumSide)
                 .arg(defaults.windowSize.width())
                 .arg(defaults.windowSize.height()),
             QStringLiteral("expected WIDTHxHEIGHT, each from %1 to %2")
                 .arg(MinimumSide)
                 .arg(MaximumSide),
             QStringLiteral("using %1x%2")
                 .arg(defaults.windowSize.width())
                 .arg(defaults.windowSize.height()),
             ReadWindowSize},
            {Ppi, QStringLiteral("N"),
             QStringLiteral("density %1 to %2; the ratio is N/%3 (default %4)")
                 .arg(MinimumPpi)
                 .arg(MaximumPpi)
                 .arg(BaselinePpi)
                 .arg(defaults.ppi),
             QStringLiteral("expected a whole number from %1 to %2")
                 .arg(MinimumPpi)
                 .arg(MaximumPpi),
             QStringLiteral("using %1").arg(defaults.ppi), ReadPpi},
            {Input, either.arg(InputTouch, InputKeys) + QLatin1Char('|') + InputMouse,
             QStringLiteral("how the page is used (default %1)")
                 .arg(InputMethodName(defaults.input)),
             QStringLiteral("expected %1, %2 or %3").arg(InputTouch, InputKeys, InputMouse),
             QStringLiteral("using %1").arg(InputMethodName(defaults.input)), ReadInput},
            {UserAgent, QStringLiteral("TEXT"),
             QStringLiteral("the browser's user agent, as one argument"), text,
             QStringLiteral("using the browser's own user agent"),
             Into<ReadText, &EmulatorRequest::userAgent>},
            {ProfileName, QStringLiteral("NAME"),
             QStringLiteral("keep browsing data under this name (default: private)"), text,
             QStringLiteral("using private browsing data"),
             Into<ReadText, &EmulatorRequest::profileName>, true},
            {Zoom, either.arg(ZoomFit, QLatin1String("PERCENT")),
             QStringLiteral("display zoom, %1 to %2; the page sees no change (default %3)")
                 .arg(MinimumZoomPercent)
                 .arg(MaximumZoomPercent)
                 .arg(ZoomFit),
             QStringLiteral("expected %1 or a percentage from %2 to %3")
                 .arg(ZoomFit)
                 .arg(MinimumZoomPercent)
                 .arg(MaximumZoomPercent),
             QStringLiteral("fitting the screen"), ReadZoom},
            {Orientation, either.arg(OrientationPortrait, OrientationLandscape),
             QStringLiteral("turn the screen to this orientation"),
             QStringLiteral("expected %1 or %2").arg(OrientationPortrait, OrientationLandscape),
             QStringLiteral("keeping the window size's orientation"), ReadOrientation},
            {Screenshot, file, QStringLiteral("save the loaded page's viewport as PNG, then exit"),
             aFile, QStringLiteral("no screenshot is taken"),
             Into<ReadPath, &EmulatorRequest::screenshotPath>},
            {DumpMetrics, file,
             QStringLiteral("write the loaded page's metrics as JSON, then exit"), aFile,
             QStringLiteral("no metrics are written"),
             Into<ReadPath, &EmulatorRequest::dumpMetricsPath>},
            {Follow, onOff,
             QStringLiteral("mirror navigation, scrolling and clicks of the group (default %1)")
                 .arg(On),
             onOrOff, QStringLiteral("using %1").arg(On),
             Into<ReadSwitch, &EmulatorRequest::follow>},
            {LiveReload, onOff,
             QStringLiteral("reload a file page when its folder changes (default %1)").arg(On),
             onOrOff, QStringLiteral("using %1").arg(On),
             Into<ReadSwitch, &EmulatorRequest::liveReload>},
            {Watch, QStringLiteral("DIR"),
             QStringLiteral("with live reload, reload any page, also served over http(s), "
                            "when a file under DIR changes"),
             QStringLiteral("expected a folder's path"),
             QStringLiteral("watching a file page's own folder"),
             Into<ReadPath, &EmulatorRequest::watchFolder>},
            {StateFile, file,
             QStringLiteral("keep the page's address, scroll and title there as JSON"), aFile,
             QStringLiteral("no state is written"),
             Into<ReadPath, &EmulatorRequest::stateFilePath>},
            {EmulatorOption::ColorScheme, either.arg(SchemeDark, SchemeLight),
             QStringLiteral("colour scheme pages are asked to prefer (default: the system's)"),
             QStringLiteral("expected %1 or %2").arg(SchemeDark, SchemeLight),
             QStringLiteral("using the system's"), ReadColorScheme},
            {ReducedMotion,
             {},
             QStringLiteral("pages are asked to reduce motion"),
             {},
             {},
             [](const QString &, EmulatorRequest &request) {
                 request.conditions.reducedMotion = true;
                 return true;
             }},
            {Network, either.arg(NetworkOffline, NetworkSlow3G) + QLatin1Char('|') + NetworkFast4G,
             QStringLiteral("throttle the page's network, or cut it (default: neither)"),
             QStringLiteral("expected %1, %2 or %3")
                 .arg(NetworkOffline, NetworkSlow3G, NetworkFast4G),
             QStringLiteral("unthrottled"), ReadNetwork},
            {CpuSlowdown, QStringLiteral("N"),
             QStringLiteral("run the page's scripts and layout N times slower, up to %1")
                 .arg(MaximumCpuSlowdown),
             QStringLiteral("expected a whole number from 1 to %1").arg(MaximumCpuSlowdown),
             QStringLiteral("at full speed"), ReadCpuSlowdown},
            {Geolocation, QStringLiteral("LAT,LON"),
             QStringLiteral("pages may locate the device here (default: refused)"),
             QStringLiteral("expected degrees LAT,LON, -90 to 90 and -180 to 180"),
             QStringLiteral("location requests are refused"), ReadGeolocation},
            {SafeArea, QStringLiteral("T,R,B,L"),
             QStringLiteral("insets of a notch in CSS pixels (default 0,0,0,0)"),
             QStringLiteral("expected four whole numbers T,R,B,L from 0 to %1")
                 .arg(MaximumSafeArea),
             QStringLiteral("using none"), ReadSafeArea},
            {Chromium, QStringLiteral("PATH"),
             QStringLiteral("the browser program that renders the pages (see below)"),
             QStringLiteral("expected a program's path"),
             QStringLiteral("using $%1, else %2")
                 .arg(QLatin1String(ChromiumVariable), DefaultChromium),
             Into<ReadPath, &EmulatorRequest::chromiumPath>},
            {Help,
             {},
             QStringLiteral("show this help, then exit"),
             {},
             {},
             [](const QString &, EmulatorRequest &request) {
                 request.helpRequested = true;
                 return true;
             },
             false,
             LongHelp},
        };
        return table;
    }();
    return options;
}

const Option *FindOption(const QString &argument)
{
    for (const Option &option : Options()) {
        if (argument == option.name || (!option.alias.isEmpty() && argument == option.alias))
            return &option;
    }
    return nullptr;
}

class Parser
{
public:
    explicit Parser(const QStringList &given) : arguments(given) {}

    EmulatorRequest Run()
    {
        while (position < arguments.size()) {
            const QString argument = arguments.at(position++);
            if (argument.startsWith(QLatin1Char('-')))
                ReadOption(argument);
            else if (request.address.isEmpty())
                request.address = argument;
            else
                Report(QStringLiteral("extra argument \"%1\" ignored; only the first address is "
                                      "opened")
                           .arg(Printable(argument)));
        }
        return request;
    }

private:
    void ReadOption(const QString &argument)
    {
        const Option *option = FindOption(argument);
        if (option == nullptr) {
            Report(QStringLiteral("unknown option \"%1\" ignored").arg(Printable(argument)));
            return;
        }
        if (option->placeholder.isEmpty()) {
            option->read(QString(), request);
            return;
        }
        // Neither a known option nor, mostly, anything that looks like one is taken as a
        // value, so one forgotten value does not swallow the next option.
        if (position >= arguments.size() || FindOption(arguments.at(position)) != nullptr ||
            (!option->dashValue && LooksLikeOption(arguments.at(position)))) {
            Report(QStringLiteral("%1 needs a value; %2").arg(option->name, Fallback(*option)));
            return;
        }
        const QString value = arguments.at(position++);
        if (option->read(value, request))
            accepted.append(option);
        else
            Report(QStringLiteral("%1 \"%2\" is not valid (%3); %4")
                       .arg(option->name, Printable(value), option->expected, Fallback(*option)));
    }

    QString Fallback(const Option &option) const
    {
        return accepted.contains(&option) ? QStringLiteral("keeping the earlier value")
                                          : option.fallback;
    }

    void Report(const QString &problem) { request.problems.append(problem); }

    const QStringList &arguments;
    qsizetype position = 0;
    EmulatorRequest request;
    QList<const Option *> accepted; // the options given a usable value so far
};

} // namespace

EmulatorRequest ParseEmulatorArguments(const QStringList &arguments)
{
    return Parser(arguments).Run();
}

QString InputMethodName(InputMethod input)
{
    switch (input) {
    case InputMethod::Touch:
        return EmulatorOption::InputTouch;
    case InputMethod::Keys:
        return EmulatorOption::InputKeys;
    case InputMethod::Mouse:
        break;
    }
    return EmulatorOption::InputMouse;
}

QString ColorSchemeName(ColorScheme scheme)
{
    switch (scheme) {
    case ColorScheme::Light:
        return EmulatorOption::SchemeLight;
    case ColorScheme::Dark:
        return EmulatorOption::SchemeDark;
    case ColorScheme::System:
        break;
    }
    return {};
}

QString NetworkConditionName(NetworkCondition network)
{
    switch (network) {
    case NetworkCondition::Offline:
        return EmulatorOption::NetworkOffline;
    case NetworkCondition::Slow3G:
        return EmulatorOption::NetworkSlow3G;
    case NetworkCondition::Fast4G:
        return EmulatorOption::NetworkFast4G;
    case NetworkCondition::Online:
        break;
    }
    return EmulatorOption::NetworkOnline;
}

QString GeolocationText(const PageConditions &conditions)
{
    if (!conditions.located)
        return {};
    // The shortest text that reads back as the same number.
    const auto degrees = [](double value) {
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    };
    return degrees(conditions.latitude) + QLatin1Char(',') + degrees(conditions.longitude);
}

QString SafeAreaText(const QMargins &insets)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(insets.top())
        .arg(insets.right())
        .arg(insets.bottom())
        .arg(insets.left());
}

QString ConditionsSummary(const PageConditions &conditions, const QMargins &safeArea)
{
    QStringList active;
    if (conditions.colorScheme != ColorScheme::System)
        active << QStringLiteral("%1 colour scheme").arg(ColorSchemeName(conditions.colorScheme));
    if (conditions.reducedMotion)
        active << QStringLiteral("reduced motion");
    if (conditions.network != NetworkCondition::Online)
        active << QStringLiteral("network %1").arg(NetworkConditionName(conditions.network));
    if (conditions.cpuSlowdown > 1)
        active << QStringLiteral("CPU %1x slower").arg(conditions.cpuSlowdown);
    if (conditions.located)
        active << QStringLiteral("located at %1").arg(GeolocationText(conditions));
    if (!safeArea.isNull())
        active << QStringLiteral("safe area %1").arg(SafeAreaText(safeArea));
    return active.isEmpty() ? QStringLiteral("nothing emulated") : active.join(QLatin1String(", "));
}

QString EmulatorHelpText()
{
    std::vector<std::pair<QString, QString>> lines;
    for (const Option &option : Options()) {
        QString shown = option.name;
        if (!option.alias.isEmpty())
            shown += QLatin1String(", ") + option.alias;
        if (!option.placeholder.isEmpty())
            shown += QLatin1Char(' ') + option.placeholder;
        lines.emplace_back(shown, option.help);
    }
    qsizetype width = 0;
    for (const auto &line : lines)
        width = std::max(width, line.first.size());
    QString text = QStringLiteral("Usage: VelmoraMobileEmu [options] [address]\n");
    for (const auto &line : lines)
        text += QLatin1String("  ") + line.first.leftJustified(width + 2) + line.second +
                QLatin1Char('\n');
    text += QStringLiteral("\nPages are rendered by the system's Chromium, driven over a private "
                           "pipe and shown in the\nemulator's window; the program is %1 PATH, "
                           "else $%2, else %3.\n")
                .arg(EmulatorOption::Chromium, QLatin1String(EmulatorOption::ChromiumVariable),
                     EmulatorOption::DefaultChromium);
    return text;
}

BrowserProgram ChromiumProgram(const EmulatorRequest &request)
{
    using namespace EmulatorOption;
    QString given = request.chromiumPath;
    QString source = Chromium;
    if (given.isEmpty()) {
        given = qEnvironmentVariable(ChromiumVariable);
        source = QLatin1Char('$') + QLatin1String(ChromiumVariable);
    }
    if (given.isEmpty()) {
        given = DefaultChromium;
        source.clear();
    }
    QString path = given;
    if (!given.contains(QLatin1Char('/')) && !given.contains(QLatin1Char('\\'))) {
        const QString found = QStandardPaths::findExecutable(given);
        if (!found.isEmpty())
            path = found;
    }
    const QFileInfo program(path);
    if (program.isFile() && program.isExecutable())
        return {program.absoluteFilePath(), {}};
    const QString from = source.isEmpty() ? QString() : QStringLiteral(" (from %1)").arg(source);
    return {path,
            QStringLiteral("no Chromium to render pages: %1%2 %3; install it (on Debian or "
                           "Ubuntu: apt-get install chromium) or name the program with %4 PATH "
                           "or $%5")
                .arg(Printable(path), from,
                     program.exists() ? QStringLiteral("is not an executable program")
                                      : QStringLiteral("does not exist"),
                     Chromium, QLatin1String(ChromiumVariable))};
}

void Complain(const QString &message)
{
    std::fprintf(stderr, "VelmoraMobileEmu: %s\n", qUtf8Printable(message));
}
