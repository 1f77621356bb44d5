#include "DiscoveryResponder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Logger DiscoveryResponder::logger("DiscoveryResponder");

DiscoveryResponder::~DiscoveryResponder() {
    if (socket >= 0) close(socket);
}

bool DiscoveryResponder::Open(const std::string& address, std::uint16_t port) {
    if (socket >= 0) close(socket);
    socket = -1;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
        logger.Log(Logger::Warn, "not an address: " + address + "; no answers to searches");
        return false;
    }
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    // Several servers on one machine each answer the same broadcast question.
    if (s < 0 || setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        logger.Log(Logger::Warn, "cannot listen for searches on port " + std::to_string(port) + ": " +
                                     std::strerror(errno) + "; players must type the address");
        if (s >= 0) close(s);
        return false;
    }
    socket = s;
    return true;
}

std::uint16_t DiscoveryResponder::GetPort() const {
    sockaddr_in at{};
    socklen_t length = sizeof at;
    if (socket < 0 || getsockname(socket, reinterpret_cast<sockaddr*>(&at), &length) != 0) return 0;
    return ntohs(at.sin_port);
}

unsigned DiscoveryResponder::Poll(const Discovery::ServerInfo& info, double clockS) {
    if (socket < 0) return 0;
    if (clockS - windowStartS >= 1.0) {
        windowStartS = clockS;
        answersInWindow = 0;
    }
    unsigned sent = 0;
    // Bounded: a flood is read off in slices, one a tick.
    for (int i = 0; i < 64; ++i) {
        std::uint8_t buffer[512];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) break;  // nothing more waiting (or an error: the next tick tries again)
        std::uint32_t nonce = 0;
        if (!Discovery::DecodeRequest(buffer, static_cast<std::size_t>(got), nonce)) continue;
        if (answersInWindow >= MaxAnswersPerS) continue;
        const std::vector<std::uint8_t> answer = Discovery::EncodeAnswer(nonce, info);
        if (answer.empty()) continue;
        if (sendto(socket, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&from), fromLength) ==
            static_cast<ssize_t>(answer.size())) {
            ++answersInWindow;
            ++sent;
        }
    }
    return sent;
}
