#pragma once

#include "core/device.h"
#include "core/useragentdetails.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// One command of the browser engine's debugging protocol.
struct EmulationCommand
{
    QString method;
    QJsonObject params;
    bool browserWide = false; // for the browser, not the page's session
};

// The screen: CSS size, ratio, orientation, mobile layout. `scale` is how many of the
// host's device-independent pixels show one CSS pixel (the display zoom).
EmulationCommand DeviceMetricsCommand(const Device &device, qreal scale);

// The insets of the device's notch, as held.
EmulationCommand SafeAreaCommand(const Device &device);

// Everything that makes the page see `device` and `userAgent`, in the order to send.
QList<EmulationCommand> EmulationCommands(const Device &device, const UserAgentDetails &userAgent,
                                          qreal scale);

// What takes the page from the `current` conditions to the `wanted` ones: only what differs.
// Location is granted browser-wide, which is this page only: each page has a browser of its
// own, whose requests are otherwise refused.
QList<EmulationCommand> ConditionCommands(const PageConditions &wanted,
                                          const PageConditions &current);
