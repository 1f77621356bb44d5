#pragma once
// A server for network races: its links, its lobby, and the loop that
// steps them at a fixed tick. The dedicated server runs one alone; the game
// can run one beside its own window.
#include <atomic>
#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <nodara/Logger.h>

#include "DiscoveryResponder.h"
#include "Lobby.h"
#include "NetHost.h"
#include "Protocol.h"
#include "ServerRound.h"
#include "leaderboard/RunBoard.h"
#include "track/TrackDescription.h"
#include "track/TrackTerrain.h"

/// Owns the server's tick loop. Each tick takes every message that has
/// come, answers it through the lobby's rules, steps the lobby and sends
/// the clients what changed. Every message goes through Protocol::Decode; a
/// peer that sends malformed ones or floods the server is removed, the
/// others go on.
///
/// While the lobby races, the server runs the race (ServerRace): it tells
/// every racer the grid, checks each client's car states and relays them to
/// the others with the opponents' (unreliable, about 30 a second a car),
/// removes a client whose car makes an impossible move, and sends the
/// results once the race is over; then the lobby is back. A server given no
/// terrain ends each race at once.
class GameServer {
public:
    /// The loop's tick (s): the lobby needs no finer one.
    static constexpr double TickS = 1.0 / 60.0;
    /// More messages than this from a peer in a second remove it.
    static constexpr unsigned MaxMessagesPerS = 240;
    /// Car states beyond this in a second are dropped.
    static constexpr unsigned MaxStatesPerS = 60;
    /// Malformed messages a peer may send before it is removed.
    static constexpr unsigned MaxBadMessages = 16;
    /// Links beyond the players, so a crowd at a full server is told it is
    /// full rather than not answered (ENet ignores a connection it has no
    /// room for); each refused link makes room again within a round trip.
    static constexpr unsigned SpareLinks = 24;
    /// A link that has sent no hello this long after connecting is closed,
    /// so idle links cannot hold every place (s).
    static constexpr double HelloTimeoutS = 5.0;
    /// The other cars' states go out in one message every so many ticks:
    /// 30 a second, one header for all of them.
    static constexpr unsigned StatesEveryTicks = 2;
    /// How long Stop waits for the clients to take "Server stopped" (ms).
    static constexpr std::uint32_t StopWaitMs = 1000;
    /// Runs a player may submit to the leaderboard in a minute.
    static constexpr unsigned MaxRunsPerMinute = 6;

    struct Settings {
        std::string address;  ///< to listen on; empty for every interface
        std::uint16_t port = NetHost::DefaultPort;
        /// Where searches of the local network are answered (0: a port the
        /// system picks); none: they are not.
        std::optional<std::uint16_t> discoveryPort;
        Lobby::Settings lobby;
        /// The race's track, the way the lobby's choice says, and its
        /// ground; no terrain: races end as they start.
        TrackDescription track;
        std::shared_ptr<const TrackTerrain> terrain;
        /// The leaderboards, open; null: runs and board requests are refused.
        std::shared_ptr<RunBoard> board;
    };

    explicit GameServer(Settings settings);

    /// Listens for clients.
    /// @return false, having logged why, when the port cannot be had
    bool Start();
    /// One tick: waits up to `waitMs` for the first event, takes every one
    /// waiting, steps the lobby by `dtS` and sends what changed.
    void Tick(double dtS, std::uint32_t waitMs);
    /// Ticks every TickS until `stop` is set (by a signal handler), then Stop.
    void Run(const volatile std::sig_atomic_t& stop);
    /// The same on a thread of its own, until another thread sets `stop`.
    void Run(const std::atomic<bool>& stop);
    /// Tells every client "Server stopped" and waits up to StopWaitMs for
    /// the links to close.
    void Stop();

    const Lobby& GetLobby() const { return lobby; }
    /// The race running; null in the lobby.
    const ServerRound* GetRace() const { return race.get(); }
    /// The last race's results (empty before the first).
    const Protocol::RaceResult& GetLastResult() const { return lastResult; }
    /// The port listened on (the system's pick when Settings::port was 0).
    std::uint16_t GetPort() const { return host.GetPort(); }
    /// The port searches are answered on; 0 when they are not.
    std::uint16_t GetDiscoveryPort() const { return responder.GetPort(); }
    /// What the server tells a search of itself.
    Discovery::ServerInfo GetInfo() const;

private:
    /// Ticks every TickS while `going` says so, then Stop.
    void RunWhile(const std::function<bool()>& going);

    struct Peer {
        bool joined = false;
        std::uint8_t playerId = 0;
        std::string address;
        double connectedAtS = 0.0;
        unsigned badMessages = 0;
        double windowStartS = 0.0;  ///< of the current second's counts
        unsigned messagesInWindow = 0;
        unsigned statesInWindow = 0;
        std::deque<double> runsAtS;  ///< when its runs of the last minute came
    };

    void OnConnected(unsigned peerIndex);
    void OnDisconnected(unsigned peerIndex, std::uint32_t reason);
    void OnReceived(unsigned peerIndex, const NetHost::Event& event);
    void OnMessage(unsigned peerIndex, Peer& peer, Protocol::Message& message);
    /// Tells a peer that has not joined why it may not (`name`: the one it
    /// gave, if any) and closes its link.
    void Refuse(unsigned peerIndex, const std::string& name, const std::string& line);
    /// Tells the peer why and closes its link; a player in the lobby leaves it.
    void Remove(unsigned peerIndex, const std::string& line, Protocol::LeaveReason reason);
    void Send(unsigned peerIndex, const Protocol::Message& message);
    /// To every peer that has joined.
    void Broadcast(const Protocol::Message& message);
    /// Sends the lobby, the race choice and the countdown where they changed.
    void SendChanges();
    /// The race's step while the lobby is racing: the race made at its
    /// start, stepped, its opponents' states sent and its results at the end.
    void StepRace(double dtS);
    bool StartRace();
    /// Queues `state` for peer `peerIndex`'s next batch, over an older one of the same car.
    void QueueState(unsigned peerIndex, const Protocol::CarState& state);
    /// Every peer's queued states, one message each.
    void SendStates();
    /// A player's car state during the race: checked, then relayed.
    void OnCarState(unsigned peerIndex, Peer& peer, Protocol::CarState state);
    /// The leaderboard's messages: a run queued for its check, a board and a run answered.
    void OnSubmitRun(unsigned peerIndex, Peer& peer, Protocol::SubmitRun& submit);
    void OnBoardRequest(unsigned peerIndex, const Protocol::BoardRequest& request);
    void OnFetchRun(unsigned peerIndex, const Protocol::FetchRun& request);
    /// The checks' verdicts to the players who are still here.
    void SendVerdicts();

    Settings settings;
    NetHost host;
    DiscoveryResponder responder;
    Lobby lobby;
    std::map<unsigned, Peer> peers;
    double clockS = 0.0;  ///< the server's time since Start (s)
    std::uint64_t sentRevision = ~std::uint64_t(0);
    Protocol::Phase sentPhase = Protocol::Phase::Lobby;
    std::unique_ptr<ServerRound> race;
    /// Car states waiting for each peer's next batch (every StatesEveryTicks ticks).
    std::map<unsigned, std::vector<Protocol::CarState>> outgoing;
    unsigned tickCount = 0;
    Protocol::RaceResult lastResult;
    /// Runs being checked: the peer and player each verdict goes back to.
    std::map<std::uint64_t, std::pair<unsigned, std::uint8_t>> tickets;
    std::uint64_t nextTicket = 1;
    static Logger logger;
};
