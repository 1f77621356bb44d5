#include "Race.h"

#include <algorithm>
#include <cmath>

#include <nodara/GroupNode.h>
#include <vmath/frame.h>

#include "CarRecovery.h"
#include "GhostRace.h"
#include "RaceField.h"
#include "cars/Car.h"
#include "cars/CarPool.h"
#include "drivers/Player.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "rules/FieldRaceRules.h"
#include "rules/FreeDriveRules.h"
#include "rules/TimeTrialRules.h"

namespace {

const vmath::vec3<float> PlayerColours[] = {
    {0.95f, 0.95f, 0.95f}, {0.85f, 0.08f, 0.08f}, {0.95f, 0.75f, 0.05f}, {0.8f, 0.1f, 0.85f}};

}  // namespace

Race::Race(RecordsStore* records) : records(records), rules(new FreeDriveRules) {}

Race::~Race() {
    // Its owner may have let go of the players by now: only what the race owns goes.
    rules.reset();
    ghostRace.reset();
    field.reset();
    world.reset();
}

void Race::NewWorld() {
    ReleaseCars();
    ReleaseWorld();
    world.reset(new physics::World);
}

void Race::ReleaseCars() {
    // The rules refer to the field and the ghost race: they go first.
    rules.reset(new FreeDriveRules);
    ghostRace.reset();
    for (std::size_t i = 0; i < seats.size(); ++i) SetCar(i, nullptr);
    field.reset();
    keptPoses.clear();
}

void Race::ReleaseWorld() {
    track.checkpoints.clear();
    track.coarseCopies.clear();
    world.reset();
}

void Race::SetWay(const TrackDescription::Way& chosen) {
    way = chosen;
    // Read and checked with the description; reversed, the loop runs the other way from the same start line.
    track.checkpoints = way.checkpoints;
    track.road = setup.track.RoadFor(setup.direction);
}

std::size_t Race::AddSeat(Player& player, unsigned carIndex) {
    seats.emplace_back();
    seats.back().player = &player;
    seats.back().carIndex = carIndex;
    return seats.size() - 1;
}

void Race::SetCar(std::size_t seat, Car* car) {
    seats[seat].car = car;
    seats[seat].player->SetCar(car);
}

std::vector<Car*> Race::SeatCars() const {
    std::vector<Car*> cars;
    for (const Seat& seat : seats) cars.push_back(seat.car);
    return cars;
}

bool Race::PlaceAtStart(std::size_t i) {
    Car* car = seats[i].car;
    return car && world && CarRecovery::PlaceAtStart(*car, *world, way, i);
}

bool Race::StartField(CarPool& cars, const std::vector<RaceField::Entry>& others) {
    // Nothing hand-placed: the line and the gates come from the road itself.
    const double halfWidthM = setup.track.GetRoadHalfWidthM();
    if (!world || track.road.IsEmpty() || !racingLine.Compute(track.road, halfWidthM)) return false;
    std::vector<double> gates;
    for (const Track::Checkpoint& checkpoint : track.checkpoints)
        gates.push_back(track.road.Project(checkpoint.x, checkpoint.y));
    field.reset(new RaceField(cars, *world, track.road, racingLine, halfWidthM));
    std::vector<RaceField::Entry> entries;
    for (std::size_t i = 0; i < seats.size(); ++i)
        entries.push_back({seats[i].car, seats[i].carIndex, seats[i].player, PlayerName(i), PlayerColour(i)});
    entries.insert(entries.end(), others.begin(), others.end());
    field->SetGridOrder(setup.gridOrder);
    return field->Start(entries, setup.opponentCount, setup.opponentSkill, gates);
}

void Race::StartGhostRace(CarPool& cars) { ghostRace.reset(new GhostRace(cars, track.road, GhostKey())); }

void Race::Begin(RaceMode startMode, std::unique_ptr<RaceRules> given) {
    mode = startMode;
    setup.mode = startMode;
    setup.entrants.clear();
    for (const Seat& seat : seats)
        setup.entrants.push_back(
            {seat.carIndex, RaceSetup::Entrant::Driver::LocalPlayer, seat.player->GetDevice(), setup.opponentSkill});
    if (given) {
        rules = std::move(given);
        // A trial's rules from outside still race the ghost and record the run.
        if (auto* trial = dynamic_cast<TimeTrialRules*>(rules.get())) trial->SetGhostRace(ghostRace.get(), setup.PlayerCar());
    } else if (mode == RaceMode::Race && field) {
        rules.reset(new FieldRaceRules(*field));
    } else if (mode == RaceMode::TimeTrial) {
        std::vector<std::string> keys;
        for (const Seat& seat : seats) keys.push_back(setup.track.IsLoaded() ? RecordsKey(seat.carIndex) : "");
        auto trial = std::make_unique<TimeTrialRules>(track, records, std::move(keys));
        trial->SetGhostRace(ghostRace.get(), setup.PlayerCar());
        rules = std::move(trial);
    } else {
        rules.reset(new FreeDriveRules);
    }
    rules->Begin();
    tick.Reset();
    keptPoses.clear();
    inputs.Clear();
    recoveredSinceTick = false;
    if (ghostRace) ghostRace->SetInputs(mode == RaceMode::TimeTrial && seats.size() == 1 ? &inputs : nullptr);
    if (ghostRace && !seats.empty() && seats.front().car) ghostRace->Restart(*seats.front().car);
}

void Race::RaceAgain(CarPool& cars) {
    // The track and the cars stay loaded: a car only needs a new body at the start.
    for (std::size_t i = 0; i < seats.size(); ++i) {
        Car* car = seats[i].car;
        const bool reset = i == 0 ? cars.ResetCar(seats[i].carIndex)
                                  : car && cars.ResetCar(*car, car->node->GetTransform().GetMatrix());
        if (reset && !field) PlaceAtStart(i);
    }
    for (std::size_t i = 0; i < seats.size(); ++i) CarPlaced(i);
    if (field) field->Restart();
    Begin(mode);
}

void Race::CarPlaced(std::size_t seat) {
    if (rules) rules->CarPlaced(seat);
    seats[seat].wrongWay.Reset();
    seats[seat].player->CarPlaced();
    keptPoses.clear();
}

bool Race::Recover(std::size_t seat) {
    Car* car = seats[seat].car;
    // A paused world must not move, and a recovery then would be free.
    if (!car || !car->controlsEnabled || rules->IsOver(seat) || rules->GetClock().IsPaused() || !world ||
        !CarRecovery::Recover(*car, *world, track.road))
        return false;
    CarPlaced(seat);
    if (seat == 0) recoveredSinceTick = true;
    return true;
}

bool Race::Step(float dtS, bool held) {
    if (!(dtS < 1.0f) || rules->GetClock().IsPaused()) return false;
    const int ticks = tick.Advance(dtS);
    for (int i = 0; i < ticks; ++i) {
        if (i == ticks - 1) KeepPoses();
        Tick(held);
    }
    // A world that stands still (a won trial) leaves the cars where they are.
    if (held || !rules->IsWorldRunning()) return false;
    PoseCars(tick.GetBlend(), dtS);
    return true;
}

void Race::Tick(bool held) {
    const float tickS = static_cast<float>(FixedTick::TickS);
    rules->BeforeTick(tickS);
    for (std::size_t i = 0; i < seats.size(); ++i) {
        seats[i].player->Update(tickS);
        // Once a player's run is over (time up, home), their car only brakes.
        if (Car* car = seats[i].player->GetCar()) car->controlsEnabled = rules->AreControlsEnabled(i);
    }
    Car* car = seats.empty() ? nullptr : seats.front().player->GetCar();
    const bool waiting = rules->IsWaiting();
    if (car && mode == RaceMode::TimeTrial && seats.size() == 1 && !rules->IsOver(0) && !waiting) {
        // The controls as the car got them this tick, to the bit, up to the
        // tick the trial is won in (or lost).
        const RunInputs::Tick input{car->throttle, car->brake, car->steering, recoveredSinceTick, held,
                                    seats.front().player->IsSpectator()};
        recoveredSinceTick = false;
        inputs.Append(input);
    }
    if (held || !world || !car) return;
    if (rules->IsWorldRunning() && !waiting) {
        world->Step(tickS);
        for (Seat& seat : seats)
            if (seat.car && seat.car->body)
                seat.wrongWay.Update(track.road, seat.car->body->GetPosition(), seat.car->body->GetLinearVelocity(),
                                     tickS);
        if (ghostRace) ghostRace->Frame(*car, tickS, rules->IsReleased(), rules->IsOver(0));
    }
    rules->AfterTick(tickS, SeatCars());
}

std::vector<Car*> Race::PosedCars() const {
    std::vector<Car*> posed;
    if (field) {
        for (const Racer& racer : field->GetRacers())
            if (racer.car && racer.car->body) posed.push_back(racer.car);
    } else {
        for (const Seat& seat : seats)
            if (seat.car && seat.car->body) posed.push_back(seat.car);
    }
    return posed;
}

void Race::KeepPoses() {
    const std::vector<Car*> posed = PosedCars();
    keptPoses.resize(posed.size());
    for (std::size_t i = 0; i < posed.size(); ++i) posed[i]->body->GetMatrixGL(keptPoses[i].data());
}

void Race::PoseCars(float blend, float dtS) {
    const std::vector<Car*> posed = PosedCars();
    for (std::size_t i = 0; i < posed.size(); ++i) {
        Car& car = *posed[i];
        float now[16], frame[16];
        car.body->GetMatrixGL(now);
        // A car put down since the last tick has no earlier pose to come from.
        if (keptPoses.size() == posed.size())
            vmath::blend_frames_gl(keptPoses[i].data(), now, blend, frame);
        else
            std::copy(now, now + 16, frame);
        car.PoseNodes(frame, dtS);
        for (Seat& seat : seats)
            if (seat.car == &car) std::copy(frame, frame + 16, seat.shown.begin());
    }
}

TimeTrialRules* Race::GetTrial() const { return dynamic_cast<TimeTrialRules*>(rules.get()); }

std::string Race::RecordsKey(unsigned carIndex) const {
    return setup.track.RecordsKey(setup.direction, CarPool::Describe(carIndex).GetKey());
}

std::string Race::GhostKey() const { return setup.track.GhostKey(setup.direction); }

std::string Race::PlayerName(std::size_t seat) const {
    if (seat == 0 && !setup.playerName.empty()) return setup.playerName;
    return seats.size() == 1 ? std::string("You") : "Player " + std::to_string(seat + 1);
}

vmath::vec3<float> Race::PlayerColour(std::size_t seat) {
    return PlayerColours[std::min<std::size_t>(seat, std::size(PlayerColours) - 1)];
}
