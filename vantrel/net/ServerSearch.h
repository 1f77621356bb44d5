#pragma once
// The game's search for servers on the local network.
#include <cstdint>
#include <string>
#include <vector>

#include <netinet/in.h>

#include "Discovery.h"

/// Sends one discovery question and gathers the answers to it: each server
/// once, at most MaxFound of them. The question goes to the broadcast
/// address of each local network the machine is on (never beyond them:
/// routers do not pass it on), or to one machine's address to ask it alone.
class ServerSearch {
public:
    static constexpr std::size_t MaxFound = 32;

    struct Found {
        std::string address;  ///< the server's, dotted; its game port is in `info`
        Discovery::ServerInfo info;
    };

    ServerSearch() = default;
    ~ServerSearch();
    ServerSearch(const ServerSearch&) = delete;
    ServerSearch& operator=(const ServerSearch&) = delete;

    /// Forgets what was found and asks every local network again.
    /// @return false when the socket cannot be had or the question went to no network
    bool Start(std::uint16_t port = Discovery::DefaultPort);
    /// Forgets what was found and asks the machine at `address` (dotted) alone.
    bool StartAt(const std::string& address, std::uint16_t port = Discovery::DefaultPort);
    /// Takes the answers waiting, the first waited for up to `waitMs`.
    void Poll(std::uint32_t waitMs);
    const std::vector<Found>& GetFound() const { return found; }

private:
    /// A fresh socket and number for a new search.
    bool Open();
    bool Ask(const sockaddr_in& to);

    int socket = -1;
    std::uint32_t nonce = 0;
    std::vector<Found> found;
};
