// A message from another emulator of the group, as any peer may send it: whatever is
// accepted carries only an address that may be followed, a valid element path, a fraction
// from 0 to 1, a text no longer than the limit and a folder stamp of digits, and reads back
// the same once passed on.

#include "fuzzcheck.h"
#include "groupmessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<GroupMessage> message = ParseGroupMessage(payload);
    if (!message)
        return 0;
    if (message->IsInPage())
        FuzzCheck(IsFollowableAddress(message->address), "only on a followable page", QString(),
                  message->address.toString());
    switch (message->kind) {
    case GroupMessage::Address:
    case GroupMessage::Navigate:
    case GroupMessage::Open:
        FuzzCheck(IsFollowableAddress(message->address), "only followable addresses", QString(),
                  message->address.toString());
        break;
    case GroupMessage::Type:
        FuzzCheck(message->text.size() <= GroupLimits::MaxTextLength, "only short texts");
        [[fallthrough]];
    case GroupMessage::Click:
    case GroupMessage::Focus:
        FuzzCheck(IsElementPath(message->path), "only element paths", QString(), message->path);
        break;
    case GroupMessage::Screenshots:
        FuzzCheck(IsScreenshotStamp(message->text), "only folder stamps", QString(), message->text);
        break;
    case GroupMessage::Scroll:
        FuzzCheck(message->fraction >= 0 && message->fraction <= 1, "fractions from 0 to 1");
        break;
    default:
        break;
    }
    const QByteArray passedOn = EncodeGroupMessage(*message);
    const std::optional<GroupMessage> again = ParseGroupMessage(passedOn);
    FuzzCheck(again.has_value(), "what is passed on is accepted", QString(),
              QString::fromUtf8(passedOn));
    FuzzCheck(EncodeGroupMessage(*again) == passedOn, "passed on unchanged",
              QString::fromUtf8(passedOn), QString::fromUtf8(EncodeGroupMessage(*again)));
    return 0;
}
