#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "net/HeadlessClient.h"
#include "race/rules/TimeTrialRules.h"

class OnlineRace;
class TrialGuests;

/// A network Time Trial's rules as this game keeps them: the game's own
/// Time Trial, begun so that its countdown ends on the server's release
/// tick. Until then the race waits (IsWaiting): the car stands where it was
/// put and nothing is recorded, so the run from the countdown on is the one
/// a trial alone would have made of the same inputs, and a leaderboard can
/// check it. The other players are shown where their states put them,
/// DelayS behind (TrialGuests), and the own state goes out every
/// StateEveryTicks ticks and at the end of the run. The server's clock
/// decides the results.
class OnlineTrialRules : public TimeTrialRules {
public:
    static constexpr unsigned StateEveryTicks = HeadlessClient::StateEveryTicks;

    /// The trial of `track` for the records' `recordsKey` in `records`
    /// (null: not kept) with the others of `race` shown as `guests`;
    /// `startTick`: the race's ticks already gone by. All must outlive the rules.
    OnlineTrialRules(const Track& track, RecordsStore* records, std::string recordsKey, OnlineRace& race,
                     TrialGuests& guests, std::uint32_t startTick);

    void Begin() override;
    /// The states come since the last tick, then the wait or the countdown.
    void BeforeTick(float tickS) override;
    /// The trial's checkpoints, the others posed, the own state sent.
    void AfterTick(float tickS, const std::vector<Car*>& cars) override;
    void CarPlaced(std::size_t player) override;
    bool CanPause() const override { return false; }
    bool IsWaiting() const override { return waiting; }

    /// The countdown was the game's own, whole: the run can be driven
    /// again by a server's check. A game that loaded too late for it had a
    /// shorter one, to go on the server's tick.
    bool IsCheckable() const { return checkable; }
    /// The race's ticks since the server's start came.
    std::uint32_t GetTick() const { return tick; }

private:
    OnlineRace& race;
    TrialGuests& guests;
    std::uint32_t startTick;
    std::uint32_t tick = 0;
    long waitTicks = 0;
    bool waiting = false;
    bool checkable = false;
    bool sentOver = false;  ///< the state at the run's end went out
    unsigned recoveries = 0;
    std::map<std::uint8_t, std::size_t> guestOf;  ///< by racer id
};
