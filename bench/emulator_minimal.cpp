// The reference for the emulator's start: the least a Qt WebEngine program does to show a
// page in a view of a given size, with private browsing data.
//   emulator_minimal WIDTHxHEIGHT URL
#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return 2;
    const QStringList size = arguments.at(1).split(QLatin1Char('x'));
    QWebEngineProfile profile;
    QWebEngineView view;
    view.setPage(new QWebEnginePage(&profile, &view));
    view.setFixedSize(size.value(0).toInt(), size.value(1).toInt());
    view.show();
    view.load(QUrl(arguments.at(2)));
    const int status = app.exec();
    view.setPage(nullptr);
    return status;
}
