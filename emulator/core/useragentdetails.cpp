#include "core/useragentdetails.h"

#include <QRegularExpression>

namespace {

// The operating system, from the first token found; more specific tokens come first (iOS
// user agents say "like Mac OS X", Android and Chrome OS ones say "Linux").
struct SystemRule
{
    const char *token;
    const char *platform; // navigator.platform
    const char *hintsPlatform;
    const char *architecture;
    const char *versionPattern; // captures the version, its parts split by '.' or '_'
    bool appleMobile;           // every browser there is WebKit, whatever it calls itself
};

const SystemRule Systems[] = {
    {"iPhone", "iPhone", "iOS", "", R"(OS (\d+(?:_\d+)*))", true},
    {"iPad", "iPad", "iOS", "", R"(OS (\d+(?:_\d+)*))", true},
    {"Android", "Linux armv8l", "Android", "", R"(Android (\d+(?:\.\d+)*))", false},
    {"Windows", "Win32", "Windows", "x86", R"(Windows NT (\d+(?:\.\d+)*))", false},
    {"CrOS", "Linux x86_64", "Chrome OS", "x86", R"(CrOS \S+ (\d+(?:\.\d+)*))", false},
    {"Macintosh", "MacIntel", "macOS", "x86", R"(Mac OS X (\d+(?:[._]\d+)*))", false},
    {"Linux", "Linux x86_64", "Linux", "x86", nullptr, false},
};

enum class Family
{
    Unknown,
    Chromium,
    WebKit,
    Gecko
};

// The browser, from the first rule whose product token appears with a version. The order
// matters: Samsung Internet carries "Chrome/" too, and Chrome carries "Safari/". Only the
// brands of the agents our catalogue ships are named; any other Chromium-based agent is
// told apart from Chrome by anything beyond Chrome's own form, and is plain Chromium.
struct BrowserRule
{
    const char *token;
    const char *brand; // besides "Chromium"; none for Chromium itself
    Family family;
    const char *form; // what the whole string must match for the brand; any when none
};

const BrowserRule Browsers[] = {
    {"Firefox/", nullptr, Family::Gecko, nullptr},
    {"SamsungBrowser/", "Samsung Internet", Family::Chromium, nullptr},
    {"Chrome/", "Google Chrome", Family::Chromium,
     R"(\) AppleWebKit/[\d.]+ \(KHTML, like Gecko\) Chrome/[\d.]+ (Mobile )?Safari/[\d.]+$)"},
    {"Chromium/", nullptr, Family::Chromium, nullptr},
    {"AppleWebKit/", nullptr, Family::WebKit, nullptr},
};

QString Captured(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}

// The version that follows `token`, such as "131.0.0.0" after "Chrome/".
QString ProductVersion(const QString &userAgent, const char *token)
{
    return Captured(userAgent, QRegularExpression::escape(QLatin1String(token)) +
                                   QLatin1String(R"((\d+(?:\.\d+)*))"));
}

QString Major(const QString &version)
{
    return version.section(QLatin1Char('.'), 0, 0);
}

// Three parts, as browsers report a platform version ("10" becomes "10.0.0").
QString ThreeParts(const QString &version)
{
    if (version.isEmpty())
        return version;
    QStringList parts = version.split(QRegularExpression(QStringLiteral("[._]")));
    while (parts.size() < 3)
        parts.append(QStringLiteral("0"));
    return parts.join(QLatin1Char('.'));
}

// The brand made up so that sites do not rely on the list's contents, derived from the
// major version as Chromium derives it.
UserAgentBrand GreaseBrand(int seed)
{
    static const char characters[] = " (:-./);=?_";
    const int count = int(sizeof characters) - 1;
    static const char *const versions[] = {"8", "99", "24"};
    const QString version = QLatin1String(versions[seed % 3]);
    return {QLatin1String("Not") + QLatin1Char(characters[seed % count]) + QLatin1Char('A') +
                QLatin1Char(characters[(seed + 1) % count]) + QLatin1String("Brand"),
            version, version + QLatin1String(".0.0.0")};
}

// The device's model, which Android's Chromium browsers put after the system version.
QString AndroidModel(const QString &userAgent)
{
    QString model = Captured(userAgent, QStringLiteral(R"(Android [^;)]*; ([^;)]+))"));
    model.remove(
        QRegularExpression(QStringLiteral("^SAMSUNG "), QRegularExpression::CaseInsensitiveOption));
    model.remove(QRegularExpression(QStringLiteral(" Build/.*$")));
    return model.trimmed();
}

} // namespace

UserAgentDetails DeriveUserAgentDetails(const QString &userAgent)
{
    UserAgentDetails details;
    details.userAgent = userAgent;
    if (userAgent.isEmpty())
        return details;

    const SystemRule *system = nullptr;
    for (const SystemRule &rule : Systems) {
        if (userAgent.contains(QLatin1String(rule.token))) {
            system = &rule;
            break;
        }
    }
    // A product token without its version is not taken for the product.
    const BrowserRule *browser = nullptr;
    for (const BrowserRule &rule : Browsers) {
        if (!ProductVersion(userAgent, rule.token).isEmpty()) {
            browser = &rule;
            break;
        }
    }
    const bool branded =
        browser && browser->brand &&
        (!browser->form ||
         QRegularExpression(QLatin1String(browser->form)).match(userAgent).hasMatch());
    Family family = browser ? browser->family : Family::Unknown;
    if (system && system->appleMobile)
        family = Family::WebKit;

    if (system)
        details.platform = QLatin1String(system->platform);
    if (family == Family::Chromium)
        details.vendor = QStringLiteral("Google Inc.");
    else if (family == Family::WebKit)
        details.vendor = QStringLiteral("Apple Computer, Inc.");
    if (family != Family::Chromium)
        return details;

    details.hasUserAgentData = true;
    details.fullVersion = ProductVersion(userAgent, browser->token);
    QString engine = ProductVersion(userAgent, "Chrome/");
    if (engine.isEmpty())
        engine = details.fullVersion;
    if (branded)
        details.brands.append(
            {QLatin1String(browser->brand), Major(details.fullVersion), details.fullVersion});
    else
        details.fullVersion = engine;
    details.brands.append({QStringLiteral("Chromium"), Major(engine), engine});
    details.brands.append(GreaseBrand(Major(engine).toInt()));
    if (system) {
        details.clientHintsPlatform = QLatin1String(system->hintsPlatform);
        details.architecture = QLatin1String(system->architecture);
        if (system->versionPattern)
            details.platformVersion =
                ThreeParts(Captured(userAgent, QLatin1String(system->versionPattern)));
    }
    if (details.clientHintsPlatform == QLatin1String("Android")) {
        details.model = AndroidModel(userAgent);
        details.mobile = userAgent.contains(QLatin1String(" Mobile"));
    }
    return details;
}
