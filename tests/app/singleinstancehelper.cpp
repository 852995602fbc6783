// Acts like the launcher's entry function with a given identity:
//   singleinstancehelper <id> <timeout ms> [message]
// A secondary sends the message and exits 0 (delivered) or 1. The primary prints
// "primary <server name>", then "message <percent-encoded text>" for each message it
// receives, and quits after the message "quit".
//   singleinstancehelper --connect <server name>
// only tries to reach a primary, as any local process could: exits 0 once connected, 3 when
// refused for lack of permission, 4 on any other failure.
#include "qtsingleapplication.h"

#include <QLocalSocket>

#include <cstdio>

namespace {

void PrintLine(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int TryConnect(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLocalSocket socket;
    socket.connectToServer(QString::fromLocal8Bit(argv[2]));
    if (socket.waitForConnected(5000))
        return 0;
    PrintLine(socket.errorString().toUtf8());
    return socket.error() == QLocalSocket::SocketAccessError ? 3 : 4;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--connect") == 0)
        return TryConnect(argc, argv);
    if (argc < 3)
        return 2;
    const QString id = QString::fromLocal8Bit(argv[1]);
    const int timeout = QByteArray(argv[2]).toInt();
    const QString message = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    QtSingleApplication app(argc, argv, true, id);
    if (app.isRunning())
        return app.sendMessage(message, timeout) ? 0 : 1;

    QObject::connect(&app, &QtSingleApplication::messageReceived, &app,
                     [&app](const QString &received) {
                         PrintLine("message " + received.toUtf8().toPercentEncoding());
                         if (received == QLatin1String("quit"))
                             app.quit();
                     });
    PrintLine("primary " + app.serverName().toUtf8());
    return app.exec();
}
