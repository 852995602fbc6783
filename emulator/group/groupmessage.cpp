#include "groupmessage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace {

struct KindName
{
    GroupMessage::Kind kind;
    QLatin1String name;
};

constexpr KindName KindNames[] = {
    {GroupMessage::Hello, QLatin1String("hello")},
    {GroupMessage::Welcome, QLatin1String("welcome")},
    {GroupMessage::Window, QLatin1String("window")},
    {GroupMessage::Address, QLatin1String("address")},
    {GroupMessage::Navigate, QLatin1String("navigate")},
    {GroupMessage::Scroll, QLatin1String("scroll")},
    {GroupMessage::Click, QLatin1String("click")},
    {GroupMessage::Focus, QLatin1String("focus")},
    {GroupMessage::Type, QLatin1String("type")},
    {GroupMessage::Open, QLatin1String("open")},
    {GroupMessage::Reload, QLatin1String("reload")},
    {GroupMessage::Screenshots, QLatin1String("screenshots")},
    {GroupMessage::Ping, QLatin1String("ping")},
};

QJsonArray Numbers(std::initializer_list<int> values)
{
    QJsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

// Whole numbers within the coordinate range, exactly `count` of them.
std::optional<QList<int>> ReadNumbers(const QJsonValue &value, qsizetype count)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != count)
        return std::nullopt;
    QList<int> numbers;
    for (const QJsonValue &item : array) {
        const double number = item.toDouble(NAN);
        if (!std::isfinite(number) || number != std::floor(number) ||
            std::abs(number) > GroupLimits::MaxCoordinate)
            return std::nullopt;
        numbers.append(static_cast<int>(number));
    }
    return numbers;
}

std::optional<QRect> ReadRect(const QJsonValue &value)
{
    const auto numbers = ReadNumbers(value, 4);
    if (!numbers || numbers->at(2) <= 0 || numbers->at(3) <= 0)
        return std::nullopt;
    return QRect(numbers->at(0), numbers->at(1), numbers->at(2), numbers->at(3));
}

std::optional<QUrl> ReadAddress(const QJsonValue &value)
{
    if (!value.isString() || value.toString().size() > GroupLimits::MaxAddressLength)
        return std::nullopt;
    const QUrl address(value.toString(), QUrl::StrictMode);
    if (!IsFollowableAddress(address))
        return std::nullopt;
    return address;
}

bool ReadFields(const QJsonObject &object, GroupMessage &message)
{
    // What the user did in a page names the page: no other page is acted upon.
    if (message.IsInPage()) {
        const auto url = ReadAddress(object.value(QLatin1String("address")));
        if (!url)
            return false;
        message.address = *url;
    }
    switch (message.kind) {
    case GroupMessage::Hello: {
        const auto size = ReadNumbers(object.value(QLatin1String("size")), 2);
        const auto screen = ReadRect(object.value(QLatin1String("screen")));
        if (!size || !screen || size->at(0) <= 0 || size->at(1) <= 0)
            return false;
        message.size = QSize(size->at(0), size->at(1));
        message.rect = *screen;
        const QJsonValue smaller = object.value(QLatin1String("smaller"));
        if (smaller.isUndefined())
            return true;
        if (!smaller.isArray() || smaller.toArray().size() > GroupLimits::MaxSmallerSizes)
            return false;
        for (const QJsonValue &item : smaller.toArray()) {
            const auto other = ReadNumbers(item, 2);
            if (!other || other->at(0) <= 0 || other->at(1) <= 0)
                return false;
            message.smaller.append(QSize(other->at(0), other->at(1)));
        }
        return true;
    }
    case GroupMessage::Welcome: {
        const QJsonValue position = object.value(QLatin1String("position"));
        if (!position.isUndefined()) {
            const auto numbers = ReadNumbers(position, 2);
            if (!numbers)
                return false;
            message.position = QPoint(numbers->at(0), numbers->at(1));
        }
        const QJsonValue choice = object.value(QLatin1String("choice"));
        if (!choice.isUndefined()) {
            const double number = choice.toDouble(NAN);
            if (!(number >= 0 && number <= GroupLimits::MaxSmallerSizes) ||
                number != std::floor(number))
                return false;
            message.choice = static_cast<int>(number);
        }
        const QJsonValue address = object.value(QLatin1String("address"));
        if (address.isUndefined())
            return true;
        const auto url = ReadAddress(address);
        message.address = url.value_or(QUrl());
        return url.has_value();
    }
    case GroupMessage::Window: {
        const auto frame = ReadRect(object.value(QLatin1String("frame")));
        message.rect = frame.value_or(QRect());
        return frame.has_value();
    }
    case GroupMessage::Address:
    case GroupMessage::Navigate:
    case GroupMessage::Open: {
        const auto url = ReadAddress(object.value(QLatin1String("address")));
        message.address = url.value_or(QUrl());
        return url.has_value();
    }
    case GroupMessage::Type: {
        const QJsonValue text = object.value(QLatin1String("text"));
        message.text = text.toString();
        if (!text.isString() || message.text.size() > GroupLimits::MaxTextLength)
            return false;
    }
        [[fallthrough]];
    case GroupMessage::Click:
    case GroupMessage::Focus:
        message.path = object.value(QLatin1String("path")).toString();
        return IsElementPath(message.path);
    case GroupMessage::Screenshots:
        message.text = object.value(QLatin1String("stamp")).toString();
        return IsScreenshotStamp(message.text);
    case GroupMessage::Scroll: {
        const double fraction = object.value(QLatin1String("fraction")).toDouble(NAN);
        if (!std::isfinite(fraction))
            return false;
        message.fraction = qBound(0.0, fraction, 1.0);
        return true;
    }
    case GroupMessage::Reload:
    case GroupMessage::Ping:
        return true;
    }
    return false;
}

} // namespace

GroupMessage GroupMessage::Of(Kind kind)
{
    GroupMessage message;
    message.kind = kind;
    return message;
}

GroupMessage GroupMessage::Navigation(Kind kind, const QUrl &address)
{
    GroupMessage message = Of(kind);
    message.address = address;
    return message;
}

GroupMessage GroupMessage::ScrollTo(double fraction, const QUrl &page)
{
    GroupMessage message = Navigation(Scroll, page);
    message.fraction = fraction;
    return message;
}

GroupMessage GroupMessage::OnElement(Kind kind, const QString &path, const QUrl &page)
{
    GroupMessage message = Navigation(kind, page);
    message.path = path;
    return message;
}

QByteArray EncodeGroupMessage(const GroupMessage &message)
{
    QJsonObject object;
    for (const KindName &entry : KindNames) {
        if (entry.kind == message.kind)
            object.insert(QLatin1String("type"), entry.name);
    }
    if (message.IsInPage())
        object.insert(QLatin1String("address"), message.address.toString(QUrl::FullyEncoded));
    switch (message.kind) {
    case GroupMessage::Hello:
        object.insert(QLatin1String("size"),
                      Numbers({message.size.width(), message.size.height()}));
        object.insert(QLatin1String("screen"),
                      Numbers({message.rect.x(), message.rect.y(), message.rect.width(),
                               message.rect.height()}));
        if (!message.smaller.isEmpty()) {
            QJsonArray smaller;
            for (const QSize &size : message.smaller)
                smaller.append(Numbers({size.width(), size.height()}));
            object.insert(QLatin1String("smaller"), smaller);
        }
        break;
    case GroupMessage::Welcome:
        if (message.position)
            object.insert(QLatin1String("position"),
                          Numbers({message.position->x(), message.position->y()}));
        if (message.choice > 0)
            object.insert(QLatin1String("choice"), message.choice);
        if (!message.address.isEmpty())
            object.insert(QLatin1String("address"), message.address.toString(QUrl::FullyEncoded));
        break;
    case GroupMessage::Window:
        object.insert(QLatin1String("frame"),
                      Numbers({message.rect.x(), message.rect.y(), message.rect.width(),
                               message.rect.height()}));
        break;
    case GroupMessage::Address:
    case GroupMessage::Navigate:
    case GroupMessage::Open:
        object.insert(QLatin1String("address"), message.address.toString(QUrl::FullyEncoded));
        break;
    case GroupMessage::Scroll:
        object.insert(QLatin1String("fraction"), message.fraction);
        break;
    case GroupMessage::Type:
        object.insert(QLatin1String("text"), message.text);
        [[fallthrough]];
    case GroupMessage::Click:
    case GroupMessage::Focus:
        object.insert(QLatin1String("path"), message.path);
        break;
    case GroupMessage::Screenshots:
        object.insert(QLatin1String("stamp"), message.text);
        break;
    case GroupMessage::Reload:
    case GroupMessage::Ping:
        break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<GroupMessage> ParseGroupMessage(QByteArrayView payload)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QString type = object.value(QLatin1String("type")).toString();
    for (const KindName &entry : KindNames) {
        if (type != entry.name)
            continue;
        GroupMessage message = GroupMessage::Of(entry.kind);
        if (!ReadFields(object, message))
            return std::nullopt;
        return message;
    }
    return std::nullopt;
}

bool IsFollowableAddress(const QUrl &address)
{
    if (!address.isValid() ||
        address.toString(QUrl::FullyEncoded).size() > GroupLimits::MaxAddressLength)
        return false;
    const QString scheme = address.scheme();
    if (scheme == QLatin1String("file"))
        return address.host().isEmpty() && !address.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !address.host().isEmpty();
}

bool IsElementPath(const QString &path)
{
    static const QRegularExpression step(
        QStringLiteral("^[a-z][a-z0-9-]{0,31}(:nth-of-type\\([1-9][0-9]{0,3}\\))?$"));
    if (path.isEmpty() || path.size() > GroupLimits::MaxPathLength)
        return false;
    const QStringList steps = path.split(QStringLiteral(" > "));
    if (steps.size() > GroupLimits::MaxPathDepth)
        return false;
    for (const QString &one : steps) {
        if (!step.match(one).hasMatch())
            return false;
    }
    return true;
}

bool IsScreenshotStamp(const QString &stamp)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{8}-[0-9]{6}$"));
    return pattern.match(stamp).hasMatch() &&
           QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss")).isValid();
}
