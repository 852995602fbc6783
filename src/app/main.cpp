#include "mainwindow.h"
#include "qtsingleapplication.h"
#include "sessionend.h"

#include <QIcon>

#include <optional>

namespace {

// How long a second start waits for the first to acknowledge before it gives up.
constexpr int HandOverTimeoutMs = 5000;

} // namespace

int main(int argc, char *argv[])
{
    QtSingleApplication app(argc, argv, true);
    if (app.isRunning())
        return app.sendMessage(QString(), HandOverTimeoutMs) ? 0 : 1;

    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));

    // Declared before the window so that it outlives the save at the window's end; created
    // once the window is up, since nothing before that would be lost.
    std::optional<SessionEnd> sessionEnd;
    MainWindow window;
    window.show();
    app.setActivationWindow(&window, true);
    sessionEnd.emplace();
    QObject::connect(&*sessionEnd, &SessionEnd::terminationRequested, &window,
                     &MainWindow::SetUnattended);
    return app.exec();
}
