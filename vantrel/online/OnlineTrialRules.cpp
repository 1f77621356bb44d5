#include "OnlineTrialRules.h"

#include <cmath>

#include "OnlineRace.h"
#include "cars/Car.h"
#include "net/CarStates.h"
#include "physics/DynamicObjectCar.h"
#include "race/FixedTick.h"
#include "race/TrialGuests.h"

OnlineTrialRules::OnlineTrialRules(const Track& track, RecordsStore* records, std::string recordsKey,
                                   OnlineRace& race, TrialGuests& guests, std::uint32_t startTick)
    : TimeTrialRules(track, records, {std::move(recordsKey)}), race(race), guests(guests), startTick(startTick) {}

void OnlineTrialRules::Begin() {
    TimeTrialRules::Begin();
    tick = startTick;
    recoveries = 0;
    sentOver = false;
    // Released on the server's release tick, as every other client is:
    // the game's own countdown takes its last CountdownS, the wait the rest.
    const long toRelease = static_cast<long>(race.GetStart().releaseTick) - static_cast<long>(startTick);
    waitTicks = toRelease - (countdownTicks + 1);
    checkable = waitTicks >= 0;
    if (!checkable) {
        countdownTicks = toRelease < 1 ? -1 : static_cast<int>(toRelease - 1);
        waitTicks = 0;
    }
    waiting = waitTicks > 0;
    guestOf.clear();
    for (std::size_t i = 0; i < guests.GetCount(); ++i)
        if (const std::optional<std::uint8_t> id = race.IdOf(guests.GetName(i))) guestOf[*id] = i;
}

void OnlineTrialRules::BeforeTick(float tickS) {
    ++tick;
    race.TakeArrivals(tick * FixedTick::TickS);
    waiting = waitTicks > 0;
    if (waiting) {
        --waitTicks;
        return;
    }
    TimeTrialRules::BeforeTick(tickS);
}

void OnlineTrialRules::AfterTick(float tickS, const std::vector<Car*>& cars) {
    if (!waiting) TimeTrialRules::AfterTick(tickS, cars);
    Car* own = cars.empty() ? nullptr : cars.front();
    if (!own || !own->body) return;
    const vmath::vec3<float> ownM = own->body->GetPosition();
    const double nowS = tick * FixedTick::TickS;
    for (const auto& [id, guest] : guestOf) {
        RemoteCarBuffer::Shown shown;
        const bool seen = !race.IsGone(id) && race.GetBuffers()[id].At(nowS, shown);
        guests.Pose(guest, seen ? &shown.sample : nullptr, ownM);
    }
    // The end of the run goes out at once: the server times it by its arrival.
    const bool over = IsOver(0);
    if (tick % StateEveryTicks != 0 && (!over || sentOver)) return;
    Protocol::CarState state;
    if (CarStates::Take(*own, race.GetNet().GetPlayerId(), tick, GetNextCheckpoint(0), state, recoveries)) {
        race.GetNet().SendState(state);
        sentOver = over;
    }
}

void OnlineTrialRules::CarPlaced(std::size_t player) {
    TimeTrialRules::CarPlaced(player);
    if (player == 0) ++recoveries;
}
