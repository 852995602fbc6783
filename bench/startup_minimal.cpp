// The reference for start-up: the least a Qt program does to show a main window. With
// "--text" the window shows one line of text, and so pays for setting up fonts as every
// window with text does.
#include "firstshow.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstShowReporter reporter;
    app.installEventFilter(&reporter);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        window.setCentralWidget(new QLabel(QStringLiteral("Velmora Mobile Emulator")));
    window.show();
    return app.exec();
}
