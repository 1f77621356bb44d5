#include "UdpRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr std::size_t MaxHeld = 100000;  // a runaway sender cannot grow it for ever
constexpr int MaxReadsPerPump = 2000;

int LoopbackSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

UdpRelay::~UdpRelay() {
    if (front >= 0) close(front);
    for (const Link& link : links) close(link.back);
}

bool UdpRelay::Open(std::uint16_t serverPort, Settings chosen) {
    settings = chosen;
    random.seed(settings.seed);
    front = LoopbackSocket();
    if (front < 0) return false;
    sockaddr_in self{};
    socklen_t length = sizeof self;
    getsockname(front, reinterpret_cast<sockaddr*>(&self), &length);
    port = ntohs(self.sin_port);
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(serverPort);
    return true;
}

void UdpRelay::Hold(double nowS, int fd, bool toClient, const sockaddr_in& to, const std::uint8_t* data,
                    std::size_t size) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(random) < settings.dropShare || held.size() >= MaxHeld) {
        ++dropped;
        return;
    }
    const double delayS = settings.delayS + (unit(random) * 2.0 - 1.0) * settings.jitterS;
    const auto wall = std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(delayS));
    held.push_back({nowS + delayS, wall, fd, toClient, to, std::vector<std::uint8_t>(data, data + size)});
}

void UdpRelay::Pump(double nowS) {
    if (front < 0) return;
    std::uint8_t buffer[2048];
    for (int i = 0; i < MaxReadsPerPump; ++i) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(front, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) break;
        auto link = std::find_if(links.begin(), links.end(), [&](const Link& l) {
            return l.client.sin_port == from.sin_port && l.client.sin_addr.s_addr == from.sin_addr.s_addr;
        });
        if (link == links.end()) {
            const int back = LoopbackSocket();
            if (back < 0) continue;
            links.push_back({from, back});
            link = links.end() - 1;
        }
        Hold(nowS, link->back, false, server, buffer, static_cast<std::size_t>(got));
    }
    for (const Link& link : links)
        for (int i = 0; i < MaxReadsPerPump; ++i) {
            const ssize_t got = recv(link.back, buffer, sizeof buffer, 0);
            if (got < 0) break;
            Hold(nowS, front, true, link.client, buffer, static_cast<std::size_t>(got));
        }
    // Each due packet goes as it is due by either clock; the rest wait.
    std::vector<Held> waiting;
    const auto wallNow = std::chrono::steady_clock::now();
    for (Held& packet : held) {
        if (packet.dueS > nowS && packet.dueWall > wallNow) {
            waiting.push_back(std::move(packet));
            continue;
        }
        sendto(packet.fd, packet.bytes.data(), packet.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&packet.to),
               sizeof packet.to);
        ++passed;
    }
    held.swap(waiting);
}
