#pragma once

#include "emulatoroptions.h"

#include <QString>

// The offline page shown when no address was given: what was asked for, and what the page
// itself measures, so a user sees at once whether the device looks right.
QString StartPageHtml(const EmulatorSettings &settings, const QString &profileDescription);
