#pragma once
// The recording of the player's run: the car's state at a fixed rate while
// it is released, cheap enough to run every frame of every run (a few
// microseconds) and bounded (RecordedRun::MaxDurationS).
#include <string>

#include <nodara/Logger.h>

#include "replay/RecordedRun.h"

struct Car;

/// Records one car into a RecordedRun. The samples fall on fixed instants,
/// `k / rate` seconds after the start, whatever the frame rate: each one is
/// blended between the car before the frame that passed its instant and
/// the car after it. The wheels' spin is summed frame by frame, as the car's
/// own wheel nodes turn.
class RunRecorder {
public:
    /// Drops the last run and starts a new one at `car` as it is now (the
    /// release: sample 0, time 0). Nothing is recorded for a car without a
    /// physics body. The memory of the last run is kept for the new one:
    /// room for RecordedRun::MaxDurationS is taken once, and its pages are
    /// touched the first time a run gets so far (a page fault each second
    /// or so of the first run, none in runs no longer than one before).
    /// @param distanceM the car's distance along the centre line (RoadProgress)
    void Start(const Car& car, double distanceM, int sampleRateHz = RecordedRun::DefaultSampleRateHz);

    /// `car` after a frame of `dtS` seconds, at `distanceM` along the centre
    /// line: adds the samples whose instants the frame passed. A frame that
    /// is not a positive finite step is left out. At RecordedRun::MaxDurationS
    /// the recording stops with one Warn line; so it does, keeping what it has,
    /// should the car's state stop being finite.
    void Record(const Car& car, double distanceM, float dtS);

    /// Stops recording; the run stays until the next start.
    void Stop() { recording = false; }
    /// Started, not stopped, and not cut off.
    bool IsRecording() const { return recording; }
    /// Seconds since the start, as far as the frames have come.
    double GetTimeS() const { return frameTimeS; }

    /// The run so far (all of it once stopped) until the next start; empty
    /// before a start. A copy holds only the samples, not the room.
    const RecordedRun& GetRun() const { return run; }

private:
    /// The car's state now; false when it has no body or a value is not finite.
    bool Capture(const Car& car, double distanceM, RecordedRun::Sample& state) const;
    void Halt(const std::string& why);

    RecordedRun run;
    bool recording = false;
    double frameTimeS = 0.0;                        ///< time of `current`
    RecordedRun::Sample current;                    ///< the car at the end of the last frame
    double spinRad[RecordedRun::WheelCount] = {};  ///< summed in double: a long run adds much

    static Logger logger;
};
