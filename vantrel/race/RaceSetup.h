#pragma once
#include <string>
#include <vector>

#include "RaceMode.h"
#include "drivers/RacingDriver.h"
#include "input/InputDevice.h"
#include "track/TrackDescription.h"

/// What to race, as a plain value: the track and the way round, the mode,
/// who enters with which car, and the game's field for a Race. The race is
/// made from it and changes nothing of it.
struct RaceSetup {
    /// One car on the grid and what drives it.
    struct Entrant {
        enum class Driver { LocalPlayer, GameDriver, RecordedRun };
        unsigned carIndex = 0;  ///< in the car pool
        Driver driver = Driver::LocalPlayer;
        /// The local player's input device: every device for a player alone.
        InputDevice device;
        /// A game driver's skill.
        RacingDriver::Skill skill = RacingDriver::Skill::Medium;
    };

    /// Empty until chosen: then the first way of the first track found.
    TrackDescription track;
    TrackDescription::Direction direction = TrackDescription::Direction::Forward;
    RaceMode mode = RaceMode::TimeTrial;
    /// The local players' cars, the first the one the race follows.
    std::vector<Entrant> entrants;
    /// A Race's field of the game's cars: how many, and how they drive.
    unsigned opponentCount = 5;
    RacingDriver::Skill opponentSkill = RacingDriver::Skill::Medium;
    /// A Race's grid from the front by the racers' names; empty: the game's
    /// drivers in front, the local players behind.
    std::vector<std::string> gridOrder;
    /// The first local player's name in the standings; empty: "You" alone, else "Player 1".
    std::string playerName;

    /// The first local player's car, 0 without one.
    unsigned PlayerCar() const { return entrants.empty() ? 0 : entrants.front().carIndex; }
};
