#pragma once
#include <cstddef>
#include <vector>

#include "race/RaceClock.h"

struct Car;

/// What one mode of race asks of its cars, as phases: counting down (the
/// cars held), running, finished. The race steps the rules once a fixed tick,
/// around the tick's physics: BeforeTick, then the world, then AfterTick.
/// Every timer of the race lives here and advances in those two calls only,
/// so drawing the race never changes it.
///
/// The countdown and "Go!" are counted in whole ticks, so a race of the same
/// inputs is released on the same tick on every machine.
class RaceRules {
public:
    enum class Phase { Countdown, Running, Finished };

    /// Seconds the cars are held before the start.
    static constexpr float CountdownS = 4.0f;
    /// Seconds "Go!" is shown once they are released.
    static constexpr float GoS = 2.0f;

    virtual ~RaceRules() = default;

    /// Back to the start of the race: countdown, "Go!", clock and outcome anew.
    virtual void Begin();
    /// The start of a tick of `tickS`, before the cars are driven: the
    /// countdown runs down, then "Go!" fades.
    /// The rules count in FixedTick::TickS whatever `tickS` is.
    virtual void BeforeTick(float tickS);
    /// The end of a tick, once the world has moved the local players'
    /// `cars` (the first player's first): clocks, checkpoints and standings.
    /// The world may not have stepped (IsWorldRunning false).
    virtual void AfterTick(float tickS, const std::vector<Car*>& cars) = 0;

    /// Whether the players may stop the race (P, the window losing the
    /// keyboard): not where others race on elsewhere.
    virtual bool CanPause() const { return true; }
    /// Local player `player`'s car was put down by hand (a recovery).
    virtual void CarPlaced(std::size_t /*player*/) {}

    virtual Phase GetPhase() const;
    /// Whether the physics still steps: it stops once the race is decided
    /// for good (a won trial freezes the world; a field runs until all are home).
    virtual bool IsWorldRunning() const = 0;
    /// Every local player's run is over (won, time up, home).
    virtual bool IsOver() const = 0;
    /// Local player `player`'s run is over.
    virtual bool IsOver(std::size_t player) const = 0;
    /// Whether a player's input reaches their car this tick.
    virtual bool AreControlsEnabled(std::size_t player) const { return IsReleased() && !IsOver(player); }

    /// This tick the race has not begun for the players yet: the world
    /// stands, nothing is recorded and the countdown waits (a network trial
    /// waiting for the other games, so that its own countdown ends on the
    /// server's release tick).
    virtual bool IsWaiting() const { return false; }
    /// The countdown is over: the cars may go.
    virtual bool IsReleased() const { return countdownTicks < 0; }
    /// Seconds left of the countdown; below 0 once the cars are released.
    float GetCountdown() const;
    /// Seconds "Go!" is still shown.
    float GetGoTime() const;
    /// Time taken and the pause, which stops every tick of the race.
    const RaceClock& GetClock() const { return clock; }
    RaceClock& GetClock() { return clock; }

protected:
    RaceClock clock;
    int countdownTicks = 0;  ///< of FixedTick::TickS; -1 once released
    int goTicks = 0;
};
