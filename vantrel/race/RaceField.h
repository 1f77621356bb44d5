#pragma once
// A race against the game's drivers: the field of cars, where each one is,
// the order, and the results.
#include <memory>
#include <string>
#include <vector>

#include "Racer.h"
#include "Standings.h"
#include "drivers/RacingDriver.h"
#include "hud/ResultsTable.h"

class CarMaker;
class RacingLine;
class RoadCentreLine;
struct MapDot;
namespace physics {
class World;
}

/// The player against opponents over one lap: every car passes the
/// checkpoints in order, as gates across the road, and finishes at the
/// last. The field starts on a staggered grid behind the start line, two
/// cars a row, the player at the back.
///
/// The race owns it for one start; it refers to the race's car pool, world,
/// road and racing line, which outlive it.
class RaceField {
public:
    static constexpr unsigned MaxOpponents = 7;
    static constexpr unsigned DefaultOpponents = 5;
    /// The grid: rows this far apart (m), the first row's front car this far
    /// behind the start line, the two columns this far either side of the
    /// centre line and the right one half a row further back.
    static constexpr double GridRowM = 8.0;
    static constexpr double GridFrontM = 6.0;
    static constexpr double GridColumnM = 2.6;

    /// The invented names of the game's drivers, in grid order.
    static const char* const DriverNames[MaxOpponents];

    /// `roadHalfWidthM`: a car further than this from the centre line is
    /// off the road (the track's half width of asphalt).
    RaceField(CarMaker& cars, physics::World& world, const RoadCentreLine& road, const RacingLine& line,
              double roadHalfWidthM);
    ~RaceField();
    RaceField(const RaceField&) = delete;
    RaceField& operator=(const RaceField&) = delete;

    /// A local player's entry: its car (model `model`), its driver, its
    /// name and its colour on the map.
    struct Entry {
        Car* car = nullptr;
        unsigned model = 0;
        Driver* driver = nullptr;
        std::string name;
        vmath::vec3<float> paint{1.0f, 1.0f, 1.0f};
    };

    /// The players' cars (the first at the very back) behind `opponents`
    /// cars of the game's (at most MaxOpponents; none: the players alone), at `skill`, with
    /// the checkpoints at `checkpointS` metres along the road (the last is
    /// the finish). Every car on its grid place, held.
    /// @return false when there is no player, or a car cannot be made or put
    ///         on the grid
    bool Start(const std::vector<Entry>& players, unsigned opponents, RacingDriver::Skill skill,
               const std::vector<double>& checkpointS);
    /// One player, "You".
    bool Start(Car& playerCar, unsigned playerModel, Driver& player, unsigned opponents, RacingDriver::Skill skill,
               const std::vector<double>& checkpointS) {
        return Start({Entry{&playerCar, playerModel, &player, "You", {1.0f, 1.0f, 1.0f}}}, opponents, skill,
                     checkpointS);
    }
    /// Every car back on its grid place at rest, the standings anew.
    bool Restart();
    /// The grid from the front by the racers' names, for the next Start or
    /// Restart; racers it does not name line up behind, in their own order.
    /// Empty (the default): the game's drivers in front, the players behind.
    void SetGridOrder(std::vector<std::string> namesFromFront) { gridOrder = std::move(namesFromFront); }

    /// The game's drivers set their cars' controls (while `released`: the
    /// countdown is over), and every car gets them.
    void Drive(float dtS, bool released);
    /// After the world's step: the cars' nodes, where each one is, gates
    /// and finishes at race time `raceS`, and the stuck rule.
    void Update(float dtS, double raceS, bool released);

    const std::vector<Racer>& GetRacers() const { return racers; }
    std::size_t GetPlayerCount() const { return playerCount; }
    /// The racer of local player `player` (0: the first).
    std::size_t GetPlayerIndex(std::size_t player = 0) const { return racers.size() - 1 - player; }
    const Racer& GetPlayer(std::size_t player = 0) const { return racers[GetPlayerIndex(player)]; }
    const Standings& GetStandings() const { return standings; }
    bool IsPlayerFinished(std::size_t player = 0) const { return standings.IsFinished(GetPlayerIndex(player)); }
    /// Every local player is home.
    bool AreAllPlayersFinished() const;
    bool IsEveryoneFinished() const;
    /// Metres from `racer` to the finish (0 once there).
    double ToGoM(std::size_t racer) const;

    /// "Pos 3 / 6" of local player `player`.
    std::string PositionLine(std::size_t player = 0) const;
    /// The gaps to the cars ahead and behind local player `player`,
    /// "Ahead: 1.2 s" / "Behind: 0.8 s", empty where there is none.
    std::string GapAheadLine(double nowS, std::size_t player = 0) const;
    std::string GapBehindLine(double nowS, std::size_t player = 0) const;
    /// Rows of the results table, first to last: a finisher's time, or
    /// the distance still to go for one still racing.
    std::vector<ResultsTable::Row> Results() const;
    /// Every car on the map but local player `player`'s own, which the map draws itself.
    std::vector<MapDot> MapDots(std::size_t player = 0) const;

    /// Slot `i` of the grid from the front: its arc length behind the start
    /// (negative) and sideways offset. A client without the field puts its
    /// own car on its slot so.
    static void GridSlot(std::size_t i, double& s, double& lateralM);
    /// Racer `i`'s place on the grid from the front.
    std::vector<std::size_t> GridPlaces() const;

private:
    bool PlaceOnGrid();
    std::size_t playerCount = 0;  ///< the local players, last on the grid
    /// A car of the game's that is stuck (StuckWatch) is put back on the road.
    void StuckRule(Racer& racer, float dtS);

    std::vector<std::string> gridOrder;
    CarMaker& cars;
    physics::World& world;
    const RoadCentreLine& road;
    const RacingLine& line;
    double roadHalfWidthM;
    std::vector<Racer> racers;  ///< grid order, the player last
    std::vector<std::unique_ptr<RacingDriver>> drivers;
    std::vector<const Car*> allCars;  ///< what the game's drivers see
    std::vector<double> checkpoints;  ///< metres along the road
    Standings standings;
};
