#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vmath/vec3.h>

#include "FixedTick.h"
#include "RaceField.h"
#include "RaceSetup.h"
#include "WrongWay.h"
#include "replay/RunInputs.h"
#include "rules/RaceRules.h"
#include "track/RacingLine.h"
#include "track/Track.h"
#include "track/TrackDescription.h"

struct Car;
class CarPool;
class GhostRace;
class Player;
class RaceField;
class RecordsStore;
class TimeTrialRules;

namespace physics {
class World;
}

/// One race as the world runs it, drawing nothing: what is raced (RaceSetup),
/// the physics world, each local player's driver and car, the rules of the
/// mode with the field of a Race and the recording of the first player's run,
/// stepped at a fixed tick (FixedTick).
///
/// It makes no GL call, so the same race can run where nothing is drawn. The
/// game's race mode (GameEngine) loads the track into its world, makes the
/// cars through its pool and draws the race as it stands after each Step.
///
/// Lifecycle: NewWorld, the track loaded into GetWorld, SetWay, AddSeat and
/// SetCar for each local player, the racers placed (PlaceAtStart or
/// StartField), optionally StartGhostRace, then Begin and one Step a frame.
/// Release before the car pool goes.
class Race {
public:
    /// One local player's place: their driver and their car.
    struct Seat {
        Player* player = nullptr;
        unsigned carIndex = 0;
        Car* car = nullptr;  ///< owned by the pool; null until the start
        WrongWay wrongWay;
        /// The frame the car's node was last posed at (OpenGL's order).
        std::array<float, 16> shown{};
    };

    /// `records` keeps the won trials' best times (null: timed, not kept);
    /// it must outlive the race.
    explicit Race(RecordsStore* records);
    ~Race();
    Race(const Race&) = delete;
    Race& operator=(const Race&) = delete;

    /// Lets go of everything, then makes a new, empty physics world.
    void NewWorld();
    /// Lets go of the rules, the ghost race, the field and the seats' cars,
    /// then the checkpoints and the world the cars' bodies lived in: the
    /// pool's cars must be deleted in between, which this cannot do
    /// (ReleaseCars, the pool, ReleaseWorld) or after, with no body left.
    void ReleaseCars();
    void ReleaseWorld();

    /// What is raced: the track and way, the mode, the opponents; the
    /// entrants are filled in from the seats at Begin.
    RaceSetup& GetSetup() { return setup; }
    const RaceSetup& GetSetup() const { return setup; }

    /// The way to drive: its start and checkpoints, and the road's centre
    /// line that way round.
    void SetWay(const TrackDescription::Way& chosen);
    const TrackDescription::Way& GetWay() const { return way; }

    /// Another local player, driven by `player` (which must outlive the
    /// race) in car model `carIndex`.
    /// @return the new seat's index
    std::size_t AddSeat(Player& player, unsigned carIndex);
    std::size_t GetSeatCount() const { return seats.size(); }
    Seat& GetSeat(std::size_t index) { return seats[index]; }
    const Seat& GetSeat(std::size_t index) const { return seats[index]; }
    /// The seat's car for this race, or null to let go of it.
    void SetCar(std::size_t seat, Car* car);
    /// The local players' cars, the first's first.
    std::vector<Car*> SeatCars() const;

    /// Puts seat `seat`'s car on the start line: the first on its mark, the
    /// others beside and behind it.
    /// @return false when the car has no ground there
    bool PlaceAtStart(std::size_t seat);
    /// A Race's field on the grid: the seats' cars, then `others` (cars
    /// driven elsewhere, made by the caller), and the game's opponents made
    /// by `cars`, with the racing line of the road they drive.
    /// @return false when the road has no racing line or the grid cannot be made
    bool StartField(CarPool& cars, const std::vector<RaceField::Entry>& others = {});
    /// The recording of the first player's runs, and the ghost of a Time
    /// Trial's best run, its cars from `cars`.
    void StartGhostRace(CarPool& cars);

    /// The rules of `mode` from their start: countdown, "Go!", clock,
    /// checkpoints and result, the tick from zero. The setup's entrants are
    /// the seats as they stand. `given` rules replace the mode's own.
    void Begin(RaceMode mode, std::unique_ptr<RaceRules> given = nullptr);
    /// The same race from the start again: each seat's car back at the start
    /// at rest (`cars` gives it a new body), the field back on the grid.
    void RaceAgain(CarPool& cars);

    /// The ticks that bring the race level with `dtS` more seconds (none for
    /// a cycle of 1 s or more), then each car's node posed between the last
    /// two ticks and turned over `dtS`. While `held` the world stands still
    /// and the countdown runs on (the spectator's flight).
    /// @return whether the cars were posed (and each seat's `shown` with them)
    bool Step(float dtS, bool held);
    /// One fixed tick: the rules, the players' input, the drivers, the world.
    void Tick(bool held = false);
    /// Puts seat `seat`'s car back on the road, unless it is held for the
    /// start, its run is over or the race is paused.
    /// @return whether it was put down
    bool Recover(std::size_t seat);
    /// After seat `seat`'s car was put down by hand: what followed its
    /// motion (the wrong-way sign, the pad's rumble, the blend) starts anew.
    void CarPlaced(std::size_t seat);

    RaceMode GetMode() const { return mode; }
    const RaceRules& GetRules() const { return *rules; }
    RaceRules& GetRules() { return *rules; }
    const FixedTick& GetTick() const { return tick; }
    Track& GetTrack() { return track; }
    const Track& GetTrack() const { return track; }
    physics::World* GetWorld() const { return world.get(); }
    /// The field of a Race; null in the other modes.
    RaceField* GetField() const { return field.get(); }
    /// The Time Trial's rules, or null in the other modes.
    TimeTrialRules* GetTrial() const;
    /// The road's racing line, once StartField computed it.
    const RacingLine& GetRacingLine() const { return racingLine; }
    /// Null before StartGhostRace.
    GhostRace* GetGhostRace() const { return ghostRace.get(); }
    /// A lone player's Time Trial: what they did at every tick since Begin,
    /// so that the run can be checked by driving it again (RunCheck).
    /// Empty in the other modes and beside other players.
    const RunInputs& GetInputs() const { return inputs; }

    /// Where won trials are kept; null: timed, not kept.
    RecordsStore* GetRecords() const { return records; }
    /// The records' and ghosts' names of the track driven this way, for car model `carIndex`.
    std::string RecordsKey(unsigned carIndex) const;
    std::string GhostKey() const;

    /// Local player `seat`'s name in the standings: "You" alone, else "Player 2".
    std::string PlayerName(std::size_t seat) const;
    /// Local player `seat`'s colour, on the map and on a copy of a car another
    /// player drives too (0 ... 1 each).
    static vmath::vec3<float> PlayerColour(std::size_t seat);

private:
    /// The cars with a body, whose nodes are posed between ticks.
    std::vector<Car*> PosedCars() const;
    /// Each posed car's frame before the coming tick.
    void KeepPoses();
    void PoseCars(float blend, float dtS);

    RecordsStore* records;
    RaceSetup setup;
    TrackDescription::Way way;
    Track track;
    RaceMode mode = RaceMode::TimeTrial;
    FixedTick tick;
    std::vector<Seat> seats;
    std::unique_ptr<physics::World> world;
    std::unique_ptr<RaceRules> rules;
    RacingLine racingLine;             ///< of the road, for the game's drivers
    std::unique_ptr<RaceField> field;  ///< the Race's cars
    std::unique_ptr<GhostRace> ghostRace;
    RunInputs inputs;
    bool recoveredSinceTick = false;  ///< a recovery since the last tick, which the next tick's input tells
    /// The frames of the posed cars before the last tick, in PosedCars' order.
    std::vector<std::array<float, 16>> keptPoses;
};
