#pragma once
// A bad network inside a test: a UDP relay on loopback that delays, jitters
// and drops what passes through it, on the test's own clock, and never holds
// a packet longer than its delay by the wall's (ENet times its links by it).
#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

class UdpRelay {
public:
    struct Settings {
        double delayS = 0.1;
        double jitterS = 0.02;    ///< each packet's delay is delayS plus or minus up to this
        double dropShare = 0.05;  ///< of the packets, either way
        unsigned seed = 11;
    };

    UdpRelay() = default;
    ~UdpRelay();
    UdpRelay(const UdpRelay&) = delete;
    UdpRelay& operator=(const UdpRelay&) = delete;

    /// Listens on 127.0.0.1 (a port the system picks) for clients of the
    /// server at 127.0.0.1:`serverPort`.
    bool Open(std::uint16_t serverPort, Settings settings);
    std::uint16_t GetPort() const { return port; }
    /// Takes what has come either way and lets through what is due at `nowS`.
    void Pump(double nowS);
    std::size_t GetPassed() const { return passed; }
    std::size_t GetDropped() const { return dropped; }

private:
    struct Link {
        sockaddr_in client{};
        int back = -1;  ///< its socket towards the server
    };
    struct Held {
        double dueS = 0.0;
        std::chrono::steady_clock::time_point dueWall;
        int fd = -1;
        bool toClient = false;
        sockaddr_in to{};
        std::vector<std::uint8_t> bytes;
    };
    void Hold(double nowS, int fd, bool toClient, const sockaddr_in& to, const std::uint8_t* data, std::size_t size);

    Settings settings;
    int front = -1;
    std::uint16_t port = 0;
    sockaddr_in server{};
    std::vector<Link> links;
    std::vector<Held> held;
    std::mt19937 random;
    std::size_t passed = 0, dropped = 0;
};
