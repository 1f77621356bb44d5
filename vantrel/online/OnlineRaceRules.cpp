#include "OnlineRaceRules.h"

#include "OnlineRace.h"
#include "cars/Car.h"
#include "net/CarStates.h"
#include "race/FixedTick.h"
#include "race/RaceField.h"

OnlineRaceRules::OnlineRaceRules(RaceField& field, OnlineRace& race, std::uint32_t startTick)
    : field(field), race(race), startTick(startTick) {}

void OnlineRaceRules::Begin() {
    RaceRules::Begin();
    tick = startTick;
    // Released on the server's release tick, as every other client is.
    const long left = static_cast<long>(race.GetStart().releaseTick) - static_cast<long>(startTick) - 1;
    countdownTicks = left < 0 ? -1 : static_cast<int>(left);
    recoveries = 0;
    others.clear();
    const std::size_t own = field.GetPlayerIndex(0);
    for (std::size_t i = 0; i < field.GetRacers().size(); ++i)
        if (i != own)
            if (const std::optional<std::uint8_t> id = race.IdOf(field.GetRacers()[i].name))
                others[*id] = field.GetRacers()[i].car;
}

void OnlineRaceRules::BeforeTick(float tickS) {
    ++tick;
    RaceRules::BeforeTick(tickS);
    const double nowS = tick * FixedTick::TickS;
    race.TakeArrivals(nowS);
    std::map<std::uint8_t, RemoteCarBuffer>& buffers = race.GetBuffers();
    field.Drive(tickS, IsReleased());
    for (auto& [id, car] : others) {
        RemoteCarBuffer::Shown shown;
        if (car->body && buffers[id].At(nowS, shown)) CarStates::Follow(*car, shown.sample, shown.velocityMs);
    }
}

void OnlineRaceRules::AfterTick(float tickS, const std::vector<Car*>& cars) {
    const bool released = IsReleased();
    if (released && !field.IsPlayerFinished(0)) clock.Elapse(tickS);
    // Every car timed by this race's ticks: the own car's clock stops at its finish.
    const std::uint32_t release = race.GetStart().releaseTick;
    const double raceS = tick > release ? (tick - release) * FixedTick::TickS : 0.0;
    field.Update(tickS, raceS, released);
    Protocol::CarState state;
    if (tick % StateEveryTicks == 0 && !cars.empty() && cars.front() &&
        CarStates::Take(*cars.front(), race.GetNet().GetPlayerId(), tick, field.GetPlayer(0).nextCheckpoint, state,
                        recoveries))
        race.GetNet().SendState(state);
}

void OnlineRaceRules::CarPlaced(std::size_t player) {
    if (player == 0) ++recoveries;
}

bool OnlineRaceRules::IsOver() const { return field.IsPlayerFinished(0); }

bool OnlineRaceRules::IsOver(std::size_t player) const { return player == 0 && field.IsPlayerFinished(0); }
