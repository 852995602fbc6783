#pragma once

#include "core/device.h"
#include "core/emulatorrequest.h"

#include <QString>

// The offline page shown when no address was given: what was asked for, and what the page
// itself measures, so a user sees at once whether the device looks right.
QString StartPageHtml(const EmulatorRequest &request, const Device &device,
                      const QString &profileDescription);
