#include "browserengine.h"
#include "device.h"
#include "emulatorrequest.h"
#include "emulatorwindow.h"
#include "groupmember.h"
#include "pagestatefile.h"
#include "profiledirectory.h"
#include "scriptedrun.h"
#include "useragentdetails.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QWebEngineProfile>

#include <cstdio>

namespace {

EmulatorRequest RequestFrom(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return ParseEmulatorArguments(arguments);
}

} // namespace

int main(int argc, char *argv[])
{
    const EmulatorRequest request = RequestFrom(argc, argv);
    // Help needs no window, nor the browser engine's start-up.
    if (request.helpRequested) {
        std::fputs(qUtf8Printable(EmulatorHelpText()), stdout);
        return 0;
    }
    for (const QString &problem : request.problems)
        Complain(problem);
    const Device device = Device::FromRequest(request);
    PrepareBrowserEngine(device);

    QApplication app(argc, argv);
    // The engine's start-up report would bury our own messages; QT_LOGGING_RULES still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("VelmoraMobileEmulator"));

    // Declared in this order so that the page goes before its profile, and the profile
    // before the lock on its directory.
    const ProfileDirectory directory(request.profileName);
    if (!directory.problem().isEmpty())
        Complain(directory.problem() + QStringLiteral("; browsing data stays private"));
    const std::unique_ptr<QWebEngineProfile> profile = CreateBrowserProfile(request, directory);
    EmulatorWindow window(request, device, DeriveUserAgentDetails(request.userAgent), profile.get(),
                          ProfileDescription(request, directory));
    window.setWindowTitle(EmulatorWindowTitle(request, directory));
    // A scripted run measures one page alone: it neither leads nor follows other windows.
    if (!request.dumpMetricsPath.isEmpty() || !request.screenshotPath.isEmpty())
        new ScriptedRun(&window, request);
    else
        new GroupMember(&window, request);
    if (!request.stateFilePath.isEmpty())
        new PageStateFile(&window, request.stateFilePath);
    window.show();
    window.Start();
    return app.exec();
}
