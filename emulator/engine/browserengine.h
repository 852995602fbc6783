#pragma once

#include "device.h"
#include "emulatorrequest.h"
#include "windowtitle.h" // EmulatorWindowTitle and ProfileDescription, for main.cpp

#include <QString>

#include <memory>

class ProfileDirectory;
class QWebEngineProfile;

// Engine switches for what the protocol cannot set for good: the pointer and hover the
// input method gives, and touch points that survive reloads; and no sandbox for root.
// Call before the application object exists.
void PrepareBrowserEngine(const Device &device);

// The browsing profile of one run: kept in `directory` when it is claimed, private and in
// memory otherwise.
std::unique_ptr<QWebEngineProfile> CreateBrowserProfile(const EmulatorRequest &request,
                                                        const ProfileDirectory &directory);
