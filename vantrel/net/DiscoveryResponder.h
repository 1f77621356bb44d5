#pragma once
// A server's answer to the games searching the local network.
#include <cstdint>
#include <string>

#include <nodara/Logger.h>

#include "Discovery.h"

/// A UDP socket of its own on the discovery port that answers each whole
/// request (Discovery::DecodeRequest) with the server's info, straight to
/// its sender. It never sends unasked, never more bytes than it took, and at
/// most MaxAnswersPerS answers a second, however many questions come.
class DiscoveryResponder {
public:
    static constexpr unsigned MaxAnswersPerS = 20;

    DiscoveryResponder() = default;
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    /// Listens on `address` (empty: every interface, which is where a
    /// broadcast question arrives) at `port`, shared with other servers on
    /// the machine.
    /// @return false, with one Warn line, when the socket cannot be had
    bool Open(const std::string& address, std::uint16_t port);
    bool IsOpen() const { return socket >= 0; }
    /// The port bound to (the system's pick when Open was given 0).
    std::uint16_t GetPort() const;
    /// Answers the requests waiting (a bounded number of them) without
    /// blocking; `clockS` is the server's time, for the rate.
    /// @return the answers sent
    unsigned Poll(const Discovery::ServerInfo& info, double clockS);

private:
    int socket = -1;
    double windowStartS = 0.0;
    unsigned answersInWindow = 0;
    static Logger logger;
};
