#pragma once
#include <cstdint>
#include <optional>
#include <string>

/// Where a server is, as a player types it: "host" or "host:port", the host
/// a name or a dotted IPv4 address.
struct HostAddress {
    /// The longest text taken: a host name's 253 characters and a port.
    static constexpr std::size_t MaxTextLength = 253 + 6;

    std::string host;
    std::uint16_t port = 0;

    /// Reads `text` (spaces around it ignored), the port `defaultPort`
    /// where none is given.
    /// @param why set to the line the player is shown when none is returned
    static std::optional<HostAddress> Parse(const std::string& text, std::uint16_t defaultPort, std::string& why);
};
