#pragma once

#include "core/emulatorrequest.h"

#include <QString>

class ProfileDirectory;

// The window title names the profile and says when its data is not kept.
QString EmulatorWindowTitle(const EmulatorRequest &request, const ProfileDirectory &directory);

// One line for the start page on where the browsing data goes.
QString ProfileDescription(const EmulatorRequest &request, const ProfileDirectory &directory);
