#pragma once

#include "frame.h"
#include "place.h"

#include <QObject>

#include <map>
#include <memory>
#include <vector>

class QLocalServer;
class QLockFile;
class QTimer;

namespace LocalChannel {

class Peer;

// The owning end of a channel. The process that takes the channel's lock owns it and
// listens; it delivers every frame a peer sends, acknowledging each at once, and may send
// frames back to one peer or to all. It never blocks on a peer: one that stays silent or
// sends a malformed frame is dropped, at most a fixed number of peers are served at once
// (the others wait their turn), and when the listening socket fails (say an accept that
// ran out of file descriptors) it listens again.
class Server : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int maxPeers = 16;
        int maxPayloadBytes = DefaultMaxPayloadBytes;
        // A peer that sends nothing for this long is dropped; 0 keeps quiet peers.
        int silenceMs = 3000;
        // A peer that leaves this much of what it is sent unread is dropped.
        qint64 maxUnsentBytes = 1024 * 1024;
    };

    explicit Server(const Place &place, const Limits &limits, QObject *parent = nullptr);
    explicit Server(const Place &place, QObject *parent = nullptr);
    ~Server() override;

    // Takes the channel's lock (recovering one left by a dead process). True when this
    // process now owns the channel and listens, or keeps trying to, for the rest of its
    // life; false when another process owns it. Without a usable place (or when the lock
    // cannot be written) it owns the channel without keeping anyone else out.
    bool Claim();
    bool IsListening() const;

    // Queue a frame to one peer (false when it is gone) or to every peer served.
    bool Send(quint64 peer, QByteArrayView payload);
    void SendToAll(QByteArrayView payload);
    int PeerCount() const { return static_cast<int>(peers.size()); }

Q_SIGNALS:
    // All three are queued, in the order of what happened, so that a receiver may do
    // anything, even run a modal loop.
    void peerConnected(quint64 peer);
    void frameReceived(quint64 peer, const QByteArray &payload);
    void peerDisconnected(quint64 peer);

private:
    void Listen();
    void TakePending();
    void Drop(quint64 id);
    void SetUnreachable(bool unreachable);

    friend class Peer;
    Place place;
    Limits limits;
    std::unique_ptr<QLockFile> lock;
    QLocalServer *server = nullptr;
    QTimer *watch = nullptr;
    std::map<quint64, Peer *> peers;
    quint64 nextId = 1;
    bool claimed = false;
    bool owner = false;
};

} // namespace LocalChannel
