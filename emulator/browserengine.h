#pragma once

#include "emulatoroptions.h"

#include <QString>

#include <memory>

class ProfileDirectory;
class QWebEngineProfile;

// Engine switches the settings need; they take effect only before the first profile exists.
void PrepareBrowserEngine(const EmulatorSettings &settings);

// The browsing profile of one run: kept in `directory` when it is claimed, private and in
// memory otherwise, and presenting the user agent and touch screen that were asked for.
std::unique_ptr<QWebEngineProfile> CreateBrowserProfile(const EmulatorSettings &settings,
                                                        const ProfileDirectory &directory);

// The window title names the profile and says when its data is not kept.
QString EmulatorWindowTitle(const EmulatorSettings &settings, const ProfileDirectory &directory);

// One line for the start page on where the browsing data goes.
QString ProfileDescription(const EmulatorSettings &settings, const ProfileDirectory &directory);
