#pragma once

#include "frame.h"
#include "place.h"

#include <QDeadlineTimer>
#include <QObject>

class QLocalSocket;

namespace LocalChannel {

// The other end of a channel: connects to the owner's server, sends frames and receives
// the acknowledgements and the frames the server sends back. It may stay connected for as
// long as the server keeps it (see Server::Limits::silenceMs).
class Client : public QObject
{
    Q_OBJECT

public:
    explicit Client(int maxPayloadBytes = DefaultMaxPayloadBytes, QObject *parent = nullptr);
    ~Client() override;

    // Blocks until connected or the deadline passed, retrying while there is no server yet
    // (its owner may have taken the lock but not be listening yet). Gives up at once when
    // the owner has said that it cannot listen.
    bool Connect(const Place &place, QDeadlineTimer deadline);
    bool IsConnected() const;

    // Queues one frame; false when not connected or the payload is too long.
    bool Send(QByteArrayView payload);
    // Sends one frame and blocks until the server acknowledged it or the deadline passed.
    // Frames that arrive meanwhile are delivered as frameReceived.
    bool SendAndWait(QByteArrayView payload, QDeadlineTimer deadline);

Q_SIGNALS:
    void frameReceived(const QByteArray &payload);
    void disconnected();

private:
    void OnReadyRead();

    QLocalSocket *socket;
    FrameDecoder decoder;
    int maxPayload;
    quint64 sent = 0;
    quint64 acknowledgements = 0;
};

} // namespace LocalChannel
