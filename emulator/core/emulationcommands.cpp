#include "core/emulationcommands.h"

#include <QJsonArray>

namespace {

EmulationCommand Command(const char *method, const QJsonObject &params = {})
{
    return {QLatin1String(method), params};
}

// The developer tools' presets: latency in ms, throughput in bytes per second.
struct Throttle
{
    double latency;
    double download;
    double upload;
    const char *connection;
};

Throttle ThrottleOf(NetworkCondition network)
{
    switch (network) {
    case NetworkCondition::Slow3G:
        return {2000, 50000, 50000, "cellular3g"};
    case NetworkCondition::Fast4G:
        return {165, 1012500, 168750, "cellular4g"};
    case NetworkCondition::Offline:
        return {0, 0, 0, "none"};
    case NetworkCondition::Online:
        break;
    }
    return {0, -1, -1, ""};
}

// The network domain throttles only while enabled; disabled, nothing of it remains. The
// state tells the page (navigator.onLine, navigator.connection), the rule slows or fails
// its requests.
QList<EmulationCommand> NetworkCommands(NetworkCondition network)
{
    if (network == NetworkCondition::Online)
        return {Command("Network.disable")};
    const Throttle throttle = ThrottleOf(network);
    const bool offline = network == NetworkCondition::Offline;
    const QJsonObject conditions{
        {QStringLiteral("latency"), throttle.latency},
        {QStringLiteral("downloadThroughput"), throttle.download},
        {QStringLiteral("uploadThroughput"), throttle.upload},
        {QStringLiteral("connectionType"), QLatin1String(throttle.connection)}};
    QJsonObject state = conditions;
    state.insert(QStringLiteral("offline"), offline);
    QJsonObject rule = conditions;
    rule.insert(QStringLiteral("urlPattern"), QString());
    // Enabled for throttling only: the bodies it would keep for an inspector are not kept.
    const QJsonObject enable{{QStringLiteral("maxTotalBufferSize"), 0},
                             {QStringLiteral("maxResourceBufferSize"), 0},
                             {QStringLiteral("maxPostDataSize"), 0}};
    return {Command("Network.enable", enable), Command("Network.overrideNetworkState", state),
            Command("Network.emulateNetworkConditionsByRule",
                    {{QStringLiteral("offline"), offline},
                     {QStringLiteral("matchedNetworkConditions"), QJsonArray{rule}}})};
}

QJsonObject Metadata(const UserAgentDetails &details)
{
    // Without the full versions a page asking for them would read the engine's own.
    QJsonArray brands;
    QJsonArray fullVersions;
    for (const UserAgentBrand &brand : details.brands) {
        brands.append(QJsonObject{{QStringLiteral("brand"), brand.brand},
                                  {QStringLiteral("version"), brand.version}});
        fullVersions.append(QJsonObject{{QStringLiteral("brand"), brand.brand},
                                        {QStringLiteral("version"), brand.fullVersion}});
    }
    return {{QStringLiteral("brands"), brands},
            {QStringLiteral("fullVersionList"), fullVersions},
            {QStringLiteral("fullVersion"), details.fullVersion},
            {QStringLiteral("platform"), details.clientHintsPlatform},
            {QStringLiteral("platformVersion"), details.platformVersion},
            {QStringLiteral("architecture"), details.architecture},
            {QStringLiteral("model"), details.model},
            {QStringLiteral("mobile"), details.mobile}};
}

} // namespace

EmulationCommand DeviceMetricsCommand(const Device &device, qreal scale)
{
    const QSize css = device.cssSize();
    return Command("Emulation.setDeviceMetricsOverride",
                   {{QStringLiteral("width"), css.width()},
                    {QStringLiteral("height"), css.height()},
                    {QStringLiteral("deviceScaleFactor"), device.ratio},
                    // Always a mobile device, whatever the input and user agent: the flag makes the
                    // engine lay out pages without a viewport tag at 980 px, zoomed out to fit, as
                    // a phone does. A phone asked for the desktop site ("Desktop site on a phone")
                    // only sends a desktop user agent; its screen stays a phone's, and without the
                    // flag such a desktop page would be squeezed into the phone's CSS width.
                    {QStringLiteral("mobile"), true},
                    {QStringLiteral("scale"), scale},
                    // Without it the right and bottom edges are cut off when the scale is above 1.
                    {QStringLiteral("dontSetVisibleSize"), true},
                    {QStringLiteral("screenWidth"), css.width()},
                    {QStringLiteral("screenHeight"), css.height()},
                    {QStringLiteral("screenOrientation"),
                     QJsonObject{{QStringLiteral("type"), device.orientationType()},
                                 {QStringLiteral("angle"), device.orientationAngle()}}}});
}

QList<EmulationCommand> EmulationCommands(const Device &device, const UserAgentDetails &userAgent,
                                          qreal scale)
{
    QList<EmulationCommand> commands{DeviceMetricsCommand(device, scale)};
    // Touch is switched off explicitly for keys and mouse, so nothing of an earlier
    // emulation on the same page remains. Pointer and hover for keys have no command; the
    // engine's switches set them.
    const bool touch = device.input == InputMethod::Touch;
    QJsonObject touchParams{{QStringLiteral("enabled"), touch}};
    QJsonObject mouseParams{{QStringLiteral("enabled"), touch}};
    if (touch) {
        touchParams.insert(QStringLiteral("maxTouchPoints"), 5);
        mouseParams.insert(QStringLiteral("configuration"), QStringLiteral("mobile"));
    }
    commands.append(Command("Emulation.setTouchEmulationEnabled", touchParams));
    commands.append(Command("Emulation.setEmitTouchEventsForMouse", mouseParams));
    if (!userAgent.userAgent.isEmpty()) {
        QJsonObject params{{QStringLiteral("userAgent"), userAgent.userAgent},
                           {QStringLiteral("platform"), userAgent.platform}};
        if (userAgent.hasUserAgentData)
            params.insert(QStringLiteral("userAgentMetadata"), Metadata(userAgent));
        commands.append(Command("Emulation.setUserAgentOverride", params));
    }
    if (!device.safeArea.isNull())
        commands.append(SafeAreaCommand(device));
    return commands;
}

EmulationCommand SafeAreaCommand(const Device &device)
{
    const QMargins &m = device.safeArea;
    QJsonObject insets;
    for (const auto &[side, value] : {std::pair{"top", m.top()},
                                      {"right", m.right()},
                                      {"bottom", m.bottom()},
                                      {"left", m.left()}}) {
        insets.insert(QLatin1String(side), value);
        insets.insert(QLatin1String(side) + QLatin1String("Max"), value);
    }
    return Command("Emulation.setSafeAreaInsetsOverride", {{QStringLiteral("insets"), insets}});
}

QList<EmulationCommand> ConditionCommands(const PageConditions &wanted,
                                          const PageConditions &current)
{
    QList<EmulationCommand> commands;
    // An empty value lifts the override: the host's own preference shows through.
    if (wanted.colorScheme != current.colorScheme ||
        wanted.reducedMotion != current.reducedMotion) {
        const QJsonArray features{
            QJsonObject{{QStringLiteral("name"), QStringLiteral("prefers-color-scheme")},
                        {QStringLiteral("value"), ColorSchemeName(wanted.colorScheme)}},
            QJsonObject{{QStringLiteral("name"), QStringLiteral("prefers-reduced-motion")},
                        {QStringLiteral("value"),
                         wanted.reducedMotion ? QStringLiteral("reduce") : QString()}}};
        commands.append(
            Command("Emulation.setEmulatedMedia", {{QStringLiteral("features"), features}}));
    }
    if (wanted.network != current.network)
        commands.append(NetworkCommands(wanted.network));
    if (wanted.cpuSlowdown != current.cpuSlowdown)
        commands.append(Command("Emulation.setCPUThrottlingRate",
                                {{QStringLiteral("rate"), wanted.cpuSlowdown}}));
    if (wanted.located != current.located || wanted.latitude != current.latitude ||
        wanted.longitude != current.longitude) {
        if (wanted.located) {
            commands.append(Command("Emulation.setGeolocationOverride",
                                    {{QStringLiteral("latitude"), wanted.latitude},
                                     {QStringLiteral("longitude"), wanted.longitude},
                                     {QStringLiteral("accuracy"), 10}}));
            EmulationCommand grant = Command(
                "Browser.grantPermissions",
                {{QStringLiteral("permissions"), QJsonArray{QStringLiteral("geolocation")}}});
            grant.browserWide = true;
            commands.append(grant);
        } else {
            commands.append(Command("Emulation.clearGeolocationOverride"));
            EmulationCommand reset = Command("Browser.resetPermissions");
            reset.browserWide = true;
            commands.append(reset);
        }
    }
    return commands;
}
