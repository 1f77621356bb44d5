#pragma once
// A client that races without a window: the game's driver at the wheel.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "NetClient.h"
#include "RemoteCarBuffer.h"
#include "drivers/RacingDriver.h"
#include "race/StuckWatch.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"
#include "track/RoadProgress.h"
#include "track/TrackDescription.h"

class HeadlessCars;
class TrackTerrain;
struct Car;
namespace physics {
class World;
}

/// Joins a server and races its Races and Time Trials as a player would, with one of the
/// game's drivers (RacingDriver) at the wheel and nothing drawn: its own
/// car simulated in its own world at the race's fixed tick, never corrected
/// by the server; in a Race every other car a body that follows its
/// RemoteCarBuffer, so touching one pushes its own car, in a Time Trial
/// only a buffer. Tick 0 of each race is the start's
/// arrival; the car goes at the start's release tick, passes the
/// checkpoints and sends its state every StateEveryTicks ticks; stuck, it is
/// put back on the road as a player would ask (R). The server's
/// results are the race's results. For tests, benchmarks and bots.
class HeadlessClient {
public:
    /// 30 states a second.
    static constexpr unsigned StateEveryTicks = 4;

    /// Races `track` driven `direction` on `terrain`'s ground; all three
    /// must outlive the client.
    HeadlessClient(const TrackDescription& track, TrackDescription::Direction direction, const TrackTerrain& terrain,
                   RacingDriver::Skill skill = RacingDriver::Skill::Medium);
    ~HeadlessClient();
    HeadlessClient(const HeadlessClient&) = delete;
    HeadlessClient& operator=(const HeadlessClient&) = delete;

    /// Starts joining as `identity` (its track: this client's).
    bool Connect(const std::string& host, std::uint16_t port, NetClient::Identity identity);
    /// The network's events, then the race's ticks for `dtS` more seconds.
    void Step(double dtS, std::uint32_t waitMs = 0);

    NetClient& GetNet() { return net; }
    const NetClient& GetNet() const { return net; }
    bool IsRacing() const { return racing; }
    /// The last race's results as the server sent them.
    const std::optional<Protocol::RaceResult>& GetResult() const { return result; }
    std::uint32_t GetTick() const { return tick; }
    bool IsReleased() const { return racing && tick >= releaseTick; }
    /// The own car; null before the first race.
    const Car* GetCar() const { return own; }
    unsigned GetCheckpoints() const { return nextCheckpoint; }
    bool IsFinished() const { return !gates.empty() && nextCheckpoint >= gates.size(); }
    /// Times its car was stuck and put back on the road this race.
    unsigned GetRecoveries() const { return recoveries; }
    /// Every other car's buffer, by racer id.
    const std::map<std::uint8_t, RemoteCarBuffer>& GetRemotes() const { return buffers; }
    /// Every state this client sent in the race, in order: its car's true path.
    const std::vector<Protocol::CarState>& GetSentStates() const { return sent; }

private:
    bool BeginRace(const Protocol::RaceStart& start);
    void Tick();
    Car* PlaceCar(const std::string& carKey, std::size_t gridPlace);
    /// The catalogue's car of `carKey`; an unknown key drives the first.
    static unsigned ModelOf(const std::string& carKey);

    const TrackDescription& track;
    TrackDescription::Direction direction;
    const TrackTerrain& terrain;
    RacingDriver::Skill skill;
    NetClient net;
    RoadCentreLine road;
    RacingLine line;
    std::vector<double> gates;
    // The cars refer to the world: it goes last.
    std::unique_ptr<physics::World> world;
    std::unique_ptr<HeadlessCars> cars;
    std::unique_ptr<RacingDriver> driver;
    Car* own = nullptr;
    std::map<std::uint8_t, Car*> remotes;
    std::map<std::uint8_t, RemoteCarBuffer> buffers;
    std::vector<const Car*> allCars;  ///< what the driver sees
    RoadProgress progress;
    unsigned nextCheckpoint = 0;
    StuckWatch stuck;
    unsigned recoveries = 0;  ///< this race's
    bool racing = false;
    bool trial = false;  ///< the lobby's race is a Time Trial
    std::uint32_t tick = 0;
    std::uint32_t releaseTick = 0;
    double aheadS = 0.0;  ///< simulated time past the steps' time, [0, TickS)
    std::optional<Protocol::RaceResult> result;
    std::vector<Protocol::CarState> sent;
};
