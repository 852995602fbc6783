#include "core/emulationcommands.h"

#include <QJsonArray>

namespace {

EmulationCommand Command(const char *method, const QJsonObject &params)
{
    return {QLatin1String(method), params};
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
    return commands;
}
