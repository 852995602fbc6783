#include "emulatoroptions.h"

#include <QRegularExpression>

namespace {

bool IsOptionName(const QString &argument)
{
    using namespace EmulatorOption;
    for (QLatin1String name : {WindowSize, Ppi, Input, UserAgent, ProfileName, DumpMetrics}) {
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

    EmulatorSettings Run()
    {
        while (position < arguments.size()) {
            const QString argument = arguments.at(position++);
            if (argument == EmulatorOption::EngineArguments)
                break;
            if (argument.startsWith(QLatin1Char('-')))
                ReadOption(argument);
            else if (settings.address.isEmpty())
                settings.address = argument;
            else
                Report(QStringLiteral("extra argument \"%1\" ignored; only the first address is "
                                      "opened")
                           .arg(Printable(argument)));
        }
        return settings;
    }

private:
    void ReadOption(const QString &option)
    {
        using namespace EmulatorOption;
        if (!IsOptionName(option)) {
            Report(QStringLiteral("unknown option \"%1\" ignored").arg(Printable(option)));
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
            ok = ReadText(value, settings.userAgent);
        else if (option == ProfileName)
            ok = ReadText(value, settings.profileName);
        else
            ok = ReadPath(value, settings.dumpMetricsPath);
        if (!ok) {
            Report(QStringLiteral("%1 \"%2\" is not valid (%3); %4")
                       .arg(option, Printable(value), ExpectedNote(option), DefaultNote(option)));
        }
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
        settings.windowSize = size;
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
        settings.ppi = ppi;
        return true;
    }

    bool ReadInput(const QString &value)
    {
        for (InputMethod input : {InputMethod::Mouse, InputMethod::Touch, InputMethod::Keys}) {
            if (value == InputMethodName(input)) {
                settings.input = input;
                return true;
            }
        }
        return false;
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
        if (option == DumpMetrics)
            return QStringLiteral("expected a file path");
        return QStringLiteral("expected text without control characters");
    }

    static QString DefaultNote(const QString &option)
    {
        using namespace EmulatorOption;
        const EmulatorSettings defaults;
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
        return QStringLiteral("no metrics are written");
    }

    void Report(const QString &problem) { settings.problems.append(problem); }

    const QStringList &arguments;
    qsizetype position = 0;
    EmulatorSettings settings;
};

} // namespace

EmulatorSettings ParseEmulatorArguments(const QStringList &arguments)
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
