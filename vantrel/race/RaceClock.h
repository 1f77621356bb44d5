#pragma once
// The race's own time beside the Time Trial's countdown and clock: the time
// taken since "Go!", and the pause that stops the race's time altogether.
#include <cstdint>
#include <string>

#include "input/GameKeys.h"

/// Time taken and pause of one race (s). It only counts: the race decides
/// which frames count, and while paused it runs no frame at all.
class RaceClock {
public:
    /// The key that pauses and resumes the race ('P').
    static constexpr unsigned PauseKey = GameKeys::Pause;

    /// A fresh start: nothing taken, not paused.
    void Start() { *this = RaceClock(); }
    /// Adds one frame of racing since "Go!" to the time taken.
    void Elapse(float dtS) { takenS += dtS; }
    /// Seconds driven since "Go!".
    double GetTakenS() const { return takenS; }

    /// P: stops the race where it stands, or lets it go on.
    void TogglePause() { paused = !paused; }
    /// Stops the race (the window lost the keyboard): a second call changes
    /// nothing, and only TogglePause resumes, so the player comes back to a
    /// race that waits for them.
    void Pause() { paused = true; }
    bool IsPaused() const { return paused; }

    /// "%02d:%02d.%02d": minutes, seconds and hundredths, truncated.
    static std::string Format(double seconds);
    /// The same for whole milliseconds, exactly: records are kept in ms, and
    /// a time in seconds may sit a hair below its hundredth.
    static std::string FormatMs(std::uint32_t ms);

private:
    double takenS = 0.0;
    bool paused = false;
};
