#pragma once
// Who is in a server's lobby, what they will race and when it starts.
#include <cstdint>
#include <string>
#include <vector>

#include "Protocol.h"

/// The lobby's rules, apart from the network: players join with a hello
/// (refused for another version, a wrong password or a full server), mark
/// themselves ready once they have the chosen track in the same version as
/// the server, and once every player is ready the countdown runs and the
/// race starts. A player who joins during a countdown or a race waits for
/// the next one. Every change raises GetRevision, so the server knows when
/// to send the lobby again.
class Lobby {
public:
    /// Seconds from everyone ready to the start.
    static constexpr double CountdownS = 4.0;

    struct Settings {
        std::string serverName = "Vantrel server";
        unsigned maxPlayers = Protocol::MaxPlayers;  ///< 1 ... Protocol::MaxPlayers
        std::string password;                        ///< empty: anyone may join
        std::string gameVersion;                     ///< the server's, for the refusal of another
        Protocol::RaceChoice choice;                 ///< with the server's own centre line checksum
    };

    struct Player {
        std::uint8_t id = 0;
        std::string name;  ///< unique in the lobby
        std::string car;
        bool ready = false;
        bool inRace = false;  ///< false for one who joined during a countdown or a race
        Protocol::TrackRef track;
    };

    explicit Lobby(Settings settings);

    /// Takes a player in.
    /// @param refusal set to the line the client is shown, when false is returned
    /// @return true with `id` set to the player's id (the lowest free one)
    bool Join(const Protocol::Hello& hello, std::uint8_t& id, std::string& refusal);
    /// Takes a player out; an id not in the lobby is ignored.
    void Leave(std::uint8_t id);
    /// Sets a player's ready mark. One without the chosen track (or with
    /// another version of it) cannot be ready; nor can one waiting for the
    /// next race, while this one runs.
    /// @param refusal set to the line the player is shown, when false is returned
    bool SetReady(std::uint8_t id, bool ready, std::string& refusal);
    /// The track a player has for the chosen race; one that no longer
    /// matches loses its ready mark.
    void ReportTrack(std::uint8_t id, const Protocol::TrackRef& track);
    /// What the next race is; every ready mark is cleared. Only in the lobby phase.
    /// @return false, changing nothing, during a countdown or a race
    bool SetChoice(const Protocol::RaceChoice& choice);

    /// Runs the countdown on by `dtS`; at zero the race starts.
    void Step(double dtS);
    /// The race is over: back to the lobby, the ready marks cleared, and
    /// those who waited take part in the next.
    void EndRace();

    Protocol::Phase GetPhase() const { return phase; }
    /// Seconds to the start during the countdown; 0 otherwise.
    double GetCountdownLeftS() const { return phase == Protocol::Phase::Countdown ? countdownLeftS : 0.0; }
    const std::vector<Player>& GetPlayers() const { return players; }
    const Player* FindPlayer(std::uint8_t id) const;
    const Protocol::RaceChoice& GetChoice() const { return settings.choice; }
    const Settings& GetSettings() const { return settings; }
    /// Whether the player has the chosen track, the same centre line as the server's.
    bool HasChosenTrack(const Player& player) const;
    /// "Missing track KestrelPass (or another version of it)".
    std::string MissingTrackLine() const;
    /// The lobby as the clients are sent it.
    Protocol::LobbyState GetState() const;
    /// Raised by every change of the players, their marks or the phase.
    std::uint64_t GetRevision() const { return revision; }

private:
    Player* Find(std::uint8_t id);
    /// A name no other player has: "Name (2)" and so on, cut to fit.
    std::string UniqueName(const std::string& name) const;
    /// Starts or stops the countdown after a change of the marks.
    void Review();

    Settings settings;
    std::vector<Player> players;
    Protocol::Phase phase = Protocol::Phase::Lobby;
    double countdownLeftS = 0.0;
    std::uint64_t revision = 0;
};
