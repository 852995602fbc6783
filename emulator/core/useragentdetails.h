#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct UserAgentBrand
{
    QString brand;
    QString version;     // the major version
    QString fullVersion; // all its parts, as in fullVersionList
};

// What a page can learn about the browser besides the user-agent string itself, derived
// from that string so that every source tells the same story.
struct UserAgentDetails
{
    QString userAgent;
    QString platform; // navigator.platform: "Linux armv8l", "iPhone", "iPad", "Win32", ...
    QString vendor;   // navigator.vendor: "Google Inc.", "Apple Computer, Inc." or ""
    // Whether the browser has navigator.userAgentData at all (the Chromium family only);
    // the remaining fields describe it.
    bool hasUserAgentData = false;
    QList<UserAgentBrand> brands;
    QString fullVersion;
    QString clientHintsPlatform; // "Android", "Windows", "macOS", "Linux", ...
    QString platformVersion;
    QString architecture;
    QString model;
    bool mobile = false;
};

// An empty string yields empty details (the engine's own user agent stays).
UserAgentDetails DeriveUserAgentDetails(const QString &userAgent);
