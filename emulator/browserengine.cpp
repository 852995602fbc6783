#include "browserengine.h"

#include "profiledirectory.h"

#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

void AppendEngineFlag(const QByteArray &flag)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty())
        flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + flag);
}

// Pages read the touch points from the navigator; the engine counts only real devices.
void AddTouchScreenScript(QWebEngineProfile *profile)
{
    QWebEngineScript script;
    script.setName(QStringLiteral("velmora-touch-screen"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(
        QStringLiteral("Object.defineProperty(Navigator.prototype, 'maxTouchPoints',"
                       " {get: function () { return 5; }, configurable: true});"));
    profile->scripts()->insert(script);
}

} // namespace

void PrepareBrowserEngine(const EmulatorSettings &settings)
{
    // Lets pages detect touch events ('ontouchstart', TouchEvent) without a touch device.
    if (settings.input == InputMethod::Touch)
        AppendEngineFlag("--touch-events=enabled");
}

std::unique_ptr<QWebEngineProfile> CreateBrowserProfile(const EmulatorSettings &settings,
                                                        const ProfileDirectory &directory)
{
    std::unique_ptr<QWebEngineProfile> profile;
    if (directory.isClaimed()) {
        profile = std::make_unique<QWebEngineProfile>(
            ProfileDirectory::EncodedName(settings.profileName));
        profile->setPersistentStoragePath(directory.path() + QStringLiteral("/storage"));
        profile->setCachePath(directory.path() + QStringLiteral("/cache"));
    } else {
        profile = std::make_unique<QWebEngineProfile>();
    }
    if (!settings.userAgent.isEmpty())
        profile->setHttpUserAgent(settings.userAgent);
    if (settings.input == InputMethod::Touch)
        AddTouchScreenScript(profile.get());
    return profile;
}

QString EmulatorWindowTitle(const EmulatorSettings &settings, const ProfileDirectory &directory)
{
    const QString product = QStringLiteral("Velmora Mobile Emulator");
    if (settings.profileName.isEmpty())
        return product + QStringLiteral(" (private)");
    QString privacy;
    if (!directory.isClaimed()) {
        privacy = directory.isInUse() ? QStringLiteral(" (private: profile in use)")
                                      : QStringLiteral(" (private: profile unavailable)");
    }
    return settings.profileName + privacy + QStringLiteral(" - ") + product;
}

QString ProfileDescription(const EmulatorSettings &settings, const ProfileDirectory &directory)
{
    if (directory.isClaimed())
        return settings.profileName + QStringLiteral(", data kept in ") + directory.path();
    if (settings.profileName.isEmpty())
        return QStringLiteral("none; browsing data is private and not kept");
    return settings.profileName + QStringLiteral(", private: ") + directory.problem();
}
