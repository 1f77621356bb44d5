#include "ServerSearch.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

ServerSearch::~ServerSearch() {
    if (socket >= 0) close(socket);
}

bool ServerSearch::Open() {
    found.clear();
    if (socket >= 0) close(socket);
    socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) return false;
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // Answers to an earlier search, or forged ones, carry another number.
    nonce = std::random_device()();
    return true;
}

bool ServerSearch::Ask(const sockaddr_in& to) {
    const std::vector<std::uint8_t> request = Discovery::EncodeRequest(nonce);
    return sendto(socket, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(request.size());
}

bool ServerSearch::StartAt(const std::string& address, std::uint16_t port) {
    if (!Open()) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    return inet_pton(AF_INET, address.c_str(), &to.sin_addr) == 1 && Ask(to);
}

bool ServerSearch::Start(std::uint16_t port) {
    if (!Open()) return false;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return false;
    bool asked = false;
    for (const ifaddrs* i = interfaces; i; i = i->ifa_next) {
        const unsigned flags = i->ifa_flags;
        if (!i->ifa_broadaddr || !i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(flags & IFF_UP) ||
            !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        sockaddr_in to = *reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
        to.sin_port = htons(port);
        asked = Ask(to) || asked;
    }
    freeifaddrs(interfaces);
    return asked;
}

void ServerSearch::Poll(std::uint32_t waitMs) {
    if (socket < 0) return;
    pollfd waiting{socket, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(waitMs)) <= 0) return;
    for (int i = 0; i < 64; ++i) {
        std::uint8_t buffer[512];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) break;
        Discovery::ServerInfo info;
        if (!Discovery::DecodeAnswer(buffer, static_cast<std::size_t>(got), nonce, info)) continue;
        char ip[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
        bool known = false;
        for (const Found& f : found) known = known || (f.address == ip && f.info.port == info.port);
        if (!known && found.size() < MaxFound) found.push_back({ip, info});
    }
}
