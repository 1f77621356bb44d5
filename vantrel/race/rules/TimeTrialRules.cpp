#include "TimeTrialRules.h"

#include <cmath>
#include <utility>

#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"
#include "race/GhostRace.h"

TimeTrialRules::TimeTrialRules(const Track& track, RecordsStore* records, std::string recordsKey)
    : track(track), records(records), recordsKey(std::move(recordsKey)) {}

void TimeTrialRules::Begin() {
    RaceRules::Begin();
    nextCheckpoint = 0;
    // The game always has checkpoints, but a track without any leaves the
    // clock alone rather than reading past the end.
    remainingTime = track.checkpoints.empty() ? 0.0 : track.checkpoints.front().time;
    result.Clear();
}

void TimeTrialRules::AfterTick(float tickS, const Car& car) {
    if (IsWorldRunning() && remainingTime > 0.0 && car.body) TestCheckpoint(car.body->GetPosition(), tickS);
}

void TimeTrialRules::TestCheckpoint(const vmath::vec3<float>& position, float dtS) {
    if (nextCheckpoint >= track.checkpoints.size()) return;
    if (IsReleased()) clock.Elapse(dtS);
    const Track::Checkpoint& next = track.checkpoints[nextCheckpoint];
    if (std::fabs(next.x - position.x) < CheckpointReach && std::fabs(next.y - position.y) < CheckpointReach) {
        ++nextCheckpoint;
        if (nextCheckpoint < track.checkpoints.size()) {
            remainingTime += track.checkpoints[nextCheckpoint].time;
            if (ghostRace) ghostRace->CheckpointPassed(nextCheckpoint - 1);
        } else {
            result.Finish(records, recordsKey, clock.GetTakenS());
            if (ghostRace) ghostRace->TrialWon(carIndex, result.GetTakenMs(), result.IsNewRecord());
        }
        return;
    }
    remainingTime -= dtS;
    if (remainingTime < 0.0) remainingTime = 0.0;
}

bool TimeTrialRules::IsOver() const {
    return !track.checkpoints.empty() && (remainingTime <= 0.0 || IsPerfect());
}

bool TimeTrialRules::IsPerfect() const {
    return !track.checkpoints.empty() && nextCheckpoint == track.checkpoints.size() && remainingTime > 0.0;
}
