#pragma once

/// What a race is: no rules, the clock, or a field of the game's cars.
enum class RaceMode { FreeDrive, TimeTrial, Race };
