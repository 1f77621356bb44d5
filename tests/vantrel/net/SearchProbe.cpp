// Searches the local networks for servers and prints each one found, one
// line each: "found <address> <port> <players>/<max> <track> <name>".
// Exit status 0 when one was found, 1 when none answered, 2 on bad use.
//   SearchProbe <discovery port> <seconds>
// For the namespace test only: it broadcasts, so it runs where the test has
// made the network itself.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/ServerSearch.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: SearchProbe <discovery port> <seconds>\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const double seconds = std::atof(argv[2]);
    if (port <= 0 || port > 65535 || !(seconds > 0.0 && seconds <= 30.0)) {
        std::fprintf(stderr, "SearchProbe: a port from 1 to 65535 and up to 30 seconds\n");
        return 2;
    }
    ServerSearch search;
    if (!search.Start(static_cast<std::uint16_t>(port))) {
        std::fprintf(stderr, "SearchProbe: no local network to ask\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) search.Poll(50);
    for (const ServerSearch::Found& f : search.GetFound())
        std::printf("found %s %u %u/%u %s %s\n", f.address.c_str(), unsigned(f.info.port), unsigned(f.info.players),
                    unsigned(f.info.maxPlayers), f.info.choice.track.key.c_str(), f.info.name.c_str());
    return search.GetFound().empty() ? 1 : 0;
}
