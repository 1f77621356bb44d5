#pragma once
#include <string>
#include <vector>

#include <vmath/vec3.h>

#include "RaceRules.h"
#include "TrialRun.h"
#include "race/TrialResult.h"
#include "track/Track.h"

class GhostRace;
class RecordsStore;

/// The Time Trial: after the countdown each local player's car must pass
/// the track's checkpoints in order before their own clock, topped up at
/// each one, runs out. Time up leaves the car to drive on with checkpoints no
/// longer counting; the last checkpoint wins that player's trial and offers
/// its time to the records of their car. The world freezes once no player
/// has a checkpoint left (alone: at a won trial).
///
/// The first player's time taken is the base clock's too.
class TimeTrialRules : public RaceRules {
public:
    static constexpr float CheckpointReach = TrialRun::CheckpointReach;

    /// The checkpoints of `track` (read at Begin and on every test), one
    /// player per key of `recordsKeys` (their car and way's key in
    /// `records`; null: won trials are timed, not kept); all must outlive
    /// the rules.
    TimeTrialRules(const Track& track, RecordsStore* records, std::vector<std::string> recordsKeys);
    /// The ghost race told of the first player's checkpoints and won trial
    /// (of car `carIndex`); null for none.
    void SetGhostRace(GhostRace* value, unsigned carIndex) {
        ghostRace = value;
        this->carIndex = carIndex;
    }

    void Begin() override;
    void AfterTick(float tickS, const std::vector<Car*>& cars) override;
    bool IsWorldRunning() const override;
    bool IsOver() const override;
    bool IsOver(std::size_t player) const override;

    /// The checkpoint rule for player `player`'s car at `position` over
    /// `dtS`: a checkpoint reached tops their clock up with the next one's
    /// time (none after the last), otherwise it runs down, stopping at 0.
    /// Once the car is released the time also counts as time taken.
    void TestCheckpoint(const vmath::vec3<float>& position, float dtS, std::size_t player = 0);
    /// Every checkpoint passed with time left.
    bool IsPerfect(std::size_t player = 0) const;

    std::size_t GetPlayerCount() const { return runs.size(); }
    unsigned GetNextCheckpoint(std::size_t player = 0) const { return runs[player].trial.GetNextCheckpoint(); }
    double GetRemainingTime(std::size_t player = 0) const { return runs[player].trial.GetRemainingTime(); }
    void SetRemainingTime(double seconds, std::size_t player = 0) { runs[player].trial.SetRemainingTime(seconds); }
    double GetTakenS(std::size_t player) const { return runs[player].trial.GetTakenS(); }
    const TrialResult& GetResult(std::size_t player = 0) const { return runs[player].result; }

private:
    /// One player's trial.
    struct Run {
        std::string recordsKey;
        TrialRun trial;
        TrialResult result;
    };

    const Track& track;
    RecordsStore* records;
    GhostRace* ghostRace = nullptr;
    unsigned carIndex = 0;
    std::vector<Run> runs;
};
