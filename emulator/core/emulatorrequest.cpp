#include "emulatorrequest.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

bool IsHelpOption(const QString &argument)
{
    return argument == EmulatorOption::Help || argument == EmulatorOption::LongHelp;
}

bool IsOptionName(const QString &argument)
{
    using namespace EmulatorOption;
    for (QLatin1String name : {WindowSize, Ppi, Input, UserAgent, ProfileName, DumpMetrics, Zoom,
                               Orientation, Screenshot, Follow, LiveReload, StateFile}) {
        if (argument == name)
            return true;
    }
    return IsHelpOption(argument);
}

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

class Parser
{
public:
    explicit Parser(const QStringList &given) : arguments(given) {}

    EmulatorRequest Run()
    {
        while (position < arguments.size()) {
            const QString argument = arguments.at(position++);
            if (argument == EmulatorOption::EngineArguments)
                break;
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
    void ReadOption(const QString &option)
    {
        using namespace EmulatorOption;
        if (!IsOptionName(option)) {
            Report(QStringLiteral("unknown option \"%1\" ignored").arg(Printable(option)));
            return;
        }
        if (IsHelpOption(option)) {
            request.helpRequested = true;
            return;
        }
        // A following option name is not taken as a value, so one forgotten value does not
        // swallow the next option.
        if (position >= arguments.size() || IsOptionName(arguments.at(position))) {
            Report(QStringLiteral("%1 needs a value; %2").arg(option, DefaultNote(option)));
            return;
        }
        const QString value = arguments.at(position++);
        bool ok = true;
        if (option == WindowSize)
            ok = ReadWindowSize(value);
        else if (option == Ppi)
            ok = ReadPpi(value);
        else if (option == Input)
            ok = ReadInput(value);
        else if (option == UserAgent)
            ok = ReadText(value, request.userAgent);
        else if (option == ProfileName)
            ok = ReadText(value, request.profileName);
        else if (option == Zoom)
            ok = ReadZoom(value);
        else if (option == Orientation)
            ok = ReadOrientation(value);
        else if (option == Screenshot)
            ok = ReadPath(value, request.screenshotPath);
        else if (option == Follow)
            ok = ReadSwitch(value, request.follow);
        else if (option == LiveReload)
            ok = ReadSwitch(value, request.liveReload);
        else if (option == StateFile)
            ok = ReadPath(value, request.stateFilePath);
        else
            ok = ReadPath(value, request.dumpMetricsPath);
        if (ok)
            accepted.append(option);
        else
            Report(QStringLiteral("%1 \"%2\" is not valid (%3); %4")
                       .arg(option, Printable(value), ExpectedNote(option), DefaultNote(option)));
    }

    bool ReadWindowSize(const QString &value)
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

    bool ReadPpi(const QString &value)
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

    bool ReadInput(const QString &value)
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
    bool ReadZoom(const QString &value)
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

    bool ReadOrientation(const QString &value)
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

    static bool ReadSwitch(const QString &value, bool &target)
    {
        if (value != EmulatorOption::On && value != EmulatorOption::Off)
            return false;
        target = value == EmulatorOption::On;
        return true;
    }

    // Control characters would end up in request headers and the window title.
    static bool ReadText(const QString &value, QString &target)
    {
        if (value.trimmed().isEmpty() || HasControlCharacter(value))
            return false;
        target = value;
        return true;
    }

    static bool ReadPath(const QString &value, QString &target)
    {
        target = value;
        return !value.isEmpty();
    }

    static bool InSideRange(int side)
    {
        return side >= EmulatorOption::MinimumSide && side <= EmulatorOption::MaximumSide;
    }

    static QString ExpectedNote(const QString &option)
    {
        using namespace EmulatorOption;
        if (option == WindowSize)
            return QStringLiteral("expected WIDTHxHEIGHT, each from %1 to %2")
                .arg(MinimumSide)
                .arg(MaximumSide);
        if (option == Ppi)
            return QStringLiteral("expected a whole number from %1 to %2")
                .arg(MinimumPpi)
                .arg(MaximumPpi);
        if (option == Input)
            return QStringLiteral("expected %1, %2 or %3").arg(InputTouch, InputKeys, InputMouse);
        if (option == Zoom)
            return QStringLiteral("expected %1 or a percentage from %2 to %3")
                .arg(ZoomFit)
                .arg(MinimumZoomPercent)
                .arg(MaximumZoomPercent);
        if (option == Orientation)
            return QStringLiteral("expected %1 or %2")
                .arg(OrientationPortrait, OrientationLandscape);
        if (option == DumpMetrics || option == Screenshot || option == StateFile)
            return QStringLiteral("expected a file path");
        if (option == Follow || option == LiveReload)
            return QStringLiteral("expected %1 or %2").arg(On, Off);
        return QStringLiteral("expected text without control characters");
    }

    // What stands in for a value that cannot be used: an earlier good one, or the default.
    QString DefaultNote(const QString &option) const
    {
        using namespace EmulatorOption;
        if (accepted.contains(option))
            return QStringLiteral("keeping the earlier value");
        const EmulatorRequest defaults;
        if (option == WindowSize)
            return QStringLiteral("using %1x%2")
                .arg(defaults.windowSize.width())
                .arg(defaults.windowSize.height());
        if (option == Ppi)
            return QStringLiteral("using %1").arg(defaults.ppi);
        if (option == Input)
            return QStringLiteral("using %1").arg(InputMethodName(defaults.input));
        if (option == UserAgent)
            return QStringLiteral("using the browser's own user agent");
        if (option == ProfileName)
            return QStringLiteral("using private browsing data");
        if (option == Zoom)
            return QStringLiteral("fitting the screen");
        if (option == Orientation)
            return QStringLiteral("keeping the window size's orientation");
        if (option == Screenshot)
            return QStringLiteral("no screenshot is taken");
        if (option == Follow || option == LiveReload)
            return QStringLiteral("using %1").arg(On);
        if (option == StateFile)
            return QStringLiteral("no state is written");
        return QStringLiteral("no metrics are written");
    }

    void Report(const QString &problem) { request.problems.append(problem); }

    const QStringList &arguments;
    qsizetype position = 0;
    EmulatorRequest request;
    QStringList accepted; // the options given a good value so far
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

QString EmulatorHelpText()
{
    using namespace EmulatorOption;
    const EmulatorRequest defaults;
    const QString either = QStringLiteral("%1|%2");
    const std::pair<QString, QString> options[] = {
        {WindowSize + QLatin1String(" WxH"),
         QStringLiteral("screen in device pixels, sides %1 to %2 (default %3x%4)")
             .arg(MinimumSide)
             .arg(MaximumSide)
             .arg(defaults.windowSize.width())
             .arg(defaults.windowSize.height())},
        {Ppi + QLatin1String(" N"),
         QStringLiteral("density %1 to %2; the ratio is N/%3 (default %4)")
             .arg(MinimumPpi)
             .arg(MaximumPpi)
             .arg(BaselinePpi)
             .arg(defaults.ppi)},
        {Input + QLatin1Char(' ') + either.arg(InputTouch, InputKeys) + QLatin1Char('|') +
             InputMouse,
         QStringLiteral("how the page is used (default %1)").arg(InputMethodName(defaults.input))},
        {UserAgent + QLatin1String(" TEXT"),
         QStringLiteral("the browser's user agent, as one argument")},
        {ProfileName + QLatin1String(" NAME"),
         QStringLiteral("keep browsing data under this name (default: private)")},
        {Zoom + QLatin1Char(' ') + either.arg(ZoomFit, QLatin1String("PERCENT")),
         QStringLiteral("display zoom, %1 to %2; the page sees no change (default %3)")
             .arg(MinimumZoomPercent)
             .arg(MaximumZoomPercent)
             .arg(ZoomFit)},
        {Orientation + QLatin1Char(' ') + either.arg(OrientationPortrait, OrientationLandscape),
         QStringLiteral("turn the screen to this orientation")},
        {Screenshot + QLatin1String(" FILE"),
         QStringLiteral("save the loaded page's viewport as PNG, then exit")},
        {DumpMetrics + QLatin1String(" FILE"),
         QStringLiteral("write the loaded page's metrics as JSON, then exit")},
        {Follow + QLatin1Char(' ') + either.arg(On, Off),
         QStringLiteral("mirror navigation, scrolling and clicks of the group (default %1)")
             .arg(On)},
        {LiveReload + QLatin1Char(' ') + either.arg(On, Off),
         QStringLiteral("reload a file page when its folder changes (default %1)").arg(On)},
        {StateFile + QLatin1String(" FILE"),
         QStringLiteral("keep the page's address, scroll and title there as JSON")},
        {Help + QLatin1String(", ") + LongHelp, QStringLiteral("show this help, then exit")},
        {EngineArguments + QLatin1String(" ..."),
         QStringLiteral("pass the rest to the browser engine")},
    };
    qsizetype width = 0;
    for (const auto &option : options)
        width = std::max(width, option.first.size());
    QString text = QStringLiteral("Usage: VelmoraMobileEmu [options] [address]\n");
    for (const auto &option : options)
        text += QLatin1String("  ") + option.first.leftJustified(width + 2) + option.second +
                QLatin1Char('\n');
    return text;
}

void Complain(const QString &message)
{
    std::fprintf(stderr, "VelmoraMobileEmu: %s\n", qUtf8Printable(message));
}
