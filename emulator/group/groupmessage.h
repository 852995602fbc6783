#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>

// What the emulators of a group tell one another, one message per frame of the local
// channel, as a small JSON object. Every field is checked on the way in: a message from a
// peer, or from a page through a window, is trusted no further than this.
struct GroupMessage
{
    enum Kind
    {
        Hello,    // a new member: its window's size and screen
        Welcome,  // the owner's answer: where the window goes, the group's address
        Window,   // a member's window moved or resized
        Address,  // a member shows this address on its own (not followed)
        Navigate, // followed by the windows with Follow on
        Scroll,
        Click,
        Open,   // Open in all: every window
        Reload, // Reload all: every window
        Ping    // keeps a quiet member in the group
    };

    Kind kind = Ping;
    QUrl address;                   // Welcome (may be empty), Address, Navigate, Open
    double fraction{};              // Scroll: 0 at the top, 1 at the bottom
    QString path;                   // Click: the element's path
    QSize size;                     // Hello: the frame at the zoom asked for
    QList<QSize> smaller;           // Hello: the frame at each lower zoom it may take instead
    int choice = 0;                 // Welcome: 0 for size, i for smaller[i - 1]
    QRect rect;                     // Hello: the screen's available area; Window: the frame
    std::optional<QPoint> position; // Welcome

    static GroupMessage Of(Kind kind);
    static GroupMessage Navigation(Kind kind, const QUrl &address);
    static GroupMessage ScrollTo(double fraction);
    static GroupMessage ClickOn(const QString &path);

    // What a window follows or acts upon; the rest is between a member and the owner.
    bool IsAction() const
    {
        return kind == Navigate || kind == Scroll || kind == Click || kind == Open ||
               kind == Reload;
    }
};

Q_DECLARE_METATYPE(GroupMessage)

namespace GroupLimits {
inline constexpr int MaxAddressLength = 8192;
inline constexpr int MaxPathLength = 2048;
inline constexpr int MaxPathDepth = 64;
inline constexpr int MaxCoordinate = 65535;
inline constexpr int MaxSmallerSizes = 16;
} // namespace GroupLimits

QByteArray EncodeGroupMessage(const GroupMessage &message);
// Nothing when the payload is not one well-formed message of a known kind.
std::optional<GroupMessage> ParseGroupMessage(QByteArrayView payload);

// Only these may travel: http and https with a host, and file; short enough.
bool IsFollowableAddress(const QUrl &address);
// A chain of tag names, each with an optional :nth-of-type(N), joined by " > ", such as
// "html > body:nth-of-type(1) > a:nth-of-type(2)": enough to find an element again and
// nothing a selector engine could be made to do more with.
bool IsElementPath(const QString &path);
