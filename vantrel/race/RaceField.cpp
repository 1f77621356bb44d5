#include "RaceField.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "CarRecovery.h"
#include "RaceClock.h"
#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "cars/CarMaker.h"
#include "hud/Minimap.h"
#include "physics/DynamicObjectCar.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"

const char* const RaceField::DriverNames[RaceField::MaxOpponents] = {
    "Mira Kestrel", "Oskar Lind", "Tessa Varga", "Jonah Reyes", "Ilse Brandt", "Tomas Okafor", "Nadia Sorel",
};

namespace {

// Paints far apart from each other and from the road's greys and greens.
const vmath::vec3<float> Paints[RaceField::MaxOpponents] = {
    {0.85f, 0.10f, 0.10f}, {0.10f, 0.35f, 0.90f}, {0.95f, 0.75f, 0.05f}, {0.10f, 0.70f, 0.30f},
    {0.95f, 0.45f, 0.05f}, {0.60f, 0.15f, 0.75f}, {0.90f, 0.90f, 0.90f},
};
// Each driver's share of its skill's pace, so the field strings out rather
// than driving nose to tail.
const double PaceSpread[RaceField::MaxOpponents] = {1.0, 0.985, 0.97, 0.993, 0.978, 0.963, 0.988};

}  // namespace

RaceField::RaceField(CarMaker& cars, physics::World& world, const RoadCentreLine& road, const RacingLine& line,
                     double roadHalfWidthM)
    : cars(cars), world(world), road(road), line(line), roadHalfWidthM(roadHalfWidthM) {}

RaceField::~RaceField() = default;

bool RaceField::Start(const std::vector<Entry>& players, unsigned opponents, RacingDriver::Skill skill,
                      const std::vector<double>& checkpointS) {
    racers.clear();
    drivers.clear();
    playerCount = 0;
    if (players.empty()) return false;
    checkpoints = checkpointS;
    // None leaves the players alone: a network race may have only them.
    opponents = std::min(opponents, MaxOpponents);
    for (unsigned i = 0; i < opponents; ++i) {
        Racer racer;
        racer.name = DriverNames[i];
        racer.model = i % CarCatalogue::Count();
        racer.paint = Paints[i];
        const float paint[3] = {Paints[i].x, Paints[i].y, Paints[i].z};
        racer.car = cars.MakeOpponent(racer.model, paint);
        if (!racer.car) return false;
        drivers.emplace_back(new RacingDriver(line, RacingDriver::CarLimits(racer.model), skill, PaceSpread[i]));
        racer.driver = drivers.back().get();
        racers.push_back(racer);
    }
    // The first player at the very back, the others ahead in turn.
    for (auto entry = players.rbegin(); entry != players.rend(); ++entry) {
        if (!entry->car || !entry->driver) return false;
        Racer you;
        you.name = entry->name;
        you.model = entry->model;
        you.car = entry->car;
        you.driver = entry->driver;
        you.paint = entry->paint;
        you.player = true;
        racers.push_back(you);
    }
    playerCount = players.size();

    allCars.clear();
    for (const Racer& racer : racers) allCars.push_back(racer.car);
    for (std::size_t i = 0; i < drivers.size(); ++i) drivers[i]->SetOthers(&allCars);
    return PlaceOnGrid();
}

bool RaceField::Restart() { return PlaceOnGrid(); }

void RaceField::GridSlot(std::size_t i, double& s, double& lateralM) {
    const double row = static_cast<double>(i / 2);
    const bool right = i % 2 == 1;
    s = -(GridFrontM + row * GridRowM + (right ? GridRowM / 2 : 0.0));
    lateralM = right ? -GridColumnM : GridColumnM;
}

std::vector<std::size_t> RaceField::GridPlaces() const {
    // Named racers by their place in the order, the others after them as they stand.
    std::vector<std::size_t> byGrid(racers.size());
    for (std::size_t i = 0; i < byGrid.size(); ++i) byGrid[i] = i;
    const auto rank = [&](std::size_t i) {
        const auto named = std::find(gridOrder.begin(), gridOrder.end(), racers[i].name);
        return named != gridOrder.end() ? static_cast<std::size_t>(named - gridOrder.begin()) : gridOrder.size() + i;
    };
    std::sort(byGrid.begin(), byGrid.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    std::vector<std::size_t> places(racers.size());
    for (std::size_t place = 0; place < byGrid.size(); ++place) places[byGrid[place]] = place;
    return places;
}

bool RaceField::PlaceOnGrid() {
    std::vector<double> distances;
    const double length = road.GetLength();
    const std::vector<std::size_t> places = GridPlaces();
    for (std::size_t i = 0; i < racers.size(); ++i) {
        Racer& racer = racers[i];
        double s = 0.0, lateral = 0.0;
        GridSlot(places[i], s, lateral);
        if (!CarRecovery::PlaceOnRoad(*racer.car, world, road, s + length, lateral)) return false;
        Car& car = *racer.car;
        car.throttle = car.brake = car.steering = 0.0f;
        car.controlsEnabled = false;
        car.held = false;
        car.UpdateNodes(0.0f);
        const vmath::vec3<float> p = car.body->GetPosition();
        racer.progress.Start(road, p.x, p.y);
        racer.nextCheckpoint = 0;
        racer.stuck.Reset();
        if (i < drivers.size()) drivers[i]->Placed();
        distances.push_back(racer.progress.GetDistanceM());
    }
    standings.Reset(racers.size(), distances);
    return true;
}

void RaceField::Drive(float dtS, bool released) {
    const double playerM = GetPlayer().progress.GetDistanceM();
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        Racer& racer = racers[i];
        Car& car = *racer.car;
        if (standings.IsFinished(i)) {
            // Past the finish a car rolls to a stop on its brakes.
            car.controlsEnabled = false;
        } else {
            car.controlsEnabled = released;
            drivers[i]->SetLeadOverPlayer(racer.progress.GetDistanceM() - playerM);
            if (released) racer.driver->Drive(car, dtS);
        }
        car.ApplyControls();
    }
}

void RaceField::Update(float dtS, double raceS, bool released) {
    for (std::size_t i = 0; i < racers.size(); ++i) {
        Racer& racer = racers[i];
        Car& car = *racer.car;
        if (!car.body) continue;
        const vmath::vec3<float> p = car.body->GetPosition();
        racer.progress.Update(road, p.x, p.y);
        standings.Update(i, racer.progress.GetDistanceM(), raceS);
        // The gates stand across the road: passing one's distance along it counts.
        while (racer.nextCheckpoint < checkpoints.size() &&
               racer.progress.GetDistanceM() >= checkpoints[racer.nextCheckpoint])
            if (++racer.nextCheckpoint == checkpoints.size()) standings.Finish(i, raceS);
        if (!racer.player && released && !standings.IsFinished(i)) StuckRule(racer, dtS);
    }
}

void RaceField::StuckRule(Racer& racer, float dtS) {
    Car& car = *racer.car;
    if (!racer.stuck.Update(car.body->GetSpeedMs(), racer.progress.GetOffsetM(), roadHalfWidthM, dtS)) return;
    if (CarRecovery::Recover(car, world, road))
        for (std::size_t i = 0; i < drivers.size(); ++i)
            if (&racers[i] == &racer) drivers[i]->Placed();
}

bool RaceField::AreAllPlayersFinished() const {
    for (std::size_t i = 0; i < playerCount; ++i)
        if (!IsPlayerFinished(i)) return false;
    return playerCount > 0;
}

bool RaceField::IsEveryoneFinished() const {
    for (std::size_t i = 0; i < racers.size(); ++i)
        if (!standings.IsFinished(i)) return false;
    return !racers.empty();
}

double RaceField::ToGoM(std::size_t racer) const {
    if (racer >= racers.size() || checkpoints.empty() || standings.IsFinished(racer)) return 0.0;
    return std::max(0.0, checkpoints.back() - racers[racer].progress.GetDistanceM());
}

std::string RaceField::PositionLine(std::size_t player) const {
    char line[32];
    std::snprintf(line, sizeof line, "Pos %u / %zu", standings.PositionOf(GetPlayerIndex(player)), racers.size());
    return line;
}

std::string RaceField::GapAheadLine(double nowS, std::size_t player) const {
    const std::vector<std::size_t> order = standings.Order();
    const std::size_t you = GetPlayerIndex(player);
    const unsigned position = standings.PositionOf(you);
    if (position < 2) return "";
    const std::optional<double> gap = standings.GapS(you, order[position - 2], nowS);
    if (!gap) return "";
    char line[48];
    std::snprintf(line, sizeof line, "Ahead: %.1f s", *gap);
    return line;
}

std::string RaceField::GapBehindLine(double nowS, std::size_t player) const {
    const std::vector<std::size_t> order = standings.Order();
    const std::size_t you = GetPlayerIndex(player);
    const unsigned position = standings.PositionOf(you);
    if (position == 0 || position >= order.size()) return "";
    const std::optional<double> gap = standings.GapS(order[position], you, nowS);
    if (!gap) return "";
    char line[48];
    std::snprintf(line, sizeof line, "Behind: %.1f s", *gap);
    return line;
}

std::vector<ResultsTable::Row> RaceField::Results() const {
    std::vector<ResultsTable::Row> rows;
    const std::vector<std::size_t> order = standings.Order();
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        ResultsTable::Row row;
        row.position = static_cast<unsigned>(k + 1);
        row.name = racers[i].name;
        row.car = CarCatalogue::ShownName(racers[i].model % CarCatalogue::Count());
        row.player = racers[i].player;
        if (const std::optional<double> finish = standings.GetFinishS(i)) {
            row.result = RaceClock::Format(*finish);
        } else {
            char text[32];
            const double m = ToGoM(i);
            if (m >= 1000.0)
                std::snprintf(text, sizeof text, "%.1f km to go", m / 1000.0);
            else
                std::snprintf(text, sizeof text, "%.0f m to go", m);
            row.result = text;
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<MapDot> RaceField::MapDots(std::size_t player) const {
    std::vector<MapDot> dots;
    for (std::size_t i = 0; i < racers.size(); ++i) {
        const Racer& racer = racers[i];
        if (i != GetPlayerIndex(player) && racer.car && racer.car->body)
            dots.push_back({racer.car->body->GetPosition(), racer.paint});
    }
    return dots;
}
