#pragma once
// The game's side of a network game: a server it hosts (if any), its own
// link to the server it plays on, and the search of the local network.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/GameServer.h"
#include "net/HostAddress.h"
#include "net/NetClient.h"
#include "net/ServerSearch.h"

/// Everything of a network game that lives between frames, for the online
/// page to show and act through. Each frame's Update steps the hosted
/// server and takes what came for the client and the search, waiting for
/// nothing, so the window's frames go on as before.
class OnlineSession {
public:
    /// The game's version, as the server is told it and shows it.
    static const char* const GameVersion;

    OnlineSession() = default;
    ~OnlineSession();
    OnlineSession(const OnlineSession&) = delete;
    OnlineSession& operator=(const OnlineSession&) = delete;

    /// Where a hosted game listens: by default on every interface at the
    /// usual ports, answering searches.
    struct Listen {
        std::string address;  ///< empty: every interface
        std::uint16_t port = NetHost::DefaultPort;  ///< 0: one the system picks
        std::optional<std::uint16_t> discoveryPort = Discovery::DefaultPort;  ///< none: searches unanswered
    };

    /// What a hosted game races on: the lobby's track and its ground (none:
    /// its races end as they start).
    struct Ground {
        TrackDescription track;
        std::shared_ptr<const TrackTerrain> terrain;
    };

    /// Hosts a game: a server inside the game, on a thread of its own,
    /// listening at `listen`, that the player then joins as `who` through
    /// the loopback address.
    /// @param why set to the line the player is shown when false is returned
    bool Host(Lobby::Settings lobby, const Listen& listen, const Ground& ground, NetClient::Identity who,
              NetClient::TrackLookup lookup, std::string& why);
    /// Joins the server at `address` as `who`.
    bool Join(const HostAddress& address, NetClient::Identity who, NetClient::TrackLookup lookup, std::string& why);
    /// Asks the local network for servers again, forgetting those found.
    bool Search();
    /// Leaves the game played (telling the server) and stops a hosted one
    /// (telling every client "Server stopped").
    void Leave();

    /// One frame's worth (`dtS`): the client's and the search's messages.
    void Update(double dtS);

    bool IsHosting() const { return server != nullptr; }
    /// The port the hosted game listens on; 0 when none is hosted.
    std::uint16_t GetHostedPort() const { return server ? hostedPort : 0; }
    /// The link played on, or null before Host or Join.
    const NetClient* GetClient() const { return client.get(); }
    NetClient* GetClient() { return client.get(); }
    /// Joined and in the lobby (or its race).
    bool IsInLobby() const;
    /// The games found by the last search, the hosted one left out.
    std::vector<ServerSearch::Found> GetFound() const;

    /// What the player reads about the link: "Joining 10.0.0.2:27440 ...",
    /// "Hosting 'Ann's game' on port 27440", the refusal or the loss; empty
    /// when there is nothing to say.
    std::string StatusLine() const;
    /// The lobby as the player reads it: the race chosen, then a line a
    /// player ("Ann  Nissan Skyline  ready"), then the countdown.
    /// `carName` names a car by its key.
    std::vector<std::string> LobbyLines(std::string (*carName)(const std::string& key)) const;

private:
    /// Stops the hosted server's thread, which tells its clients first.
    void StopServer();

    /// Runs on serverThread; only its port and name are read here.
    std::unique_ptr<GameServer> server;
    std::thread serverThread;
    std::atomic<bool> stopServer{false};
    std::uint16_t hostedPort = 0;
    std::string hostedName;
    std::unique_ptr<NetClient> client;
    std::string joinedAt;  ///< "host:port", as the status line shows it
    ServerSearch search;
    bool searching = false;
    unsigned countdownsSeen = 0;  ///< the client's countdowns when last looked at
    double countdownLeftS = 0.0;  ///< of the last countdown, counted down here
};
