#include "TimeTrialRules.h"

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
        run.trial.Begin(track.checkpoints);
        run.result.Clear();
    }
}

void TimeTrialRules::AfterTick(float tickS, const std::vector<Car*>& cars) {
    if (!IsWorldRunning()) return;
    for (std::size_t i = 0; i < runs.size() && i < cars.size(); ++i)
        if (runs[i].trial.GetRemainingTime() > 0.0 && cars[i] && cars[i]->body)
            TestCheckpoint(cars[i]->body->GetPosition(), tickS, i);
}

void TimeTrialRules::TestCheckpoint(const vmath::vec3<float>& position, float dtS, std::size_t player) {
    Run& run = runs[player];
    if (run.trial.IsDone(track.checkpoints.size())) return;
    if (IsReleased() && player == 0) clock.Elapse(dtS);
    const bool first = player == 0;
    switch (run.trial.Test(track.checkpoints, position, dtS, IsReleased())) {
    case TrialRun::Passed::Nothing:
        break;
    case TrialRun::Passed::Checkpoint:
        if (ghostRace && first) ghostRace->CheckpointPassed(run.trial.GetNextCheckpoint() - 1);
        break;
    case TrialRun::Passed::Finish:
        run.result.Finish(records, run.recordsKey, run.trial.GetTakenS());
        if (ghostRace && first) ghostRace->TrialWon(carIndex, run.result.GetTakenMs(), run.result.IsNewRecord());
        break;
    }
}

bool TimeTrialRules::IsWorldRunning() const {
    for (const Run& run : runs)
        if (!run.trial.IsDone(track.checkpoints.size())) return true;
    return false;
}

bool TimeTrialRules::IsOver(std::size_t player) const { return runs[player].trial.IsOver(track.checkpoints.size()); }

bool TimeTrialRules::IsOver() const {
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (!IsOver(i)) return false;
    return true;
}

bool TimeTrialRules::IsPerfect(std::size_t player) const {
    return runs[player].trial.IsPerfect(track.checkpoints.size());
}
