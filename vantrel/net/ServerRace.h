#pragma once
// The race a server runs while its lobby is racing, with nothing drawn.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Protocol.h"
#include "ServerRound.h"
#include "StateCheck.h"
#include "drivers/RacingDriver.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"
#include "track/TrackDescription.h"

class HeadlessCars;
class RaceField;
class TrackTerrain;
struct Car;
namespace physics {
class World;
}

/// One Race on the server: its own world with the track's terrain, the
/// server's opponents driven by the game's drivers, and a body for each
/// player's car that follows the states its client sends (checked first by
/// StateCheck). It holds the cars for the countdown and passes the
/// checkpoints as gates across the road; the clients are told the grid at
/// the start and the results at the end.
class ServerRace : public ServerRound {
public:
    /// Opponents' states go out every so many ticks: 30 a second.
    static constexpr unsigned StateEveryTicks = 4;
    /// Once every player is home (or gone), the opponents still out get this long (s).
    static constexpr double FinishWaitS = 60.0;
    /// The cars are held this long before the countdown, while the
    /// clients' games load the race (s): a game that loads slower than
    /// this starts late.
    static constexpr double LoadingS = 5.0;
    /// A race ends after this long whatever happens (s).
    static constexpr double MaxRaceS = 30.0 * 60.0;

    /// On `track` driven `direction` with `terrain`'s ground; both must outlive the race.
    ServerRace(const TrackDescription& track, TrackDescription::Direction direction, const TrackTerrain& terrain);
    ~ServerRace();
    ServerRace(const ServerRace&) = delete;
    ServerRace& operator=(const ServerRace&) = delete;

    /// The world, the grid of `players` behind `opponents` game's cars at `skill`.
    /// @param problem set to why, when false is returned
    bool Start(const std::vector<Entrant>& players, unsigned opponents, RacingDriver::Skill skill,
               std::string& problem);
    const Protocol::RaceStart& GetStart() const override { return start; }

    /// One tick: the opponents driven, the players' cars where their last
    /// states put them, the world, the checkpoints.
    void Tick() override;
    /// A player's state, checked against what the server saw of that car
    /// so far; accepted, the car follows it from the next tick.
    StateCheck::Verdict Take(const Protocol::CarState& state) override;
    /// Takes a player's car off the grid (gone, or removed).
    void Remove(std::uint8_t id) override;
    /// The opponents' states of the ticks run since the last call.
    std::vector<Protocol::CarState> TakeOpponentStates() override;

    /// Every car home (or gone), every player gone, the wait after the
    /// players over, or MaxRaceS run.
    bool IsOver() const override;
    /// Every car still in the race, first to last.
    Protocol::RaceResult GetResult() const override;
    const RaceField& GetField() const { return *field; }

private:
    std::size_t RacerOf(std::uint8_t id) const;
    std::uint8_t IdOf(std::size_t racer) const;
    bool IsPlayerRacer(std::size_t racer) const;

    const TrackDescription& track;
    TrackDescription::Direction direction;
    const TrackTerrain& terrain;
    RoadCentreLine road;
    RacingLine line;
    std::unique_ptr<physics::World> world;
    std::unique_ptr<HeadlessCars> cars;
    std::unique_ptr<RaceField> field;
    std::vector<std::unique_ptr<Driver>> remoteDrivers;
    std::vector<std::uint8_t> playerIds;  ///< in the players' entry order
    std::map<std::uint8_t, StateCheck> checks;
    std::map<std::uint8_t, StateCheck::Progress> progress;
    std::map<std::uint8_t, Protocol::CarState> pending;  ///< accepted, not yet followed
    std::set<std::uint8_t> removed;
    std::vector<Protocol::CarState> opponentStates;
    Protocol::RaceStart start;
    std::uint32_t playersHomeTick = 0;  ///< 0 while some player races
};
