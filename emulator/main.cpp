#include "browserengine.h"
#include "emulatoroptions.h"
#include "emulatorwindow.h"
#include "metricsdump.h"
#include "profiledirectory.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QWebEngineProfile>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

void Complain(const QString &message)
{
    std::fprintf(stderr, "VelmoraMobileEmu: %s\n", qUtf8Printable(message));
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

int main(int argc, char *argv[])
{
    if (RunningAsRoot() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        Complain(QStringLiteral("running as root, so the browser sandbox is disabled"));
    }
    QApplication app(argc, argv);
    // The engine's start-up report would bury our own messages; QT_LOGGING_RULES still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("VelmoraMobileEmulator"));

    const EmulatorSettings settings = ParseEmulatorArguments(app.arguments().mid(1));
    for (const QString &problem : settings.problems)
        Complain(problem);
    PrepareBrowserEngine(settings);

    // Declared in this order so that the page goes before its profile, and the profile
    // before the lock on its directory.
    const ProfileDirectory directory(settings.profileName);
    if (!directory.problem().isEmpty())
        Complain(directory.problem() + QStringLiteral("; browsing data stays private"));
    const std::unique_ptr<QWebEngineProfile> profile = CreateBrowserProfile(settings, directory);
    EmulatorWindow window(settings, profile.get(), ProfileDescription(settings, directory));
    window.setWindowTitle(EmulatorWindowTitle(settings, directory));
    if (!settings.dumpMetricsPath.isEmpty())
        new MetricsDump(window.page(), &window, settings.dumpMetricsPath);
    window.show();
    window.OpenFirstPage();
    return app.exec();
}
