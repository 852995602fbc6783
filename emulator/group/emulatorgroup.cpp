#include "emulatorgroup.h"

#include "client.h"
#include "server.h"
#include "windowplacement.h"

#include <QEventLoop>

namespace {

// A new owner listens within moments of taking the lock; this covers its start.
constexpr int ConnectMs = 500;
// Each failed attempt blocks for up to ConnectMs: they grow rarer while they keep failing.
constexpr int LongestRetryMs = 30000;
// The longest message a window sends fits a frame: a field's text with every character
// escaped as \uXXXX beside the longest address and path, and the field names.
static_assert(GroupLimits::MaxAddressLength + GroupLimits::MaxPathLength +
                      6 * GroupLimits::MaxTextLength + 256 <=
                  EmulatorGroup::MaxPayloadBytes,
              "a typed text must fit a frame");

} // namespace

QString EmulatorGroup::ChannelName()
{
    return QStringLiteral("VelmoraMobileEmu-group");
}

EmulatorGroup::EmulatorGroup(const LocalChannel::Place &channelPlace, QObject *parent)
    : QObject(parent), place(channelPlace)
{
    connect(&ping, &QTimer::timeout, this, [this] {
        if (client)
            client->Send(EncodeGroupMessage(GroupMessage::Of(GroupMessage::Ping)));
    });
    ping.start(PingMs);
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &EmulatorGroup::Rejoin);
}

EmulatorGroup::~EmulatorGroup() = default;

bool EmulatorGroup::IsJoined() const
{
    return server || (client && client->IsConnected());
}

GroupMessage EmulatorGroup::Join(const QList<QSize> &frameSizes, const QRect &screen, int waitMs)
{
    GroupMessage answer = GroupMessage::Of(GroupMessage::Welcome);
    if (frameSizes.isEmpty() || !Connect())
        return answer;
    GroupMessage hello = GroupMessage::Of(GroupMessage::Hello);
    hello.size = frameSizes.constFirst();
    hello.smaller = frameSizes.mid(1, GroupLimits::MaxSmallerSizes);
    hello.rect = screen;
    if (server)
        return Welcome(hello, 0);

    // Before the window exists: nothing on the screen waits meanwhile.
    welcome.reset();
    client->Send(EncodeGroupMessage(hello));
    QEventLoop loop;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    waiting = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting = nullptr;
    return welcome.value_or(answer);
}

bool EmulatorGroup::Connect()
{
    LocalChannel::Server::Limits limits;
    limits.maxPeers = MaxPeers;
    limits.maxPayloadBytes = MaxPayloadBytes;
    limits.silenceMs = SilenceMs;
    auto owner = std::make_unique<LocalChannel::Server>(place, limits);
    if (owner->Claim()) {
        server = std::move(owner);
        connect(server.get(), &LocalChannel::Server::frameReceived, this,
                &EmulatorGroup::OnPeerFrame);
        connect(server.get(), &LocalChannel::Server::peerConnected, this,
                [this](quint64 peer) { peers.insert(peer); });
        connect(server.get(), &LocalChannel::Server::peerDisconnected, this, [this](quint64 peer) {
            peers.erase(peer);
            frames.erase(peer);
            offered.erase(peer);
        });
        return true;
    }
    client = std::make_unique<LocalChannel::Client>(MaxPayloadBytes);
    if (!client->Connect(place, QDeadlineTimer(ConnectMs))) {
        client.reset();
        retry.start(retryMs);
        retryMs = qMin(retryMs * 2, LongestRetryMs);
        return false;
    }
    retryMs = FirstRetryMs;
    connect(client.get(), &LocalChannel::Client::frameReceived, this,
            &EmulatorGroup::OnMemberFrame);
    // Not from within the socket's own signal: the client goes away on the way.
    connect(client.get(), &LocalChannel::Client::disconnected, this,
            [this] { QTimer::singleShot(0, this, &EmulatorGroup::Rejoin); });
    return true;
}

void EmulatorGroup::Rejoin()
{
    if (server || (client && client->IsConnected()))
        return;
    client.reset();
    if (Connect())
        Q_EMIT rejoined();
}

void EmulatorGroup::Publish(const GroupMessage &message)
{
    if (server) {
        Remember(0, message);
        if (message.kind != GroupMessage::Window && message.kind != GroupMessage::Address)
            server->SendToAll(EncodeGroupMessage(message));
    } else if (client) {
        client->Send(EncodeGroupMessage(message));
    }
}

void EmulatorGroup::Remember(quint64 member, const GroupMessage &message)
{
    switch (message.kind) {
    case GroupMessage::Window:
        frames[member] = message.rect;
        break;
    case GroupMessage::Address:
    case GroupMessage::Navigate:
    case GroupMessage::Open:
        address = message.address;
        break;
    default:
        break;
    }
}

GroupMessage EmulatorGroup::Welcome(const GroupMessage &hello, quint64 member)
{
    QList<QRect> others = obstacles ? obstacles() : QList<QRect>();
    for (const auto &entry : frames) {
        if (entry.first != member)
            others.append(entry.second);
    }
    const QList<QSize> sizes = QList<QSize>{hello.size} + hello.smaller;
    offered[member] = sizes;
    Placement placement = PlaceWindow(others, sizes, hello.rect, WindowGap);
    if (!placement.free)
        placement = Reshare(member, hello.rect).value_or(placement);
    GroupMessage answer = GroupMessage::Navigation(GroupMessage::Welcome, address);
    answer.position = placement.position;
    answer.choice = placement.choice;
    // Taken at once, so that windows starting together do not get the same place.
    frames[member] = QRect(placement.position, sizes.at(placement.choice));
    return answer;
}

// No room for a newcomer: every window that offered smaller sizes zooms out with it, as
// far as they then all fit. The others, and other programs' windows, stay as they are.
std::optional<Placement> EmulatorGroup::Reshare(quint64 newcomer, const QRect &screen)
{
    QList<QRect> fixed = obstacles ? obstacles() : QList<QRect>();
    QList<quint64> members;
    QList<QList<QSize>> windows;
    for (const auto &[member, frame] : frames) {
        const auto sizes = offered.find(member);
        if (member == newcomer)
            continue;
        if (sizes == offered.end()) {
            fixed.append(frame);
        } else {
            members.append(member);
            windows.append(sizes->second);
        }
    }
    windows.append(offered[newcomer]);
    const std::optional<QList<Placement>> shared = ShareScreen(windows, fixed, screen, WindowGap);
    if (!shared)
        return std::nullopt;
    for (qsizetype i = 0; i < members.size(); ++i) {
        GroupMessage move = GroupMessage::Of(GroupMessage::Welcome);
        move.position = shared->at(i).position;
        move.choice = shared->at(i).choice;
        frames[members[i]] = QRect(*move.position, windows[i].at(move.choice));
        if (members[i] == 0)
            Q_EMIT arranged(move);
        else
            server->Send(members[i], EncodeGroupMessage(move));
    }
    return shared->constLast();
}

void EmulatorGroup::OnPeerFrame(quint64 peer, const QByteArray &payload)
{
    const std::optional<GroupMessage> message = ParseGroupMessage(payload);
    if (!message)
        return;
    // One answer a connection: a member says hello once, and placing is not free.
    if (message->kind == GroupMessage::Hello && offered.count(peer) == 0)
        server->Send(peer, EncodeGroupMessage(Welcome(*message, peer)));
    Remember(peer, *message);
    if (message->IsAction()) {
        Relay(peer, *message);
        Q_EMIT received(*message);
    }
}

// What was checked goes on, re-encoded: a peer's bytes never reach another as they came.
void EmulatorGroup::Relay(quint64 from, const GroupMessage &message)
{
    const QByteArray payload = EncodeGroupMessage(message);
    for (quint64 peer : peers) {
        if (peer != from)
            server->Send(peer, payload);
    }
}

void EmulatorGroup::OnMemberFrame(const QByteArray &payload)
{
    const std::optional<GroupMessage> message = ParseGroupMessage(payload);
    if (!message)
        return;
    if (message->kind == GroupMessage::Welcome && waiting) {
        welcome = message;
        waiting->quit();
    } else if (message->kind == GroupMessage::Welcome) {
        Q_EMIT arranged(*message);
    } else if (message->IsAction()) {
        Q_EMIT received(*message);
    }
}
