#pragma once

// Temporary: lets the window's sources, written against the former settings struct, build
// until they use EmulatorRequest and Device themselves. Complain is renamed here because
// those sources still carry their own copy.
#define Complain ComplainFromCore
#include "emulatorrequest.h"
#undef Complain

#include <QSizeF>

struct EmulatorSettings : EmulatorRequest
{
    EmulatorSettings() = default;
    EmulatorSettings(const EmulatorRequest &request) : EmulatorRequest(request) {}

    qreal devicePixelRatio() const { return qreal(ppi) / EmulatorOption::BaselinePpi; }
    QSizeF viewportSize() const { return QSizeF(windowSize) / devicePixelRatio(); }
};
