#include "core/device.h"
#include "core/emulatorrequest.h"
#include "core/profiledirectory.h"
#include "core/useragentdetails.h"
#include "core/windowtitle.h"
#include "engine/chromiumpage.h"
#include "group/groupmember.h"
#include "group/pagestatefile.h"
#include "ui/emulatorwindow.h"
#include "ui/scriptedrun.h"

#ifdef Q_OS_UNIX
#include "terminationsignals.h"
#endif

#include <QApplication>
#include <QIcon>

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
    // Help needs no window.
    if (request.helpRequested) {
        std::fputs(qUtf8Printable(EmulatorHelpText()), stdout);
        return 0;
    }
    for (const QString &problem : request.problems)
        Complain(problem);
    const Device device = Device::FromRequest(request);

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("VelmoraMobileEmulator"));
    // The program ends when the browser has, after the window closed.
    app.setQuitOnLastWindowClosed(false);

    const ProfileDirectory directory(request.profileName);
    if (!directory.problem().isEmpty())
        Complain(directory.problem() + QStringLiteral("; browsing data stays private"));
    const BrowserProgram browser = ChromiumProgram(request);
    ChromiumPage::Options engine;
    engine.program = browser.path;
    engine.unavailable = browser.problem;
    engine.userDataDir = directory.isClaimed() ? directory.path() : QString();
    auto *page = new ChromiumPage(engine);
    EmulatorWindow window(request, device, DeriveUserAgentDetails(request.userAgent), page,
                          ProfileDescription(request, directory));
    window.setWindowTitle(EmulatorWindowTitle(request, directory));
    QObject::connect(page, &BrowserPage::titleChanged, &window, [&](const QString &title) {
        window.setWindowTitle(EmulatorWindowTitle(request, directory, title));
    });
    ScriptedRun *run = nullptr;
    // A scripted run measures one page alone: it neither leads nor follows other windows.
    if (!request.dumpMetricsPath.isEmpty() || !request.screenshotPath.isEmpty())
        run = new ScriptedRun(&window, request);
    else
        new GroupMember(&window, request);
    if (!request.stateFilePath.isEmpty())
        new PageStateFile(&window, request.stateFilePath);
    QObject::connect(page, &BrowserPage::finished, &app,
                     [run] { QCoreApplication::exit(run ? run->exitCode() : 0); });
#ifdef Q_OS_UNIX
    // Asked to stop, the emulator closes its window as the user would: the browser writes its
    // profile first.
    TerminationSignals stopSignals;
    QObject::connect(&stopSignals, &TerminationSignals::received, &window, &QWidget::close);
#endif
    // The browser starts while the window shows.
    window.Start();
    window.show();
    return app.exec();
}
