#pragma once

/// What a race is: no rules, the clock, a field of the game's cars, or the
/// car's best run watched again.
enum class RaceMode { FreeDrive, TimeTrial, Race, Replay };
