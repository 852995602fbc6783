#pragma once

#include "core/emulatorrequest.h"

#include <QString>

class ProfileDirectory;

// The window title names the profile, says when its data is not kept, and then carries the
// page's own title, cut to one short line.
QString EmulatorWindowTitle(const EmulatorRequest &request, const ProfileDirectory &directory,
                            const QString &pageTitle = QString());

// One line for the start page on where the browsing data goes.
QString ProfileDescription(const EmulatorRequest &request, const ProfileDirectory &directory);
