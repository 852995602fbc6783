// The launcher's own start, unchanged, ending at its first shown window.
#include "firstshow.h"
#include "mainwindow.h"
#include "qtsingleapplication.h"

#include <QIcon>

int main(int argc, char *argv[])
{
    QtSingleApplication app(argc, argv, true);
    FirstShowReporter reporter;
    app.installEventFilter(&reporter);
    if (app.isRunning())
        return app.sendMessage(QString(), 5000) ? 0 : 1;

    app.setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));

    MainWindow window;
    window.show();
    app.setActivationWindow(&window, true);
    return app.exec();
}
