#pragma once
// The game's end of a link to a server: joining, the lobby as the server
// tells it, and the lines a player is shown.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nodara/Logger.h>

#include "NetHost.h"
#include "Protocol.h"

/// Joins a server and keeps what it says: once connected the client sends
/// its hello and is welcomed or refused; to each race choice the server
/// sends it answers with the track it has for it (from the lookup it was
/// given). Every message goes through Protocol::Decode; one that does not
/// decode is dropped.
class NetClient {
public:
    enum class State {
        Idle,        ///< not started
        Connecting,  ///< waiting for the server to answer
        Joining,     ///< hello sent, waiting for the welcome
        InLobby,     ///< joined
        Refused,     ///< the server said no (GetLine says why)
        Stopped,     ///< the server stopped
        Lost         ///< the link broke, or the server never answered
    };

    /// Who joins.
    struct Identity {
        std::string name;
        std::string car;
        std::string password;
        std::string gameVersion;
    };
    /// The checksum of the centre line the client has for a track driven
    /// one way; 0 when it has no such track.
    using TrackLookup = std::function<std::uint32_t(const std::string& key, bool reverse)>;

    /// Starts joining `host` at `port`. False, State Lost, when the name
    /// does not resolve or the identity would not encode.
    bool Connect(const std::string& host, std::uint16_t port, Identity identity, TrackLookup lookup);
    /// Takes every event waiting (the first waited for up to `waitMs`).
    void Service(std::uint32_t waitMs);
    /// Closes the link, telling the server; State Idle.
    void Disconnect();

    /// Asks for the ready mark; the server answers in the lobby, or with a notice.
    bool SetReady(bool ready);
    /// Sends the car's state, unreliable.
    bool SendState(const Protocol::CarState& state);
    /// The leaderboard's requests: a run for the board (answered by a
    /// verdict), a board, and a run of one (answered by the run, or a notice).
    /// @return false when not in the lobby or the message would not encode
    bool SubmitRun(const Protocol::Run& run);
    bool RequestBoard(const Protocol::BoardRequest& request);
    bool FetchRun(std::uint32_t runId);

    State GetState() const { return state; }
    /// What the player is shown once it is over: the refusal, "Server
    /// stopped", "Lost the connection to the server".
    const std::string& GetLine() const { return line; }
    std::uint8_t GetPlayerId() const { return playerId; }
    const std::string& GetServerName() const { return serverName; }
    const Protocol::RaceChoice& GetChoice() const { return choice; }
    const Protocol::LobbyState& GetLobby() const { return lobby; }
    /// The countdowns the server has started since the client joined.
    unsigned GetCountdownCount() const { return countdowns; }
    std::uint16_t GetLastCountdownMs() const { return lastCountdownMs; }
    /// The server's notices and who left, since the last call.
    std::vector<std::string> TakeNotices();
    std::vector<Protocol::PlayerLeft> TakeLeft();
    /// The other cars' states, since the last call.
    std::vector<Protocol::CarState> TakeStates();
    /// The start of a race (its grid) and the results of one, each once
    /// since the last call; none where none came.
    std::optional<Protocol::RaceStart> TakeRaceStart();
    std::optional<Protocol::RaceResult> TakeRaceResult();
    /// The leaderboard's answers, each the newest since the last call.
    std::vector<Protocol::RunVerdict> TakeVerdicts();
    std::optional<Protocol::Board> TakeBoard();
    std::optional<Protocol::FetchedRun> TakeFetchedRun();
    /// Bytes the link has sent and received so far, ENet's headers included.
    std::uint64_t GetBytesSent() const { return host.GetBytesSent(); }
    std::uint64_t GetBytesReceived() const { return host.GetBytesReceived(); }
    /// The round trip to the server (ms).
    std::uint32_t GetPingMs() const { return host.GetRoundTripMs(0); }

private:
    void OnMessage(const Protocol::Message& message);
    void Send(const Protocol::Message& message);
    void End(State value, const std::string& why);
    Protocol::TrackRef TrackFor(const Protocol::TrackRef& chosen) const;

    NetHost host;
    State state = State::Idle;
    Identity identity;
    TrackLookup lookup;
    std::string address;
    std::string line;
    std::uint8_t playerId = 0;
    std::string serverName;
    bool haveChoice = false;
    Protocol::RaceChoice choice;
    Protocol::LobbyState lobby;
    unsigned countdowns = 0;
    std::uint16_t lastCountdownMs = 0;
    std::vector<std::string> notices;
    std::vector<Protocol::PlayerLeft> left;
    std::vector<Protocol::CarState> states;
    std::optional<Protocol::RaceStart> raceStart;
    std::optional<Protocol::RaceResult> raceResult;
    std::vector<Protocol::RunVerdict> verdicts;
    std::optional<Protocol::Board> board;
    std::optional<Protocol::FetchedRun> fetchedRun;
    static Logger logger;
};
