/*******************************************************************************
 * PhysicsBench: the cost of stepping the race's physics, per 1/60 s frame, with
 * one car driving over a terrain mesh of about 200,000 triangles (the game's
 * track has fewer), then with a field of cars on a grid, two a row and rows
 * 8 m apart, weaving and braking alike and so now and then touching. Also
 * times building the terrain (BVH and edge data).
 *
 * Then, where the game's classes are built, a field of 8 racing round
 * GreenValley's road laid on that terrain, the physics and the rules of a
 * Race two ways side by side, frame by frame in turn: the old way, the world
 * stepped once per frame (two substeps) with the drivers and the rules once
 * per frame; and the fixed tick, two ticks of 1/120 s per frame, each with
 * the drivers, one world step and the rules. Two cars are driven by scripted
 * keys through the game's Player, six by the game's RacingDrivers on Medium.
 * The race's own RaceField needs a car pool with a rendering engine, so the
 * bench does its per-tick work itself with the classes it uses: RacingDriver,
 * Player, WrongWay, RoadProgress, Standings, the gates and the stuck rule
 * with CarRecovery. Left out: the countdown (the field starts released after
 * a second on its brakes), the ghost's recording (one player alone), the
 * blending of poses for drawing.
 *
 *   bin/PhysicsBench [frames] [car index] [field]
 *       defaults: 3600 frames, car 0, a field of 6 (alternating both cars)
 *
 * Targets: one car under 1 ms per frame on average; a field of six under
 * 0.5 ms; the physics and rules of 8 cars at the fixed tick at most 1 ms a
 * frame.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <physics/CarTemplate.h>
#include <physics/DynamicObjectCar.h>
#include <physics/World.h>
#include "cars/CarPool.h"
#include "SeriesStats.h"

#ifdef GREEN_VALLEY_ROAD
#include <array>
#include <memory>

#include "cars/Car.h"
#include "drivers/Player.h"
#include "drivers/RacingDriver.h"
#include "input/EventHandler.h"
#include "input/KeyBindings.h"
#include "race/CarRecovery.h"
#include "race/FixedTick.h"
#include "race/RaceField.h"
#include "race/Racer.h"
#include "race/Standings.h"
#include "race/WrongWay.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Rolling valley ground: gentle swells near the middle where the car
/// drives, a grid of 316 x 316 cells of 25 m, as the track's valley is.
float Height(float x, float y) {
    return 6.0f * std::sin(x / 90.0f) * std::cos(y / 110.0f) + 2.0f * std::sin((x + y) / 37.0f) +
           0.00002f * (x * x + y * y);
}

/// A scripted drive of `carIndices.size()` cars from a grid at the centre,
/// weaving at full throttle and braking now and then, all alike; prints the
/// step cost per frame. The cars leave the world at the end.
void Drive(physics::World& world, const std::vector<unsigned>& carIndices, int frames) {
    std::vector<physics::DynamicObjectCar*> cars;
    for (std::size_t i = 0; i < carIndices.size(); ++i) {
        const float x = carIndices.size() == 1 ? 0.0f : i % 2 == 0 ? -2.5f : 2.5f;
        const float y = -8.0f * static_cast<float>(i / 2);
        const float carStart[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, Height(x, y) + 1.0f, 1};
        cars.push_back(world.CreateCar(CarPool::Describe(carIndices[i]).GetTemplate(), carStart));
    }
    const float frameS = 1.0f / 60.0f;
    std::vector<double> stepMs, stepCpuMs;
    stepMs.reserve(frames);
    stepCpuMs.reserve(frames);
    float topKmh = 0.0f;
    for (int frame = 0; frame < frames; ++frame) {
        float t = frame * frameS;
        bool braking = std::fmod(t, 20.0f) > 17.0f;
        for (physics::DynamicObjectCar* car : cars)
            car->SetControls(0.35f * std::sin(t * 0.4f), braking ? 0.0f : 1.0f, braking ? 1.0f : 0.0f, t < 1.0f);
        Clock::time_point start = Clock::now();
        double startCpu = ThreadMilliseconds();
        world.Step(frameS);
        stepCpuMs.push_back(ThreadMilliseconds() - startCpu);
        stepMs.push_back(MillisecondsSince(start));
        for (physics::DynamicObjectCar* car : cars) topKmh = std::max(topKmh, car->GetSpeedKmh());
    }

    vmath::vec3<float> end = cars[0]->GetPosition();
    if (cars.size() == 1)
        std::printf("Drive: car %u", carIndices[0]);
    else
        std::printf("Drive: a field of %zu cars", cars.size());
    std::printf(", %d frames of 1/60 s (%d substeps each), top %.0f km/h, the first ended at (%.0f, %.0f, %.1f)\n",
                frames, world.GetSubstepCount(frameS), topKmh, end.x, end.y, end.z);
    PrintSeries("Step per frame, wall clock", stepMs);
    PrintSeries("Step per frame, processor time", stepCpuMs);
    for (physics::DynamicObjectCar* car : cars) world.DestroyCar(car);
}

#ifdef GREEN_VALLEY_ROAD

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

/// The field: the game's drivers first, then the players (the first of them
/// last, at the very back), in grid order as the race has them.
constexpr std::size_t FieldDrivers = 6;
constexpr std::size_t FieldPlayers = 2;
constexpr std::size_t FieldSize = FieldDrivers + FieldPlayers;
/// The race's own spreads of its drivers' pace, so the field strings out.
const double PaceSpread[FieldDrivers] = {1.0, 0.985, 0.97, 0.993, 0.978, 0.963};
/// GreenValley's asphalt either side of the centre line (m), as DrivingBench has it.
constexpr double RoadHalfWidthM = 5.5;
/// The scripted players: no faster than this (m/s), and round a bend at
/// what this lateral acceleration allows (m/s^2), well inside the grip so
/// that keys on and off keep them on the road.
constexpr double ScriptTopMs = 32.0;
constexpr double ScriptCornerMs2 = 6.0;

struct Series {
    std::vector<double> cpuMs, wallMs, worldCpuMs;
};

/// Mean and 95th percentile of a series, as PrintSeries takes them.
struct Summary {
    double mean = 0.0, p95 = 0.0;
};

Summary Summarise(std::vector<double> ms) {
    Summary summary;
    if (ms.empty()) return summary;
    for (double value : ms) summary.mean += value;
    summary.mean /= static_cast<double>(ms.size());
    std::sort(ms.begin(), ms.end());
    summary.p95 = ms[ms.size() * 95 / 100];
    return summary;
}

/// A Race of eight in a world of its own on the terrain: what the race does
/// at each tick of `tickS` around the world's step, as RaceField and the
/// race's tick do it, and the time each frame takes.
class FieldRace {
public:
    FieldRace(const RoadCentreLine& road, const RacingLine& line, float tickS)
        : road(road), line(line), tickS(tickS) {}

    /// The world on the terrain, every car on its grid place, a second on
    /// its brakes to settle on the springs (untimed), then released.
    bool Start(const std::vector<vmath::vec3<float>>& vertices, const std::vector<unsigned int>& indices) {
        world.reset(new physics::World());
        if (!world->AddStaticMesh(vertices, indices, Identity)) return false;
        const double length = road.GetLength();
        std::vector<double> distances;
        for (std::size_t i = 0; i < FieldSize; ++i) {
            const bool player = i >= FieldDrivers;
            const unsigned model = static_cast<unsigned>(player ? (FieldSize - 1 - i) % 2 : i % 2);
            cars.emplace_back(new Car());
            Car& car = *cars.back();
            car.body = world->CreateCar(CarPool::Describe(model).GetTemplate(), Identity);
            // The race's grid: two a row behind the start line, the right column half a row back.
            const bool right = i % 2 == 1;
            const double s = -(RaceField::GridFrontM + static_cast<double>(i / 2) * RaceField::GridRowM +
                               (right ? RaceField::GridRowM / 2 : 0.0));
            const double lateral = right ? -RaceField::GridColumnM : RaceField::GridColumnM;
            if (!car.body || !CarRecovery::PlaceOnRoad(car, *world, road, s + length, lateral)) return false;
            Racer racer;
            racer.model = model;
            racer.car = &car;
            racer.player = player;
            if (player) {
                Player& person = players[FieldSize - 1 - i];
                person.SetCar(&car);
                racer.driver = &person;
            } else {
                drivers.emplace_back(new RacingDriver(line, RacingDriver::CarLimits(model),
                                                      RacingDriver::Skill::Medium, PaceSpread[i]));
                racer.driver = drivers.back().get();
            }
            const vmath::vec3<float> p = car.body->GetPosition();
            racer.progress.Start(road, p.x, p.y);
            distances.push_back(racer.progress.GetDistanceM());
            racers.push_back(racer);
            allCars.push_back(&car);
        }
        for (auto& driver : drivers) driver->SetOthers(&allCars);
        standings.Reset(FieldSize, distances);
        // Gates at each quarter of the lap, the finish at the end: the
        // bench's frames end long before anyone gets there.
        for (int k = 1; k <= 4; ++k) checkpoints.push_back(length * k / 4.0);
        const int settleTicks = static_cast<int>(std::lround(1.0 / tickS));
        for (int t = 0; t < settleTicks; ++t) {
            for (auto& car : cars) car->ApplyControls();
            world->Step(tickS);
        }
        for (auto& car : cars) car->controlsEnabled = true;
        return true;
    }

    /// The players' keys for the next frame, as a person would press them
    /// between frames: towards the centre line ahead, off the throttle
    /// before a bend, R when stuck. A stand-in for the person, not timed.
    void ScriptPlayers(float frameS) {
        for (std::size_t k = 0; k < FieldPlayers; ++k) {
            Player& person = players[k];
            Racer& racer = racers[PlayerRacer(k)];
            Car& car = *racer.car;
            const vmath::vec3<float> at = car.body->GetPosition(), forward = car.body->GetAxis(1);
            const double speed = car.body->GetSpeedMs();
            const double s = racer.progress.GetDistanceM();
            const RoadCentreLine::Point aim = road.At(s + std::max(12.0, 0.7 * speed));
            const double dx = aim.x - at.x, dy = aim.y - at.y;
            const double angle = std::atan2(forward.x * dy - forward.y * dx, forward.x * dx + forward.y * dy);
            double bend = 1.0e-4;
            for (double ahead = 0.0; ahead <= 120.0; ahead += 10.0)
                bend = std::max(bend, std::fabs(road.Curvature(s + ahead)));
            const double cap = std::min(ScriptTopMs, std::sqrt(ScriptCornerMs2 / bend));
            Press(person, KeyBindings::Throttle, speed < cap - 1.0);
            Press(person, KeyBindings::Brake, speed > cap + 2.0);
            Press(person, KeyBindings::SteerLeft, angle > 0.02);
            Press(person, KeyBindings::SteerRight, angle < -0.02);
            if (racer.stuck.Update(static_cast<float>(speed), racer.progress.GetOffsetM(), RoadHalfWidthM, frameS) &&
                CarRecovery::Recover(car, *world, road)) {
                person.CarPlaced();
                wrongWays[k].Reset();
                ++playerRecoveries;
            }
        }
    }

    /// One frame of `ticks` ticks, timed: processor and wall time, and the
    /// world's steps' share.
    void Frame(int ticks) {
        const Clock::time_point start = Clock::now();
        const double startCpu = ThreadMilliseconds();
        double worldMs = 0.0;
        for (int t = 0; t < ticks; ++t) Tick(worldMs);
        times.cpuMs.push_back(ThreadMilliseconds() - startCpu);
        times.wallMs.push_back(MillisecondsSince(start));
        times.worldCpuMs.push_back(worldMs);
    }

    const Series& GetTimes() const { return times; }
    int GetSubstepCount() const { return world->GetSubstepCount(tickS); }

    /// Where the field got to: the game's drivers' least and most metres
    /// along the road, the players', and how often each were put back.
    void PrintField() const {
        double least = 1e9, most = -1e9;
        for (std::size_t i = 0; i < FieldDrivers; ++i) {
            least = std::min(least, racers[i].progress.GetDistanceM());
            most = std::max(most, racers[i].progress.GetDistanceM());
        }
        std::printf("  the drivers %.0f to %.0f m along the road (%d put back by the stuck rule), the players %.0f and "
                    "%.0f m (%d put back)\n",
                    least, most, driverRecoveries, racers[PlayerRacer(0)].progress.GetDistanceM(),
                    racers[PlayerRacer(1)].progress.GetDistanceM(), playerRecoveries);
    }

private:
    static std::size_t PlayerRacer(std::size_t player) { return FieldSize - 1 - player; }

    void Press(Player& person, KeyBindings::Action action, bool down) {
        person.OnKey(events, person.GetKeyBindings().KeyOf(action), down ? 0 : 1);
    }

    /// The rules' BeforeTick, the players, the world's step, the wrong-way
    /// signs, the rules' AfterTick: the race's tick in its order.
    void Tick(double& worldMs) {
        const double playerM = racers[PlayerRacer(0)].progress.GetDistanceM();
        for (std::size_t i = 0; i < FieldDrivers; ++i) {
            Racer& racer = racers[i];
            Car& car = *racer.car;
            if (standings.IsFinished(i)) {
                car.controlsEnabled = false;
            } else {
                car.controlsEnabled = true;
                drivers[i]->SetLeadOverPlayer(racer.progress.GetDistanceM() - playerM);
                racer.driver->Drive(car, tickS);
            }
            car.ApplyControls();
        }
        for (std::size_t k = 0; k < FieldPlayers; ++k) {
            players[k].Update(tickS);
            players[k].GetCar()->controlsEnabled = !standings.IsFinished(PlayerRacer(k));
        }
        const double start = ThreadMilliseconds();
        world->Step(tickS);
        worldMs += ThreadMilliseconds() - start;
        for (std::size_t k = 0; k < FieldPlayers; ++k) {
            const physics::DynamicObjectCar& body = *players[k].GetCar()->body;
            wrongWays[k].Update(road, body.GetPosition(), body.GetLinearVelocity(), tickS);
        }
        raceS += tickS;
        for (std::size_t i = 0; i < FieldSize; ++i) {
            Racer& racer = racers[i];
            const vmath::vec3<float> p = racer.car->body->GetPosition();
            racer.progress.Update(road, p.x, p.y);
            standings.Update(i, racer.progress.GetDistanceM(), raceS);
            while (racer.nextCheckpoint < checkpoints.size() &&
                   racer.progress.GetDistanceM() >= checkpoints[racer.nextCheckpoint])
                if (++racer.nextCheckpoint == checkpoints.size()) standings.Finish(i, raceS);
            if (!racer.player && !standings.IsFinished(i)) StuckRule(i);
        }
    }

    void StuckRule(std::size_t i) {
        Racer& racer = racers[i];
        if (!racer.stuck.Update(racer.car->body->GetSpeedMs(), racer.progress.GetOffsetM(), RoadHalfWidthM, tickS))
            return;
        if (CarRecovery::Recover(*racer.car, *world, road)) {
            drivers[i]->Placed();
            ++driverRecoveries;
        }
    }

    const RoadCentreLine& road;
    const RacingLine& line;
    const float tickS;
    std::unique_ptr<physics::World> world;  ///< releases the cars' bodies
    std::vector<std::unique_ptr<Car>> cars;
    std::vector<std::unique_ptr<RacingDriver>> drivers;
    std::array<Player, FieldPlayers> players;
    std::array<WrongWay, FieldPlayers> wrongWays;
    EventHandler events;  ///< only what the players' key calls name
    std::vector<Racer> racers;
    std::vector<const Car*> allCars;
    std::vector<double> checkpoints;
    Standings standings;
    double raceS = 0.0;
    int driverRecoveries = 0, playerRecoveries = 0;
    Series times;
};

void PrintRun(const char* what, const FieldRace& race) {
    std::printf("%s:\n", what);
    PrintSeries("  per frame, processor time", race.GetTimes().cpuMs);
    PrintSeries("  per frame, wall clock", race.GetTimes().wallMs);
    PrintSeries("  the world's steps alone, processor time", race.GetTimes().worldCpuMs);
    std::vector<double> restMs;
    for (std::size_t i = 0; i < race.GetTimes().cpuMs.size(); ++i)
        restMs.push_back(race.GetTimes().cpuMs[i] - race.GetTimes().worldCpuMs[i]);
    PrintSeries("  the rest (drivers, players, rules), processor time", restMs);
    race.PrintField();
}

/// The field of eight round GreenValley's road on the terrain, the old way
/// and at the fixed tick side by side: frame by frame in turn, which goes
/// first swapping each frame, so both see the machine alike.
bool RaceTheField(const std::vector<vmath::vec3<float>>& vertices, const std::vector<unsigned int>& indices,
                  int frames) {
    RoadCentreLine road;
    RacingLine line;
    if (!road.Load(GREEN_VALLEY_ROAD) || !line.Compute(road, RoadHalfWidthM)) {
        std::printf("PHYSICS BENCH: no road or racing line from %s\n", GREEN_VALLEY_ROAD);
        return false;
    }
    const float frameS = 1.0f / 60.0f;
    FieldRace perFrame(road, line, frameS), ticked(road, line, static_cast<float>(FixedTick::TickS));
    if (!perFrame.Start(vertices, indices) || !ticked.Start(vertices, indices)) {
        std::printf("PHYSICS BENCH: the field could not be put on the grid\n");
        return false;
    }
    FixedTick tick;
    long tickCount = 0;
    for (int frame = 0; frame < frames; ++frame) {
        perFrame.ScriptPlayers(frameS);
        ticked.ScriptPlayers(frameS);
        const int ticks = tick.Advance(frameS);
        tickCount += ticks;
        if (frame % 2 == 0) {
            perFrame.Frame(1);
            ticked.Frame(ticks);
        } else {
            ticked.Frame(ticks);
            perFrame.Frame(1);
        }
    }

    std::printf("Field at the fixed tick: %zu cars (%zu scripted players, %zu drivers on Medium) round a %.0f m road "
                "on the terrain, %d frames of 1/60 s, both ways in turn\n",
                FieldSize, FieldPlayers, FieldDrivers, road.GetLength(), frames);
    char what[128];
    std::snprintf(what, sizeof what, "Old way: one step of 1/60 s (%d substeps) and the rules once a frame",
                  perFrame.GetSubstepCount());
    PrintRun(what, perFrame);
    std::snprintf(what, sizeof what, "Fixed tick: %.2f ticks a frame, each a step of 1/120 s (%d substep) and the rules",
                  static_cast<double>(tickCount) / frames, ticked.GetSubstepCount());
    PrintRun(what, ticked);
    const Summary oldCpu = Summarise(perFrame.GetTimes().cpuMs), tickCpu = Summarise(ticked.GetTimes().cpuMs);
    const Summary oldWall = Summarise(perFrame.GetTimes().wallMs), tickWall = Summarise(ticked.GetTimes().wallMs);
    std::printf("Fixed tick / old way: processor time mean %.2f x, 95th percentile %.2f x; wall clock mean %.2f x, "
                "95th percentile %.2f x\n",
                tickCpu.mean / oldCpu.mean, tickCpu.p95 / oldCpu.p95, tickWall.mean / oldWall.mean,
                tickWall.p95 / oldWall.p95);
    std::printf("Target, the physics and rules of 8 cars at the fixed tick <= 1 ms a frame: processor time mean "
                "%.3f ms (%s), 95th percentile %.3f ms (%s)\n",
                tickCpu.mean, tickCpu.mean <= 1.0 ? "met" : "missed", tickCpu.p95, tickCpu.p95 <= 1.0 ? "met" : "missed");
    return true;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    // Initialization
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
    const unsigned carIndex = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0u;
    const int fieldSize = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 8) : 6;
    const int cells = 316;
    const float cellM = 25.0f;
    const float half = cells * cellM / 2.0f;

    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            float x = -half + i * cellM, y = -half + j * cellM;
            vertices.emplace_back(x, y, Height(x, y));
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            unsigned int a = j * (cells + 1) + i, b = a + 1, c = a + cells + 2, d = a + cells + 1;
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    physics::World world;
    Clock::time_point start = Clock::now();
    double startCpu = ThreadMilliseconds();
    if (!world.AddStaticMesh(vertices, indices, identity)) {
        std::printf("PHYSICS BENCH: terrain rejected\n");
        return 1;
    }
    const double buildMs = MillisecondsSince(start);
    const double buildCpuMs = ThreadMilliseconds() - startCpu;
    std::printf("Terrain: %zu triangles, built in %.0f ms (%.0f ms processor time)\n", indices.size() / 3, buildMs,
                buildCpuMs);

    // Update and report: one car, then the field
    std::vector<unsigned> one = {carIndex}, field;
    for (int i = 0; i < fieldSize; ++i) field.push_back(static_cast<unsigned>(i % 2));
    Drive(world, one, frames);
    if (fieldSize > 1) Drive(world, field, frames);
#ifdef GREEN_VALLEY_ROAD
    if (!RaceTheField(vertices, indices, frames)) return 1;
#else
    std::printf("Field at the fixed tick: skipped, built without the game's classes\n");
#endif

    // De-Initialization: the world releases the terrain
    return 0;
}
