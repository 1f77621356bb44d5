#pragma once
// One car's Time Trial as the clock sees it: the checkpoints to pass in
// order and the time left to reach the next. GL-free, so that a run can be
// timed again where nothing is drawn, by the same rule the game times it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <vmath/vec3.h>

#include "track/Track.h"

class TrialRun {
public:
    /// Half-size of a checkpoint's square on the ground (m); the car's centre
    /// must be strictly inside it.
    static constexpr float CheckpointReach = 3.0f;

    /// What a tick's test found.
    enum class Passed { Nothing, Checkpoint, Finish };

    /// Back to the start of the trial: the first checkpoint's time to reach it.
    void Begin(const std::vector<Track::Checkpoint>& checkpoints);
    /// The rule for the car at `position` over `dtS`: a checkpoint reached
    /// tops the clock up with the next one's time (none after the last),
    /// otherwise it runs down, stopping at 0. Once `released` the time also
    /// counts as time taken. Nothing once the last is passed.
    Passed Test(const std::vector<Track::Checkpoint>& checkpoints, const vmath::vec3<float>& position, float dtS,
                bool released);

    /// Every one of `checkpointCount` passed with time left.
    bool IsPerfect(std::size_t checkpointCount) const {
        return checkpointCount > 0 && nextCheckpoint == checkpointCount && remainingTime > 0.0;
    }
    /// Won, or the time is up.
    bool IsOver(std::size_t checkpointCount) const {
        return checkpointCount > 0 && (remainingTime <= 0.0 || IsPerfect(checkpointCount));
    }
    /// No checkpoint left to pass.
    bool IsDone(std::size_t checkpointCount) const { return nextCheckpoint >= checkpointCount; }

    unsigned GetNextCheckpoint() const { return nextCheckpoint; }
    double GetRemainingTime() const { return remainingTime; }
    void SetRemainingTime(double seconds) { remainingTime = seconds; }
    double GetTakenS() const { return takenS; }

    /// The time taken in whole milliseconds, as the records and the
    /// leaderboards keep it.
    static std::uint32_t ToMs(double takenS);

private:
    unsigned nextCheckpoint = 0;
    double remainingTime = 0.0;  ///< (s)
    double takenS = 0.0;
};
