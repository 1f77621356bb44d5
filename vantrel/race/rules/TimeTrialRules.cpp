#include "TimeTrialRules.h"

#include <cmath>
#include <utility>

#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"
#include "race/GhostRace.h"

TimeTrialRules::TimeTrialRules(const Track& track, RecordsStore* records, std::vector<std::string> recordsKeys)
    : track(track), records(records) {
    if (recordsKeys.empty()) recordsKeys.emplace_back();
    for (std::string& key : recordsKeys) {
        runs.emplace_back();
        runs.back().recordsKey = std::move(key);
    }
}

void TimeTrialRules::Begin() {
    RaceRules::Begin();
    for (Run& run : runs) {
        const std::string key = std::move(run.recordsKey);
        run = Run();
        run.recordsKey = key;
        // The game always has checkpoints, but a track without any leaves the
        // clock alone rather than reading past the end.
        run.remainingTime = track.checkpoints.empty() ? 0.0 : track.checkpoints.front().time;
    }
}

void TimeTrialRules::AfterTick(float tickS, const std::vector<Car*>& cars) {
    if (!IsWorldRunning()) return;
    for (std::size_t i = 0; i < runs.size() && i < cars.size(); ++i)
        if (runs[i].remainingTime > 0.0 && cars[i] && cars[i]->body)
            TestCheckpoint(cars[i]->body->GetPosition(), tickS, i);
}

void TimeTrialRules::TestCheckpoint(const vmath::vec3<float>& position, float dtS, std::size_t player) {
    Run& run = runs[player];
    if (run.nextCheckpoint >= track.checkpoints.size()) return;
    if (IsReleased()) {
        run.takenS += dtS;
        if (player == 0) clock.Elapse(dtS);
    }
    const Track::Checkpoint& next = track.checkpoints[run.nextCheckpoint];
    if (std::fabs(next.x - position.x) < CheckpointReach && std::fabs(next.y - position.y) < CheckpointReach) {
        ++run.nextCheckpoint;
        const bool first = player == 0;
        if (run.nextCheckpoint < track.checkpoints.size()) {
            run.remainingTime += track.checkpoints[run.nextCheckpoint].time;
            if (ghostRace && first) ghostRace->CheckpointPassed(run.nextCheckpoint - 1);
        } else {
            run.result.Finish(records, run.recordsKey, run.takenS);
            if (ghostRace && first) ghostRace->TrialWon(carIndex, run.result.GetTakenMs(), run.result.IsNewRecord());
        }
        return;
    }
    run.remainingTime -= dtS;
    if (run.remainingTime < 0.0) run.remainingTime = 0.0;
}

bool TimeTrialRules::IsWorldRunning() const {
    for (const Run& run : runs)
        if (run.nextCheckpoint < track.checkpoints.size()) return true;
    return false;
}

bool TimeTrialRules::IsOver(std::size_t player) const {
    const Run& run = runs[player];
    return !track.checkpoints.empty() && (run.remainingTime <= 0.0 || IsPerfect(player));
}

bool TimeTrialRules::IsOver() const {
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (!IsOver(i)) return false;
    return true;
}

bool TimeTrialRules::IsPerfect(std::size_t player) const {
    const Run& run = runs[player];
    return !track.checkpoints.empty() && run.nextCheckpoint == track.checkpoints.size() && run.remainingTime > 0.0;
}
