#pragma once
#include <cstdint>
#include <map>

#include "net/HeadlessClient.h"
#include "race/rules/RaceRules.h"

class OnlineRace;
class RaceField;

/// A network race's rules as this game keeps them: the server's countdown
/// (its start's release tick, less the ticks the race took to load), the
/// field's standings for the HUD, the other cars put where their states
/// say, DelayS behind, and the own car's state sent every StateEveryTicks
/// ticks with its checkpoints and recoveries. The server's clock decides
/// the results; the world runs on until they come.
class OnlineRaceRules : public RaceRules {
public:
    /// 30 states a second, as every client sends them.
    static constexpr unsigned StateEveryTicks = HeadlessClient::StateEveryTicks;

    /// `field`'s first player is the own car; `startTick`: the race's ticks
    /// already gone by. Both `field` and `race` must outlive the rules.
    OnlineRaceRules(RaceField& field, OnlineRace& race, std::uint32_t startTick);

    void Begin() override;
    /// The countdown, the states come since the last tick, the field's
    /// drivers, the other cars moved to their states.
    void BeforeTick(float tickS) override;
    /// The clock, the standings, the own state sent, the results taken.
    void AfterTick(float tickS, const std::vector<Car*>& cars) override;
    void CarPlaced(std::size_t player) override;
    bool CanPause() const override { return false; }
    bool IsWorldRunning() const override { return true; }
    bool IsOver() const override;
    bool IsOver(std::size_t player) const override;

    /// The race's ticks since the server's start came.
    std::uint32_t GetTick() const { return tick; }
    unsigned GetRecoveries() const { return recoveries; }

private:
    RaceField& field;
    OnlineRace& race;
    std::uint32_t startTick;
    std::uint32_t tick = 0;
    unsigned recoveries = 0;
    std::map<std::uint8_t, Car*> others;  ///< by racer id
};
