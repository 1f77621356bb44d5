#include "HeadlessClient.h"

#include <algorithm>

#include "CarStates.h"
#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "cars/HeadlessCars.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "race/CarRecovery.h"
#include "race/FixedTick.h"
#include "race/RaceField.h"
#include "race/rules/TrialRun.h"
#include "track/TrackTerrain.h"

HeadlessClient::HeadlessClient(const TrackDescription& track, TrackDescription::Direction direction,
                               const TrackTerrain& terrain, RacingDriver::Skill skill)
    : track(track), direction(direction), terrain(terrain), skill(skill) {}

HeadlessClient::~HeadlessClient() {
    driver.reset();
    cars.reset();
    world.reset();
}

bool HeadlessClient::Connect(const std::string& host, std::uint16_t port, NetClient::Identity identity) {
    const std::string key = track.GetKey();
    const TrackDescription& mine = track;
    return net.Connect(host, port, std::move(identity), [key, &mine](const std::string& asked, bool reverse) {
        const auto way = reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
        return asked == key && mine.FindWay(way) ? mine.RoadFor(way).GetChecksum() : 0u;
    });
}

void HeadlessClient::Step(double dtS, std::uint32_t waitMs) {
    net.Service(waitMs);
    if (std::optional<Protocol::RaceStart> start = net.TakeRaceStart()) BeginRace(*start);
    const double nowS = tick * FixedTick::TickS;
    for (const Protocol::CarState& state : net.TakeStates()) {
        const auto buffer = buffers.find(state.playerId);
        if (racing && buffer != buffers.end()) buffer->second.Push(state, nowS);
    }
    // A car whose player went (or was removed) leaves the road.
    for (const Protocol::PlayerLeft& gone : net.TakeLeft()) {
        const auto car = remotes.find(gone.playerId);
        if (car != remotes.end() && car->second->body) cars->ReleaseBody(*car->second);
    }
    if (std::optional<Protocol::RaceResult> over = net.TakeRaceResult()) {
        result = std::move(over);
        racing = false;
    }
    if (!racing || !(dtS > 0.0) || dtS >= 1.0) return;
    aheadS -= dtS;
    while (aheadS < 0.0) {
        Tick();
        aheadS += FixedTick::TickS;
    }
}

unsigned HeadlessClient::ModelOf(const std::string& carKey) {
    const std::size_t found = CarCatalogue::Cars().Find(carKey);
    return found < CarCatalogue::Count() ? static_cast<unsigned>(found) : 0u;
}

Car* HeadlessClient::PlaceCar(const std::string& carKey, std::size_t gridPlace) {
    Car* car = cars->MakeCar(ModelOf(carKey));
    double s = 0.0, lateralM = 0.0;
    RaceField::GridSlot(gridPlace, s, lateralM);
    if (car && !CarRecovery::PlaceOnRoad(*car, *world, road, s + road.GetLength(), lateralM)) return nullptr;
    return car;
}

bool HeadlessClient::BeginRace(const Protocol::RaceStart& start) {
    racing = false;
    driver.reset();
    cars.reset();
    remotes.clear();
    buffers.clear();
    allCars.clear();
    sent.clear();
    own = nullptr;
    result.reset();
    road = track.RoadFor(direction);
    const TrackDescription::Way* way = track.FindWay(direction);
    if (!way || road.IsEmpty() || !line.Compute(road, track.GetRoadHalfWidthM())) return false;
    // A trial's checkpoints are squares on the centre line: its line keeps within their reach.
    trial = net.GetChoice().mode == Protocol::Mode::TimeTrial;
    if (trial && !line.Compute(road, std::min<double>(track.GetRoadHalfWidthM(), TrialRun::CheckpointReach)))
        return false;
    gates.clear();
    for (const Track::Checkpoint& checkpoint : way->checkpoints) gates.push_back(road.Project(checkpoint.x, checkpoint.y));
    world = std::make_unique<physics::World>();
    if (!terrain.AddTo(*world)) return false;
    cars = std::make_unique<HeadlessCars>(*world);
    for (std::size_t place = 0; place < start.grid.size(); ++place) {
        const Protocol::GridPlace& entry = start.grid[place];
        const bool mine = entry.id == net.GetPlayerId();
        // In a trial every car starts on the start line on its own: the others touch nothing here.
        if (trial && !mine) {
            buffers[entry.id];
            continue;
        }
        Car* car = trial ? cars->MakeCar(ModelOf(entry.car)) : PlaceCar(entry.car, place);
        if (!car || (trial && !CarRecovery::PlaceAtStart(*car, *world, *way, 0))) return false;
        if (mine) {
            own = car;
            driver = std::make_unique<RacingDriver>(line, RacingDriver::CarLimits(ModelOf(entry.car)), skill);
        } else {
            remotes[entry.id] = car;
            buffers[entry.id];
        }
        allCars.push_back(car);
    }
    if (!own) return false;
    driver->SetOthers(&allCars);
    driver->Placed();
    const vmath::vec3<float> p = own->body->GetPosition();
    progress.Start(road, p.x, p.y);
    nextCheckpoint = 0;
    recoveries = 0;
    stuck.Reset();
    tick = 0;
    releaseTick = start.releaseTick;
    aheadS = 0.0;
    racing = true;
    return true;
}

void HeadlessClient::Tick() {
    const float tickS = static_cast<float>(FixedTick::TickS);
    ++tick;
    const bool released = tick >= releaseTick;
    own->controlsEnabled = released && !IsFinished();
    if (own->controlsEnabled) driver->Drive(*own, tickS);
    own->ApplyControls();
    const double nowS = tick * FixedTick::TickS;
    for (auto& [id, car] : remotes) {
        RemoteCarBuffer::Shown shown;
        if (car->body && buffers[id].At(nowS, shown)) CarStates::Follow(*car, shown.sample, shown.velocityMs);
    }
    world->Step(tickS);
    const vmath::vec3<float> p = own->body->GetPosition();
    progress.Update(road, p.x, p.y);
    while (nextCheckpoint < gates.size() && progress.GetDistanceM() >= gates[nextCheckpoint]) ++nextCheckpoint;
    // Stuck, it asks for the road as a player would: the server checks the jump as a recovery.
    if (released && !IsFinished() &&
        stuck.Update(own->body->GetSpeedMs(), progress.GetOffsetM(), track.GetRoadHalfWidthM(), tickS) &&
        CarRecovery::Recover(*own, *world, road)) {
        ++recoveries;
        driver->Placed();
    }
    Protocol::CarState state;
    if (tick % StateEveryTicks == 0 &&
        CarStates::Take(*own, net.GetPlayerId(), tick, nextCheckpoint, state, recoveries)) {
        net.SendState(state);
        sent.push_back(state);
    }
}
