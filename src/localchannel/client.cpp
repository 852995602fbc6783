#include "client.h"

#include <QFile>
#include <QLocalSocket>
#include <QThread>

namespace LocalChannel {

namespace {

constexpr qint64 ConnectRetryMs = 50;

int Remaining(QDeadlineTimer deadline)
{
    return deadline.isForever() ? -1 : static_cast<int>(qMax(deadline.remainingTime(), qint64(0)));
}

} // namespace

Client::Client(int maxPayloadBytes, QObject *parent)
    : QObject(parent), socket(new QLocalSocket(this)), decoder(maxPayloadBytes),
      maxPayload(maxPayloadBytes)
{
    connect(socket, &QLocalSocket::readyRead, this, &Client::OnReadyRead);
    connect(socket, &QLocalSocket::disconnected, this, &Client::disconnected);
}

Client::~Client() = default;

bool Client::Connect(const Place &place, QDeadlineTimer deadline)
{
    if (!place.IsValid() || !place.ServerNameFits())
        return false;
    for (;;) {
        if (QFile::exists(place.UnreachablePath()))
            return false;
        socket->connectToServer(place.ServerName());
        if (socket->waitForConnected(Remaining(deadline)))
            break;
        socket->abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(static_cast<unsigned long>(
            deadline.isForever() ? ConnectRetryMs
                                 : qMin(deadline.remainingTime(), ConnectRetryMs)));
    }
    decoder = FrameDecoder(maxPayload);
    sent = acknowledgements = 0;
    return true;
}

bool Client::IsConnected() const
{
    return socket->state() == QLocalSocket::ConnectedState;
}

bool Client::Send(QByteArrayView payload)
{
    if (!IsConnected() || payload.size() > maxPayload)
        return false;
    socket->write(EncodeFrame(payload));
    ++sent;
    return true;
}

bool Client::SendAndWait(QByteArrayView payload, QDeadlineTimer deadline)
{
    if (!Send(payload))
        return false;
    while (socket->bytesToWrite() > 0) {
        if (!socket->waitForBytesWritten(Remaining(deadline)))
            return false;
    }
    while (acknowledgements < sent) {
        if (deadline.hasExpired() || !socket->waitForReadyRead(Remaining(deadline)))
            return false;
        // waitForReadyRead may or may not have run the slot already; reading twice is harmless.
        OnReadyRead();
    }
    return true;
}

void Client::OnReadyRead()
{
    decoder.Append(socket->readAll());
    QByteArrayList frames;
    int received = 0;
    const bool wellFormed = decoder.TakeAll(&frames, &received);
    acknowledgements += static_cast<quint64>(received);
    for (const QByteArray &payload : std::as_const(frames))
        Q_EMIT frameReceived(payload);
    if (!wellFormed)
        socket->abort();
}

} // namespace LocalChannel
