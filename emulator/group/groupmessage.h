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
        // What the user did in a page, applied only by windows showing the same address
        Scroll,
        Click,
        Focus,       // into a field that takes typing
        Type,        // a field's whole text after the user typed
        Open,        // Open in all: every window
        Reload,      // Reload all: every window
        Screenshots, // Screenshot of all: every window, into one folder
        Ping         // keeps a quiet member in the group
    };

    Kind kind = Ping;
    // Welcome (may be empty), Address, Navigate, Open; for what the user did in a page, the
    // page's address
    QUrl address;
    double fraction{};              // Scroll: 0 at the top, 1 at the bottom
    QString path;                   // Click, Focus, Type: the element's path
    QString text;                   // Type: the field's text; Screenshots: the folder's stamp
    QSize size;                     // Hello: the frame at the zoom asked for
    QList<QSize> smaller;           // Hello: the frame at each lower zoom it may take instead
    int choice = 0;                 // Welcome: 0 for size, i for smaller[i - 1]
    QRect rect;                     // Hello: the screen's available area; Window: the frame
    std::optional<QPoint> position; // Welcome

    static GroupMessage Of(Kind kind);
    static GroupMessage Navigation(Kind kind, const QUrl &address);
    static GroupMessage ScrollTo(double fraction, const QUrl &page);
    static GroupMessage OnElement(Kind kind, const QString &path, const QUrl &page);

    // What a window follows or acts upon; the rest is between a member and the owner.
    bool IsAction() const
    {
        return kind == Navigate || IsInPage() || kind == Open || kind == Reload ||
               kind == Screenshots;
    }
    // What the user did within a page, to be applied only to the same page.
    bool IsInPage() const
    {
        return kind == Scroll || kind == Click || kind == Focus || kind == Type;
    }
};

Q_DECLARE_METATYPE(GroupMessage)

namespace GroupLimits {
inline constexpr int MaxAddressLength = 8192;
inline constexpr int MaxPathLength = 2048;
inline constexpr int MaxPathDepth = 64;
inline constexpr int MaxCoordinate = 65535;
inline constexpr int MaxSmallerSizes = 16;
// A field's text in UTF-16 units; as JSON at most 6 bytes each, so that a message with the
// longest address and path still fits a frame of the channel.
inline constexpr int MaxTextLength = 900;
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
// The folder name all windows save a Screenshot of all into: yyyyMMdd-HHmmss.
bool IsScreenshotStamp(const QString &stamp);
