#pragma once
// One race of a network game as this game drives it.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drivers/Driver.h"
#include "hud/ResultsTable.h"
#include "net/NetClient.h"
#include "net/RemoteCarBuffer.h"
#include "race/RaceMode.h"

class GameEngine;
class HudNotice;
class RaceField;
class RaceRules;
class RecordsStore;
class TimeTrialRules;
class TrialGuests;
struct Track;

/// The race the server started, seen from here: its grid named from the
/// lobby (the server's drivers by their grid names), a buffer of the states
/// that come for every other car, the own car's recoveries, and the
/// server's results once they come. Its rules (OnlineRaceRules) run in the
/// game's Race; the other cars join that race's field with a driver that
/// leaves them to their states. It must outlive the race, and `net` it.
class OnlineRace {
public:
    struct GridCar {
        std::uint8_t id = 0;  ///< the server's racer id
        unsigned model = 0;   ///< in the car catalogue; an unknown key drives the first
        std::string name;     ///< unique on the grid
        bool own = false;
    };

    /// The race `start` told of, as player `ownId` of `lobby`, told at
    /// `arrivalS` on the game's clock (PerformanceCounter::Time).
    OnlineRace(NetClient& net, const Protocol::RaceStart& start, const Protocol::LobbyState& lobby, double arrivalS);

    /// From the front.
    const std::vector<GridCar>& GetGrid() const { return grid; }
    /// The own car's place; null when the grid lacks it.
    const GridCar* GetOwn() const;
    /// The grid's names from the front, for RaceField::SetGridOrder.
    std::vector<std::string> GridNames() const;
    /// The driver of another car on the grid: it drives nothing, the car
    /// follows its states. Null for the own car or an id not on the grid.
    Driver* DriverOf(std::uint8_t id);

    /// How long the leaderboard's verdict on a won trial stays on the HUD (s).
    static constexpr double VerdictShownS = 10.0;
    /// The keys under the end screen's table.
    static const char* const EndKeys;
    /// The game's mode for the server's: a Race, or a Time Trial.
    RaceMode GetMode() const { return trial ? RaceMode::TimeTrial : RaceMode::Race; }
    /// Sets `engine` up to race this: in a Race the other cars as guests of
    /// its field in the server's grid order, in a Time Trial as its
    /// see-through guests; its own player named as the lobby knows them,
    /// the end screen's keys. Before its Start, in GetMode.
    void SetUp(GameEngine& engine);
    /// Once a frame of the race: the HUD's lines, who left (on `notice`,
    /// at `nowS`), the server's results on the end screen; a trial won
    /// with a whole countdown goes to the server's leaderboard, and its
    /// verdict to `notice`.
    /// @return false once the link is gone (the player is told why by GetNet)
    bool Frame(GameEngine& engine, HudNotice& notice, double nowS);

    /// The rules of this race for `field` (the own car its first player,
    /// the others driven by DriverOf), begun `nowS` on the game's clock:
    /// the ticks since the start came count as run.
    std::unique_ptr<RaceRules> MakeRules(RaceField& field, double nowS);
    /// The rules of this Time Trial on `track` (kept in `records` under
    /// `recordsKey`), the others shown as `guests`, begun `nowS`.
    std::unique_ptr<TimeTrialRules> MakeTrialRules(const Track& track, RecordsStore* records, std::string recordsKey,
                                                   TrialGuests& guests, double nowS);
    /// Whether player `id` left during the race.
    bool IsGone(std::uint8_t id) const { return gone.count(id) > 0; }

    /// What came over the link since the last tick, at race time `nowS`:
    /// each other car's states into its buffer, the server's results.
    void TakeArrivals(double nowS);

    NetClient& GetNet() { return net; }
    const Protocol::RaceStart& GetStart() const { return start; }
    std::map<std::uint8_t, RemoteCarBuffer>& GetBuffers() { return buffers; }
    /// The racer id of a field's racer `name`, or none.
    std::optional<std::uint8_t> IdOf(const std::string& name) const;

    /// The server's results, once they came.
    const std::optional<Protocol::RaceResult>& GetResult() const { return result; }
    void SetResult(Protocol::RaceResult value) { result = std::move(value); }
    /// The server's results as the end screen shows them, with `keys` under them.
    ResultsTable::Table Results(const std::string& keys) const;
    /// What the HUD shows of the link: "Ping 23 ms", then "<name> lagging"
    /// for each car whose states stopped, at race time `nowS`.
    std::vector<std::string> HudLines(double nowS) const;
    /// A line for each player who left since the last call ("Ann left").
    std::vector<std::string> TakeLeftLines();

private:
    /// The won trial's run, inputs and all, to the server's leaderboard.
    void SubmitWonRun(const GameEngine& engine);

    /// A car raced elsewhere: its body follows its states, so it is not driven here.
    class Follower : public Driver {
    public:
        void Drive(Car&, float) override {}
    };

    NetClient& net;
    Protocol::RaceStart start;
    double arrivalS;
    std::vector<GridCar> grid;
    std::map<std::uint8_t, Follower> followers;
    std::map<std::uint8_t, RemoteCarBuffer> buffers;
    std::optional<Protocol::RaceResult> result;
    bool resultsShown = false;
    bool trial = false;      ///< the server races a Time Trial
    bool runSent = false;    ///< the won trial went to the leaderboard
    std::set<std::uint8_t> gone;  ///< players who left during the race
};
