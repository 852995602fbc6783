#include "frame.h"

#include <QtEndian>

namespace LocalChannel {

QByteArray EncodeFrame(QByteArrayView payload)
{
    QByteArray frame(HeaderBytes + payload.size(), Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), frame.data());
    std::copy(payload.begin(), payload.end(), frame.begin() + HeaderBytes);
    return frame;
}

FrameDecoder::FrameDecoder(int maxPayloadBytes)
    : maxPayload(qBound(0, maxPayloadBytes, LargestMaxPayloadBytes))
{}

void FrameDecoder::Append(QByteArrayView bytes)
{
    if (malformed)
        return;
    // Consumed bytes go once per read, not once per frame: many small frames in one read
    // must not cost a copy of the rest each.
    buffer.remove(0, consumed);
    consumed = 0;
    buffer.append(bytes.data(), bytes.size());
}

FrameDecoder::Result FrameDecoder::Next(QByteArray *payload)
{
    if (malformed)
        return Malformed;
    const qsizetype available = buffer.size() - consumed;
    if (available < 1)
        return NeedMore;
    const char *start = buffer.constData() + consumed;
    if (*start == AcknowledgementByte) {
        ++consumed;
        return Acknowledgement;
    }
    // Every length below 16 MiB starts with a zero byte.
    if (*start != 0)
        return Fail();
    if (available < HeaderBytes)
        return NeedMore;
    const quint32 length = qFromBigEndian<quint32>(start);
    if (length > static_cast<quint32>(maxPayload))
        return Fail();
    if (available - HeaderBytes < static_cast<qsizetype>(length))
        return NeedMore;
    *payload = QByteArray(start + HeaderBytes, static_cast<qsizetype>(length));
    consumed += HeaderBytes + static_cast<qsizetype>(length);
    return Frame;
}

bool FrameDecoder::TakeAll(QByteArrayList *frames, int *acknowledgements)
{
    QByteArray payload;
    for (;;) {
        switch (Next(&payload)) {
        case NeedMore:
            return true;
        case Frame:
            frames->append(payload);
            break;
        case Acknowledgement:
            ++*acknowledgements;
            break;
        case Malformed:
            return false;
        }
    }
}

FrameDecoder::Result FrameDecoder::Fail()
{
    malformed = true;
    buffer.clear();
    consumed = 0;
    return Malformed;
}

} // namespace LocalChannel
