#include "NetHost.h"

#include <enet/enet.h>
#include <enet/time.h>

namespace {

// ENet wants one initialise per process before any host and one
// deinitialise after the last; hosts come and go, so they count.
int enetUsers = 0;

bool AcquireEnet() {
    if (enetUsers == 0 && enet_initialize() != 0) return false;
    ++enetUsers;
    return true;
}

void ReleaseEnet() {
    if (--enetUsers == 0) enet_deinitialize();
}

/// The host's own limits: ENet allows a 32 MB packet by default.
// ENet's throttle drops unreliable packets where it sees packets lost; the
// states are a few kB a second, so that would only leave holes in every
// other car's path (a dropped state is never resent). Full throttle, always.
void SendEveryState(ENetPeer* peer) {
    // Each end sets its own sending; nothing need go over the link for it.
    peer->packetThrottleDeceleration = 0;
    peer->packetThrottle = ENET_PEER_PACKET_THROTTLE_SCALE;
}

void Bound(ENetHost* host, std::size_t maxPacketBytes) {
    host->maximumPacketSize = maxPacketBytes;
    // Room for two of the largest packets in fragments and a few small
    // ones queued unreliable, no more: a peer cannot make the host hold more.
    host->maximumWaitingData = maxPacketBytes * 2 + 64 * 1024;
}

}  // namespace

Logger NetHost::logger("NetHost");

NetHost::NetHost() { initialized = AcquireEnet(); }

NetHost::~NetHost() {
    Close();
    if (initialized) ReleaseEnet();
}

void NetHost::Close() {
    if (host) enet_host_destroy(host);
    host = nullptr;
}

bool NetHost::Listen(const std::string& address, std::uint16_t port, std::size_t maxPeers,
                     std::size_t maxPacketBytes) {
    Close();
    if (!initialized) {
        logger.Log(Logger::Error, "ENet could not be initialised");
        return false;
    }
    ENetAddress bind;
    bind.host = ENET_HOST_ANY;
    bind.port = port;
    if (!address.empty() && enet_address_set_host_ip(&bind, address.c_str()) != 0) {
        logger.Log(Logger::Error, "not an address to listen on: " + address);
        return false;
    }
    host = enet_host_create(&bind, maxPeers, ChannelCount, 0, 0);
    if (!host) {
        logger.Log(Logger::Error, "cannot listen on " + (address.empty() ? std::string("*") : address) + ":" +
                                      std::to_string(port) + " (in use, or not an address of this machine)");
        return false;
    }
    Bound(host, maxPacketBytes);
    return true;
}

bool NetHost::Connect(const std::string& name, std::uint16_t port, std::size_t maxPacketBytes) {
    Close();
    if (!initialized) {
        logger.Log(Logger::Error, "ENet could not be initialised");
        return false;
    }
    ENetAddress to;
    to.port = port;
    if (enet_address_set_host(&to, name.c_str()) != 0) {
        logger.Log(Logger::Error, "cannot resolve " + name);
        return false;
    }
    host = enet_host_create(nullptr, 1, ChannelCount, 0, 0);
    if (!host) {
        logger.Log(Logger::Error, "cannot open a socket");
        return false;
    }
    Bound(host, maxPacketBytes);
    ENetPeer* server = enet_host_connect(host, &to, ChannelCount, 0);
    if (!server) {
        logger.Log(Logger::Error, "cannot connect to " + name);
        Close();
        return false;
    }
    // A server that never answers is given up as soon as a silent one is.
    enet_peer_timeout(server, 0, SilenceTimeoutMs, SilenceTimeoutMs);
    // NOTE: the throttle is set once connected (Service): the handshake
    // checks that the server echoes the settings the client sent.
    return true;
}

bool NetHost::DropSilentPeer(Event& event) {
    const enet_uint32 now = enet_time_get();
    heardAtMs.resize(host->peerCount, now);
    for (std::size_t i = 0; i < host->peerCount; ++i) {
        ENetPeer& peer = host->peers[i];
        if (peer.state != ENET_PEER_STATE_CONNECTED) continue;
        const enet_uint32 heard = ENET_TIME_LESS(peer.lastReceiveTime, heardAtMs[i]) ? heardAtMs[i]
                                                                                          : peer.lastReceiveTime;
        if (ENET_TIME_DIFFERENCE(now, heard) < SilenceTimeoutMs) continue;
        enet_peer_disconnect_now(&peer, 0);
        event = Event{};
        event.type = Event::Type::Disconnected;
        event.peer = static_cast<unsigned>(i);
        return true;
    }
    return false;
}

bool NetHost::Service(Event& event, std::uint32_t timeoutMs) {
    if (!host) return false;
    ENetEvent e;
    const int got = enet_host_service(host, &e, timeoutMs);
    // Silence is judged once ENet has read what waits: after a stall of our
    // own (a race loading, a loaded machine) a peer whose packets sit in the
    // socket has not gone quiet.
    if (got <= 0) return DropSilentPeer(event);
    event.peer = static_cast<unsigned>(e.peer - host->peers);
    event.channel = e.channelID;
    event.data.clear();
    event.disconnectReason = 0;
    switch (e.type) {
        case ENET_EVENT_TYPE_CONNECT:
            event.type = Event::Type::Connected;
            // Silence is DropSilentPeer's to judge; ENet gives up on a
            // message only after ResendTimeoutMs of resending it.
            enet_peer_timeout(e.peer, 0, ResendTimeoutMs, ResendTimeoutMs);
            heardAtMs.resize(host->peerCount, 0);
            heardAtMs[event.peer] = enet_time_get();
            SendEveryState(e.peer);
            return true;
        case ENET_EVENT_TYPE_DISCONNECT:
            event.type = Event::Type::Disconnected;
            event.disconnectReason = e.data;
            return true;
        case ENET_EVENT_TYPE_RECEIVE:
            event.type = Event::Type::Received;
            // ENet's own clock of a peer counts only its acknowledgements;
            // a stream of unreliable states is as good a sign of life.
            heardAtMs.resize(host->peerCount, 0);
            heardAtMs[event.peer] = enet_time_get();
            // ENet has bounded the packet by maximumPacketSize already.
            event.data.assign(e.packet->data, e.packet->data + e.packet->dataLength);
            enet_packet_destroy(e.packet);
            return true;
        case ENET_EVENT_TYPE_NONE: break;
    }
    return false;
}

void NetHost::Flush() {
    if (host) enet_host_flush(host);
}

bool NetHost::Send(unsigned peer, Channel channel, const std::vector<std::uint8_t>& data) {
    if (!IsConnected(peer) || data.empty() || data.size() > host->maximumPacketSize) return false;
    ENetPacket* packet =
        enet_packet_create(data.data(), data.size(), channel == Reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return false;
    if (enet_peer_send(&host->peers[peer], channel, packet) != 0) {
        enet_packet_destroy(packet);
        return false;
    }
    return true;
}

void NetHost::Disconnect(unsigned peer, bool now, std::uint32_t reason) {
    if (!host || peer >= host->peerCount) return;
    if (now)
        enet_peer_disconnect_now(&host->peers[peer], reason);
    else
        enet_peer_disconnect_later(&host->peers[peer], reason);
}

bool NetHost::IsConnected(unsigned peer) const {
    return host && peer < host->peerCount && host->peers[peer].state == ENET_PEER_STATE_CONNECTED;
}

std::vector<unsigned> NetHost::GetConnectedPeers() const {
    std::vector<unsigned> peers;
    if (host)
        for (std::size_t i = 0; i < host->peerCount; ++i)
            if (host->peers[i].state == ENET_PEER_STATE_CONNECTED) peers.push_back(static_cast<unsigned>(i));
    return peers;
}

std::size_t NetHost::GetLinkCount() const {
    std::size_t count = 0;
    if (host)
        for (std::size_t i = 0; i < host->peerCount; ++i)
            if (host->peers[i].state != ENET_PEER_STATE_DISCONNECTED && host->peers[i].state != ENET_PEER_STATE_ZOMBIE)
                ++count;
    return count;
}

std::uint32_t NetHost::GetRoundTripMs(unsigned peer) const {
    return host && peer < host->peerCount ? host->peers[peer].roundTripTime : 0;
}

std::string NetHost::GetPeerAddress(unsigned peer) const {
    if (!host || peer >= host->peerCount) return "";
    char ip[64] = "";
    if (enet_address_get_host_ip(&host->peers[peer].address, ip, sizeof ip) != 0) return "";
    return std::string(ip) + ":" + std::to_string(host->peers[peer].address.port);
}

std::uint16_t NetHost::GetPort() const {
    if (!host) return 0;
    ENetAddress bound;
    if (enet_socket_get_address(host->socket, &bound) != 0) return 0;
    return bound.port;
}

std::uint64_t NetHost::GetBytesSent() const { return host ? host->totalSentData : 0; }

std::uint64_t NetHost::GetBytesReceived() const { return host ? host->totalReceivedData : 0; }
