#include "browserengine.h"

#include "profiledirectory.h"

#include <QWebEngineProfile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

void AppendEngineFlag(const QByteArray &flag)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty())
        flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + flag);
}

// The engine's pointer types: none 1, coarse 2, fine 4; hover: none 1, hover 2.
QByteArray PointerSettings(InputMethod input)
{
    switch (input) {
    case InputMethod::Touch:
        return "primaryPointerType=2,availablePointerTypes=2,primaryHoverType=1,"
               "availableHoverTypes=1";
    case InputMethod::Keys:
        return "primaryPointerType=1,availablePointerTypes=1,primaryHoverType=1,"
               "availableHoverTypes=1";
    case InputMethod::Mouse:
        break;
    }
    return "primaryPointerType=4,availablePointerTypes=4,primaryHoverType=2,availableHoverTypes=2";
}

// The only POSIX call of the emulator: the engine's sandbox refuses to start as root.
bool RunningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

void PrepareBrowserEngine(const Device &device)
{
    if (RunningAsRoot() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        Complain(QStringLiteral("running as root, so the browser sandbox is disabled"));
    }
    QByteArray blinkSettings = PointerSettings(device.input);
    if (device.input == InputMethod::Touch) {
        // The protocol's touch points fall back to none after a reload in the same renderer.
        blinkSettings += ",maxTouchPoints=5";
        // Touch events for pages even should the protocol channel fail.
        AppendEngineFlag("--touch-events=enabled");
    }
    AppendEngineFlag("--blink-settings=" + blinkSettings);
}

std::unique_ptr<QWebEngineProfile> CreateBrowserProfile(const EmulatorRequest &request,
                                                        const ProfileDirectory &directory)
{
    std::unique_ptr<QWebEngineProfile> profile;
    if (directory.isClaimed()) {
        profile =
            std::make_unique<QWebEngineProfile>(ProfileDirectory::EncodedName(request.profileName));
        profile->setPersistentStoragePath(directory.path() + QStringLiteral("/storage"));
        profile->setCachePath(directory.path() + QStringLiteral("/cache"));
    } else {
        profile = std::make_unique<QWebEngineProfile>();
    }
    // Also what the page sees should the protocol channel fail.
    if (!request.userAgent.isEmpty())
        profile->setHttpUserAgent(request.userAgent);
    return profile;
}
