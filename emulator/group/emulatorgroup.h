#pragma once

#include "groupmessage.h"
#include "place.h"
#include "windowplacement.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <set>

class QEventLoop;

namespace LocalChannel {
class Client;
class Server;
} // namespace LocalChannel

// The user's emulators as one group over a local channel: the first to start owns the
// channel and relays what each member says to all the others; when the owner goes, closed
// or crashed, the others take over, one of them owning the channel from then on. The owner
// also keeps where every window is and the address the group shows, to answer newcomers.
// Nothing here waits on a peer beyond a short connect.
class EmulatorGroup : public QObject
{
    Q_OBJECT

public:
    // The channel's name within the user's own directory.
    static QString ChannelName();
    // How long a member may stay silent before the owner drops it; members ping more often.
    static constexpr int SilenceMs = 6000;
    static constexpr int PingMs = 2000;
    static constexpr int MaxPeers = 32;
    static constexpr int MaxPayloadBytes = 16 * 1024;
    // Kept between windows when placing them: enough to tell them apart, little enough for
    // six phones zoomed out to half to fit across 1280 pixels.
    static constexpr int WindowGap = 4;

    explicit EmulatorGroup(const LocalChannel::Place &place, QObject *parent = nullptr);
    ~EmulatorGroup() override;

    // Joins, as the owner when no one else is, and asks where a window goes on `screen`, and
    // which of its `frameSizes` (the preferred first, then smaller ones) it takes there. Waits
    // for the answer at most `waitMs`; no position when it did not come.
    GroupMessage Join(const QList<QSize> &frameSizes, const QRect &screen, int waitMs = 1000);
    // Windows of other programs that newcomers are kept clear of, asked while owning.
    void SetObstacles(std::function<QList<QRect>()> find) { obstacles = std::move(find); }
    bool IsOwner() const { return server != nullptr; }
    bool IsJoined() const;

    // To every other member. Window and Address messages go to the owner only.
    void Publish(const GroupMessage &message);

Q_SIGNALS:
    // From another member; only what may be followed or acted upon.
    void received(const GroupMessage &message);
    // Joined again after the owner went: the member tells where its window is.
    void rejoined();
    // The owner moved this window, and chose its size, to make room for a newcomer; also a
    // join's answer that came late.
    void arranged(const GroupMessage &where);

private:
    bool Connect();
    void Rejoin();
    void OnPeerFrame(quint64 peer, const QByteArray &payload);
    void OnMemberFrame(const QByteArray &payload);
    void Remember(quint64 member, const GroupMessage &message);
    GroupMessage Welcome(const GroupMessage &hello, quint64 member);
    void Relay(quint64 from, const GroupMessage &message);
    std::optional<Placement> Reshare(quint64 newcomer, const QRect &screen);

    LocalChannel::Place place;
    std::unique_ptr<LocalChannel::Server> server;
    std::unique_ptr<LocalChannel::Client> client;
    QTimer ping;
    static constexpr int FirstRetryMs = 1000;
    QTimer retry;
    int retryMs = FirstRetryMs; // doubles while joining fails
    // Kept by the owner: every member's window (this one's under 0) and the group's address.
    std::map<quint64, QRect> frames;
    std::map<quint64, QList<QSize>> offered; // each member's frame sizes, as it joined
    std::set<quint64> peers;
    QUrl address;
    std::optional<GroupMessage> welcome; // the answer awaited by Join
    QEventLoop *waiting = nullptr;
    std::function<QList<QRect>()> obstacles;
};
