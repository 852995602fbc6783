#include "qtsingleapplication.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A frame is a 4-byte big-endian length followed by that many bytes of UTF-8; the primary
// answers each complete frame with one acknowledgement byte.
constexpr int HeaderBytes = 4;
constexpr quint32 MaxMessageBytes = 64 * 1024;
constexpr char AckByte = '\x06';
// A peer gets this long for each message; one that lingers is dropped.
constexpr int PeerDeadlineMs = 3000;
constexpr int ConnectRetryMs = 50;

// The one platform-specific call: who runs this process, so that two users never share
// an identity.
QString CurrentUserKey()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') +
           qEnvironmentVariable("USERNAME");
#endif
}

QString IdentityName(const QString &id)
{
    const QString key = QCoreApplication::applicationFilePath() + QLatin1Char('\n') +
                        CurrentUserKey() + QLatin1Char('\n') + id;
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("VelmoraSingleInstance-") + QString::fromLatin1(hash.left(16).toHex());
}

// Where the lock and, on Unix, the socket live: a directory of the user's own, so that no
// one else can take the names first. Qt checks that only the user can enter the runtime
// directory; on Windows the temporary directory already belongs to the user, and a pipe
// name needs no directory.
QString InstanceDirectory()
{
#ifdef Q_OS_UNIX
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
#endif
    return QDir::tempPath();
}

// Reads the frames of one connected peer as they arrive, never waiting for it.
class PeerReader : public QObject
{
public:
    PeerReader(QLocalSocket *peer, QtSingleApplication *owner)
        : QObject(owner), socket(peer), app(owner)
    {
        socket->setParent(this);
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, this, &PeerReader::Drop);
        connect(socket, &QLocalSocket::readyRead, this, &PeerReader::OnReadyRead);
        connect(socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
        deadline.start(PeerDeadlineMs);
        OnReadyRead();
    }

private:
    void OnReadyRead()
    {
        if (dropped)
            return;
        buffer += socket->readAll();
        while (ReadOneMessage()) {
        }
    }

    bool ReadOneMessage()
    {
        if (expected < 0) {
            if (buffer.size() < HeaderBytes)
                return false;
            const quint32 length = qFromBigEndian<quint32>(buffer.constData());
            if (length > MaxMessageBytes) {
                Drop();
                return false;
            }
            expected = static_cast<int>(length);
            buffer.remove(0, HeaderBytes);
        }
        if (buffer.size() < expected)
            return false;
        const QString message = QString::fromUtf8(buffer.constData(), expected);
        buffer.remove(0, expected);
        expected = -1;
        socket->write(&AckByte, 1);
        // Out before any receiver runs, however long that receiver then takes.
        socket->flush();
        deadline.start(PeerDeadlineMs);
        // Queued, so that whatever the receivers do (even a modal loop) cannot pull this
        // reader out from under us.
        QtSingleApplication *receiver = app;
        QMetaObject::invokeMethod(
            app, [receiver, message] { Q_EMIT receiver->messageReceived(message); },
            Qt::QueuedConnection);
        return true;
    }

    void Drop()
    {
        dropped = true;
        buffer.clear();
        socket->abort();
        deleteLater();
    }

    QLocalSocket *socket;
    QtSingleApplication *app;
    QTimer deadline;
    QByteArray buffer;
    int expected = -1;
    bool dropped = false;
};

} // namespace

class QtSingleApplication::Private
{
public:
    QString id;
    QString name;
    QString lockPath;
    QPointer<QWidget> window;
    QLockFile *lock = nullptr;
    QLocalServer *server = nullptr;
    bool decided = false;
    bool running = false;
};

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool GUIenabled, const QString &id)
    : QApplication(argc, argv), d(new Private)
{
    // A QApplication always has a GUI in Qt 6; the flag stays for the callers' sake.
    Q_UNUSED(GUIenabled)
    d->id = id;
    const QString name = IdentityName(id);
    d->lockPath = QDir(InstanceDirectory()).filePath(name + QStringLiteral(".lock"));
#ifdef Q_OS_UNIX
    d->name = QDir(InstanceDirectory()).filePath(name);
#else
    d->name = name;
#endif
}

QtSingleApplication::~QtSingleApplication()
{
    delete d->server;
    delete d->lock;
    delete d;
}

bool QtSingleApplication::isRunning()
{
    if (d->decided)
        return d->running;
    d->decided = true;

    d->lock = new QLockFile(d->lockPath);
    // Held for the whole life of the primary: only a dead owner makes it stale, never age.
    d->lock->setStaleLockTime(0);
    const bool locked = d->lock->tryLock(0);
    if (!locked && d->lock->error() == QLockFile::LockFailedError) {
        d->running = true;
        return true;
    }

    // Without the lock (an unwritable temporary directory) the launcher still works; it
    // only cannot keep a second one out, and must not take over another's socket.
    d->server = new QLocalServer;
    d->server->setSocketOptions(QLocalServer::UserAccessOption);
    if (locked)
        QLocalServer::removeServer(d->name);
    connect(d->server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = d->server->nextPendingConnection())
            new PeerReader(socket, this);
    });
    d->server->listen(d->name);
    return false;
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning())
        return false;
    const QByteArray payload = message.toUtf8();
    if (static_cast<quint32>(payload.size()) > MaxMessageBytes)
        return false;

    const QDeadlineTimer deadline(qMax(timeout, 0));
    QLocalSocket socket;
    // The primary may hold the lock but not listen yet.
    for (;;) {
        socket.connectToServer(d->name);
        if (socket.waitForConnected(qMax(deadline.remainingTime(), qint64(0))))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(
            static_cast<unsigned long>(qMin(deadline.remainingTime(), qint64(ConnectRetryMs))));
    }

    QByteArray frame(HeaderBytes, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), frame.data());
    frame += payload;
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(qMax(deadline.remainingTime(), qint64(0))))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(deadline.remainingTime()))
            return false;
    }
    char ack = 0;
    const bool acknowledged = socket.getChar(&ack) && ack == AckByte;
    socket.disconnectFromServer();
    return acknowledged;
}

void QtSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    d->window = window;
    disconnect(this, &QtSingleApplication::messageReceived, this,
               &QtSingleApplication::activateWindow);
    if (activateOnMessage)
        connect(this, &QtSingleApplication::messageReceived, this,
                &QtSingleApplication::activateWindow);
}

QWidget *QtSingleApplication::activationWindow() const
{
    return d->window;
}

QString QtSingleApplication::id() const
{
    return d->id;
}

QString QtSingleApplication::serverName() const
{
    return d->name;
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
