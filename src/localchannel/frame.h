#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

namespace LocalChannel {

// On the wire a frame is a 4-byte big-endian payload length followed by the payload. The
// server acknowledges each frame of a peer with the single byte AcknowledgementByte; since a
// payload is always shorter than 16 MiB, a frame's first byte is 0 and the two never mix.
constexpr int HeaderBytes = 4;
constexpr int DefaultMaxPayloadBytes = 64 * 1024;
constexpr int LargestMaxPayloadBytes = 0xFFFFFF;
constexpr char AcknowledgementByte = '\x06';

QByteArray EncodeFrame(QByteArrayView payload);

// Splits the bytes of one peer, as they arrive in pieces of any size, into frames and
// acknowledgements. Keeps at most one partial frame plus what one read brought. Knows
// nothing of time: its user drops a peer that stays silent too long.
class FrameDecoder
{
public:
    enum Result
    {
        NeedMore,
        Frame,
        Acknowledgement,
        // A length above the limit, or a byte that starts neither item. Final.
        Malformed
    };

    explicit FrameDecoder(int maxPayloadBytes = DefaultMaxPayloadBytes);

    void Append(QByteArrayView bytes);
    // The next complete item; a frame's payload goes to *payload.
    Result Next(QByteArray *payload);
    // Every complete item at once: the payloads in order and the number of
    // acknowledgements. False once the stream is malformed; what came before still counts.
    bool TakeAll(QByteArrayList *frames, int *acknowledgements);

private:
    Result Fail();

    QByteArray buffer;
    qsizetype consumed = 0;
    int maxPayload;
    bool malformed = false;
};

} // namespace LocalChannel
