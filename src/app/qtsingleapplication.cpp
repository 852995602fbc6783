#include "qtsingleapplication.h"

#include "client.h"
#include "filelocations.h"
#include "place.h"
#include "platform.h"
#include "server.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int MaxMessageBytes = 64 * 1024;

QString IdentityName(const QString &id)
{
    const QString key = QCoreApplication::applicationFilePath() + QLatin1Char('\n') +
                        LocalChannel::UserKey() + QLatin1Char('\n') + id;
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    // Short, so that the socket's path fits even in a deep fallback directory.
    return QStringLiteral("velmora-") + QString::fromLatin1(hash.left(8).toHex());
}

} // namespace

class QtSingleApplication::Private
{
public:
    LocalChannel::Place place;
    LocalChannel::Server *server = nullptr;
    QPointer<QWidget> window;
    QMetaObject::Connection activation;
    bool activationPending = false;
};

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool GUIenabled, const QString &id)
    : QApplication(argc, argv), d(new Private)
{
    // A QApplication always has a GUI in Qt 6; the flag stays for the callers' sake.
    Q_UNUSED(GUIenabled)
    // When neither the runtime directory nor a private one will do, the configuration's.
    d->place =
        LocalChannel::Place::ForName(IdentityName(id), QFileInfo(GetFilePath(ConfigFile)).path());
}

QtSingleApplication::~QtSingleApplication()
{
    delete d->server;
    delete d;
}

bool QtSingleApplication::isRunning()
{
    if (!d->server) {
        LocalChannel::Server::Limits limits;
        limits.maxPayloadBytes = MaxMessageBytes;
        d->server = new LocalChannel::Server(d->place, limits);
        connect(d->server, &LocalChannel::Server::frameReceived, this,
                [this](quint64, const QByteArray &payload) {
                    Q_EMIT messageReceived(QString::fromUtf8(payload));
                });
    }
    return !d->server->Claim();
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning())
        return false;
    const QDeadlineTimer deadline(qMax(timeout, 0));
    LocalChannel::Client client(MaxMessageBytes);
    return client.Connect(d->place, deadline) && client.SendAndWait(message.toUtf8(), deadline);
}

void QtSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    d->window = window;
    disconnect(d->activation);
    if (!activateOnMessage)
        return;
    // However many messages arrive at once, the window is brought forward once for them.
    d->activation = connect(this, &QtSingleApplication::messageReceived, this, [this] {
        if (d->activationPending)
            return;
        d->activationPending = true;
        QTimer::singleShot(0, this, [this] {
            d->activationPending = false;
            activateWindow();
        });
    });
}

QString QtSingleApplication::serverName() const
{
    return d->place.ServerName();
}

void QtSingleApplication::activateWindow()
{
    QWidget *window = d->window;
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}
