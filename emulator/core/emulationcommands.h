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
};

// The screen: CSS size, ratio, orientation, mobile layout. `scale` is how many of the
// host's device-independent pixels show one CSS pixel (the display zoom).
EmulationCommand DeviceMetricsCommand(const Device &device, qreal scale);

// Everything that makes the page see `device` and `userAgent`, in the order to send.
QList<EmulationCommand> EmulationCommands(const Device &device, const UserAgentDetails &userAgent,
                                          qreal scale);
