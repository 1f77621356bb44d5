#include "TrialRun.h"

#include <algorithm>
#include <cmath>

void TrialRun::Begin(const std::vector<Track::Checkpoint>& checkpoints) {
    *this = TrialRun();
    // The game always has checkpoints, but a track without any leaves the
    // clock alone rather than reading past the end.
    remainingTime = checkpoints.empty() ? 0.0 : checkpoints.front().time;
}

TrialRun::Passed TrialRun::Test(const std::vector<Track::Checkpoint>& checkpoints, const vmath::vec3<float>& position,
                                float dtS, bool released) {
    if (nextCheckpoint >= checkpoints.size()) return Passed::Nothing;
    if (released) takenS += dtS;
    const Track::Checkpoint& next = checkpoints[nextCheckpoint];
    if (std::fabs(next.x - position.x) < CheckpointReach && std::fabs(next.y - position.y) < CheckpointReach) {
        ++nextCheckpoint;
        if (nextCheckpoint >= checkpoints.size()) return Passed::Finish;
        remainingTime += checkpoints[nextCheckpoint].time;
        return Passed::Checkpoint;
    }
    remainingTime -= dtS;
    if (remainingTime < 0.0) remainingTime = 0.0;
    return Passed::Nothing;
}

std::uint32_t TrialRun::ToMs(double takenS) {
    // The shown time and the kept one agree to the millisecond.
    return static_cast<std::uint32_t>(std::lround(std::max(takenS, 0.0) * 1000.0));
}
