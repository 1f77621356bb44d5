#pragma once
// One end of ENet's links: a server that listens or a client that connects.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nodara/Logger.h>

struct _ENetHost;

/// Wraps an ENet host with two channels: Reliable (ordered, resent until it
/// arrives) for the lobby and race events, States (unreliable, sequenced: a
/// packet older than one already taken is dropped) for car states. Peers are
/// named by a small index, stable while they stay connected. No packet in
/// or out is larger than the host's packet limit, so a peer cannot make it
/// hold more than that for one message.
///
/// Single-threaded: every call comes from the thread that made the host.
class NetHost {
public:
    enum Channel : std::uint8_t { Reliable = 0, States = 1, ChannelCount = 2 };

    struct Event {
        enum class Type { Connected, Disconnected, Received };
        Type type = Type::Received;
        unsigned peer = 0;
        std::uint8_t channel = 0;
        std::vector<std::uint8_t> data;  ///< what was received
        /// What the other end gave Disconnect; 0 also when the link timed out.
        std::uint32_t disconnectReason = 0;
    };

    /// Silence (nothing heard from a connected peer, whose link ENet pings
    /// twice a second) after which it is dropped (ms).
    static constexpr std::uint32_t SilenceTimeoutMs = 5000;
    /// How long one reliable message may go unacknowledged, resent, while
    /// the link is otherwise heard: a poor link loses the same one again
    /// and again now and then (ms).
    static constexpr std::uint32_t ResendTimeoutMs = 30000;
    static constexpr std::uint16_t DefaultPort = 27440;

    NetHost();
    ~NetHost();
    NetHost(const NetHost&) = delete;
    NetHost& operator=(const NetHost&) = delete;

    /// Listens on `address` ("127.0.0.1", or "" for every interface) and
    /// `port` (0: one the system picks, GetPort says which), with room for
    /// `maxPeers` links at once; a connection beyond them is not answered.
    /// `maxPacketBytes` bounds each packet either way.
    /// @return false, with one Error line, when ENet or the socket fails
    bool Listen(const std::string& address, std::uint16_t port, std::size_t maxPeers, std::size_t maxPacketBytes);
    /// Starts a link to `host` (a name or a dotted address) at `port`; the
    /// Connected event follows once the server answers, a Disconnected one
    /// if it never does.
    /// @return false, with one Error line, when the name does not resolve or ENet fails
    bool Connect(const std::string& host, std::uint16_t port, std::size_t maxPacketBytes);
    bool IsOpen() const { return host != nullptr; }

    /// Sends what is queued and takes the next event, waiting up to
    /// `timeoutMs` for one.
    /// @return true with `event` set; false when nothing happened in time
    bool Service(Event& event, std::uint32_t timeoutMs);
    /// Sends what is queued now, without waiting for anything.
    void Flush();

    /// Queues `data` for `peer` on `channel`; false for a peer not
    /// connected, an empty packet or one over the packet limit.
    bool Send(unsigned peer, Channel channel, const std::vector<std::uint8_t>& data);
    /// Starts closing the link to `peer` once what is queued for it has gone
    /// (the Disconnected event follows); `now`: drops it at once, no event.
    /// `reason` reaches the other end's Disconnected event.
    void Disconnect(unsigned peer, bool now = false, std::uint32_t reason = 0);
    /// Peers whose link is up.
    std::vector<unsigned> GetConnectedPeers() const;
    bool IsConnected(unsigned peer) const;
    /// Links not yet closed: connected, or connecting, or closing.
    std::size_t GetLinkCount() const;
    /// The peer's mean round-trip time (ms).
    std::uint32_t GetRoundTripMs(unsigned peer) const;
    /// "127.0.0.1:27440".
    std::string GetPeerAddress(unsigned peer) const;
    /// Bytes sent and received since the host opened, ENet's headers and
    /// acknowledgements included (its counters, of 32 bits).
    std::uint64_t GetBytesSent() const;
    std::uint64_t GetBytesReceived() const;
    /// The port the host is bound to (a client's own too).
    std::uint16_t GetPort() const;

private:
    void Close();

    /// The Disconnected event of a connected peer gone silent, if any.
    bool DropSilentPeer(Event& event);

    _ENetHost* host = nullptr;
    /// When each peer's link came up or last brought a message (ENet's
    /// clock): silence is counted from the later of that and its last acknowledgement.
    std::vector<std::uint32_t> heardAtMs;
    bool initialized = false;
    static Logger logger;
};
