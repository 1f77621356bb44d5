#include "ServerRace.h"

#include <algorithm>
#include <cmath>

#include "CarStates.h"
#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "cars/HeadlessCars.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "race/RaceField.h"
#include "race/rules/RaceRules.h"
#include "track/TrackTerrain.h"

namespace {

/// A player's car is driven on its client: on the server it only follows.
class FollowingDriver : public Driver {
public:
    void Drive(Car&, float) override {}
};

}  // namespace

ServerRace::ServerRace(const TrackDescription& track, TrackDescription::Direction direction,
                       const TrackTerrain& terrain)
    : track(track), direction(direction), terrain(terrain) {}

ServerRace::~ServerRace() {
    // The field refers to the cars, the cars to the world.
    field.reset();
    cars.reset();
    world.reset();
}

bool ServerRace::Start(const std::vector<Entrant>& players, unsigned opponents, RacingDriver::Skill skill,
                       std::string& problem) {
    road = track.RoadFor(direction);
    const double halfWidthM = track.GetRoadHalfWidthM();
    if (road.IsEmpty() || !line.Compute(road, halfWidthM)) {
        problem = "the track's road has no racing line";
        return false;
    }
    world = std::make_unique<physics::World>();
    if (!terrain.AddTo(*world)) {
        problem = "the track has no terrain";
        return false;
    }
    cars = std::make_unique<HeadlessCars>(*world);
    field = std::make_unique<RaceField>(*cars, *world, road, line, halfWidthM);
    std::vector<RaceField::Entry> entries;
    playerIds.clear();
    std::vector<unsigned> playerModels;
    for (const Entrant& player : players) {
        const std::size_t found = CarCatalogue::Cars().Find(player.car);
        const unsigned model = found < CarCatalogue::Count() ? static_cast<unsigned>(found) : 0u;
        Car* car = cars->MakeCar(model);
        if (!car) {
            problem = "a car could not be made";
            return false;
        }
        remoteDrivers.emplace_back(new FollowingDriver);
        entries.push_back({car, model, remoteDrivers.back().get(), player.name, {1.0f, 1.0f, 1.0f}});
        playerIds.push_back(player.id);
        playerModels.push_back(model);
    }
    std::vector<double> gates;
    const TrackDescription::Way* way = track.FindWay(direction);
    if (!way) {
        problem = "the track is not driven that way";
        return false;
    }
    for (const Track::Checkpoint& checkpoint : way->checkpoints)
        gates.push_back(road.Project(checkpoint.x, checkpoint.y));
    if (entries.empty() || !field->Start(entries, opponents, skill, gates)) {
        problem = "the grid could not be made";
        return false;
    }
    // The clients count the gates across the road; the check's squares
    // round each checkpoint reach over the road and its verges so.
    for (std::size_t p = 0; p < playerIds.size(); ++p) {
        StateCheck::Limits limits;
        limits.topSpeedMs = CarCatalogue::Describe(playerModels[p]).GetLimits().topSpeedMs;
        limits.tickS = FixedTick::TickS;
        for (const Track::Checkpoint& checkpoint : way->checkpoints) limits.checkpointsM.push_back({checkpoint.x, checkpoint.y});
        limits.checkpointReachM = 2.0 * halfWidthM;
        limits.road = &road;
        limits.recoveryReachM = halfWidthM + 2.0;
        checks.emplace(playerIds[p], StateCheck(limits));
        progress[playerIds[p]] = StateCheck::Progress();
    }
    start = Protocol::RaceStart();
    start.releaseTick =
        static_cast<std::uint16_t>(std::lround((LoadingS + RaceRules::CountdownS) / FixedTick::TickS));
    const std::vector<Racer>& racers = field->GetRacers();
    const std::vector<std::size_t> places = field->GridPlaces();
    start.grid.resize(racers.size());
    for (std::size_t i = 0; i < racers.size(); ++i)
        start.grid[places[i]] = {IdOf(i), CarCatalogue::Describe(racers[i].model).GetKey()};
    fixedTick.Reset();
    tickCount = 0;
    playersHomeTick = 0;
    return true;
}

std::uint8_t ServerRace::IdOf(std::size_t racer) const {
    const std::size_t opponents = field->GetRacers().size() - field->GetPlayerCount();
    if (racer < opponents) return static_cast<std::uint8_t>(Protocol::MaxPlayers + racer);
    // The first player's racer is the last.
    return playerIds[field->GetRacers().size() - 1 - racer];
}

std::size_t ServerRace::RacerOf(std::uint8_t id) const {
    for (std::size_t p = 0; p < playerIds.size(); ++p)
        if (playerIds[p] == id) return field->GetPlayerIndex(p);
    return field->GetRacers().size();
}

bool ServerRace::IsPlayerRacer(std::size_t racer) const {
    return racer >= field->GetRacers().size() - field->GetPlayerCount();
}

void ServerRace::Tick() {
    if (!field) return;
    const float tickS = static_cast<float>(FixedTick::TickS);
    ++tickCount;
    const bool released = IsReleased();
    field->Drive(tickS, released);
    for (auto& [id, state] : pending) {
        const std::size_t racer = RacerOf(id);
        if (racer < field->GetRacers().size())
            CarStates::Follow(*field->GetRacers()[racer].car, state.sample, CarStates::Forward(state.sample));
    }
    pending.clear();
    world->Step(tickS);
    const double raceS = released ? (tickCount - start.releaseTick) * FixedTick::TickS : 0.0;
    field->Update(tickS, raceS, released);
    if (tickCount % StateEveryTicks == 0) {
        const std::vector<Racer>& racers = field->GetRacers();
        for (std::size_t i = 0; i < racers.size(); ++i) {
            Protocol::CarState state;
            if (!IsPlayerRacer(i) && CarStates::Take(*racers[i].car, IdOf(i), tickCount, racers[i].nextCheckpoint, state))
                opponentStates.push_back(state);
        }
    }
    if (playersHomeTick == 0) {
        bool home = true;
        for (std::size_t p = 0; p < playerIds.size(); ++p)
            home = home && (removed.count(playerIds[p]) || field->IsPlayerFinished(p));
        if (home) playersHomeTick = tickCount;
    }
}

StateCheck::Verdict ServerRace::Take(const Protocol::CarState& state) {
    const auto check = checks.find(state.playerId);
    if (!field || check == checks.end() || removed.count(state.playerId)) return StateCheck::Verdict::Stale;
    // The checkpoints are the server's to count (its field, from where the
    // car went); the client's count, by another measure along the road
    // (where a hairpin brings two stretches close), decides nothing, so a
    // disagreement removes no one.
    Protocol::CarState checked = state;
    checked.checkpoints = 0;
    const StateCheck::Verdict verdict = check->second.Check(progress[state.playerId], checked, tickCount);
    // Only the newest state counts: the car is put where it was last seen.
    if (verdict == StateCheck::Verdict::Accepted) pending[state.playerId] = state;
    return verdict;
}

void ServerRace::Remove(std::uint8_t id) {
    const std::size_t racer = RacerOf(id);
    if (!field || racer >= field->GetRacers().size() || removed.count(id)) return;
    removed.insert(id);
    pending.erase(id);
    if (Car* car = field->GetRacers()[racer].car) cars->ReleaseBody(*car);
}

std::vector<Protocol::CarState> ServerRace::TakeOpponentStates() {
    std::vector<Protocol::CarState> taken;
    taken.swap(opponentStates);
    return taken;
}

bool ServerRace::IsOver() const {
    if (!field) return true;
    if (tickCount * FixedTick::TickS >= MaxRaceS) return true;
    // With every player gone nobody waits for the opponents' times.
    if (!playerIds.empty() && removed.size() >= playerIds.size()) return true;
    bool everyone = true;
    for (std::size_t i = 0; i < field->GetRacers().size(); ++i)
        everyone = everyone && (field->GetStandings().IsFinished(i) || removed.count(IdOf(i)));
    return everyone || (playersHomeTick > 0 && (tickCount - playersHomeTick) * FixedTick::TickS >= FinishWaitS);
}

Protocol::RaceResult ServerRace::GetResult() const {
    Protocol::RaceResult result;
    if (!field) return result;
    for (const std::size_t i : field->GetStandings().Order()) {
        const std::uint8_t id = IdOf(i);
        if (removed.count(id)) continue;
        Protocol::ResultRow row;
        row.id = id;
        if (const std::optional<double> finishS = field->GetStandings().GetFinishS(i)) {
            row.finished = true;
            row.timeMs = static_cast<std::uint32_t>(std::lround(*finishS * 1000.0));
        }
        result.rows.push_back(row);
    }
    return result;
}
