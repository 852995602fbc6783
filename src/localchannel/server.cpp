#include "server.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

namespace LocalChannel {

namespace {

// How often a closed listening socket is noticed and opened again. QLocalServer closes it
// silently when an accept fails and has no signal for it.
constexpr int ListenWatchMs = 1000;

} // namespace

// One connected peer: its socket, what it has sent so far, and its silence deadline.
class Peer : public QObject
{
public:
    Peer(Server *owner, quint64 peerId, QLocalSocket *peerSocket)
        : QObject(owner), server(owner), id(peerId), socket(peerSocket),
          decoder(owner->limits.maxPayloadBytes)
    {
        socket->setParent(this);
        silence.setSingleShot(true);
        connect(&silence, &QTimer::timeout, this, [this] { server->Drop(id); });
        connect(socket, &QLocalSocket::readyRead, this, &Peer::OnReadyRead);
        connect(socket, &QLocalSocket::disconnected, this, [this] { server->Drop(id); });
        RestartSilence();
    }

    void OnReadyRead()
    {
        decoder.Append(socket->readAll());
        QByteArrayList frames;
        int acknowledgements = 0;
        const bool wellFormed = decoder.TakeAll(&frames, &acknowledgements);
        if (!frames.isEmpty()) {
            socket->write(QByteArray(frames.size(), AcknowledgementByte));
            // Out before any receiver runs, however long that receiver then takes.
            socket->flush();
            RestartSilence();
        }
        for (const QByteArray &payload : std::as_const(frames)) {
            QMetaObject::invokeMethod(
                server,
                [owner = server, peer = id, payload] {
                    Q_EMIT owner->frameReceived(peer, payload);
                },
                Qt::QueuedConnection);
        }
        // Only the server acknowledges.
        if (!wellFormed || acknowledgements > 0)
            server->Drop(id);
    }

    bool Send(QByteArrayView payload)
    {
        socket->write(EncodeFrame(payload));
        return socket->bytesToWrite() <= server->limits.maxUnsentBytes;
    }

    void Close()
    {
        silence.stop();
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        deleteLater();
    }

private:
    void RestartSilence()
    {
        if (server->limits.silenceMs > 0)
            silence.start(server->limits.silenceMs);
    }

    Server *server;
    quint64 id;
    QLocalSocket *socket;
    FrameDecoder decoder;
    QTimer silence;
};

Server::Server(const Place &channelPlace, const Limits &channelLimits, QObject *parent)
    : QObject(parent), place(channelPlace), limits(channelLimits)
{}

Server::Server(const Place &channelPlace, QObject *parent) : Server(channelPlace, Limits(), parent)
{}

Server::~Server()
{
    for (auto &entry : peers)
        delete entry.second;
    delete server;
    if (lock && lock->isLocked())
        QFile::remove(place.UnreachablePath());
}

bool Server::Claim()
{
    if (claimed)
        return owner;
    claimed = true;
    owner = true;
    if (!place.IsValid())
        return owner;

    lock = std::make_unique<QLockFile>(place.LockPath());
    // Held for the whole life of the owner: only a dead owner makes it stale, never age.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0) && lock->error() == QLockFile::LockFailedError) {
        owner = false;
        return owner;
    }

    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(limits.maxPeers);
    connect(server, &QLocalServer::newConnection, this, &Server::TakePending);
    watch = new QTimer(this);
    // A check a second, left to coalesce with other wake-ups.
    watch->setTimerType(Qt::VeryCoarseTimer);
    connect(watch, &QTimer::timeout, this, [this] {
        if (!server->isListening())
            Listen();
    });
    watch->start(ListenWatchMs);
    Listen();
    return owner;
}

bool Server::IsListening() const
{
    return server && server->isListening();
}

void Server::Listen()
{
    // Without the lock the socket may be another process's: never take it over.
    const bool locked = lock->isLocked();
    if (locked)
        QLocalServer::removeServer(place.ServerName());
    const bool listening = place.ServerNameFits() && server->listen(place.ServerName());
    if (locked)
        SetUnreachable(!listening);
}

void Server::SetUnreachable(bool unreachable)
{
    QFile marker(place.UnreachablePath());
    if (!unreachable)
        marker.remove();
    else if (!marker.exists())
        marker.open(QIODevice::WriteOnly);
}

void Server::TakePending()
{
    while (static_cast<int>(peers.size()) < limits.maxPeers) {
        QLocalSocket *socket = server->nextPendingConnection();
        if (!socket)
            return;
        const quint64 id = nextId++;
        Peer *peer = new Peer(this, id, socket);
        peers.emplace(id, peer);
        QMetaObject::invokeMethod(
            this, [this, id] { Q_EMIT peerConnected(id); }, Qt::QueuedConnection);
        // What arrived with the connection, such as a whole message, is read at once.
        peer->OnReadyRead();
    }
}

void Server::Drop(quint64 id)
{
    const auto found = peers.find(id);
    if (found == peers.end())
        return;
    Peer *peer = found->second;
    peers.erase(found);
    peer->Close();
    QMetaObject::invokeMethod(
        this, [this, id] { Q_EMIT peerDisconnected(id); }, Qt::QueuedConnection);
    // Its place goes to the next one waiting, once this call has unwound.
    QMetaObject::invokeMethod(this, &Server::TakePending, Qt::QueuedConnection);
}

bool Server::Send(quint64 id, QByteArrayView payload)
{
    const auto found = peers.find(id);
    if (found == peers.end())
        return false;
    if (found->second->Send(payload))
        return true;
    Drop(id);
    return false;
}

void Server::SendToAll(QByteArrayView payload)
{
    std::vector<quint64> ids;
    for (const auto &entry : peers)
        ids.push_back(entry.first);
    for (quint64 id : ids)
        Send(id, payload);
}

} // namespace LocalChannel
