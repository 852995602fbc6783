#include "mainwindow.h"
#include "qtsingleapplication.h"
#include "sessionend.h"

#include <QIcon>

#include <optional>

int main(int argc, char *argv[])
{
    QtSingleApplication app(argc, argv, true);
    if (app.isRunning())
        return app.sendMessage(QString(), 5000) ? 0 : 1;

    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));

    // Declared before the window so that it outlives the save at the window's end; created
    // once the window is up, since nothing before that would be lost.
    std::optional<SessionEnd> sessionEnd;
    MainWindow window;
    window.show();
    app.setActivationWindow(&window, true);
    sessionEnd.emplace();
    return app.exec();
}
