#pragma once
#include <string>

#include <vmath/vec3.h>

#include "RaceRules.h"
#include "race/TrialResult.h"
#include "track/Track.h"

class GhostRace;
class RecordsStore;

/// The Time Trial: after the countdown the car must pass the track's
/// checkpoints in order before the clock, topped up at each one, runs out.
/// Time up leaves the car to drive on with checkpoints no longer counting;
/// the last checkpoint wins the trial, offers its time to the records and
/// freezes the world.
class TimeTrialRules : public RaceRules {
public:
    /// Half-size of a checkpoint's square on the ground (m); the car's centre
    /// must be strictly inside it.
    static constexpr float CheckpointReach = 3.0f;

    /// The checkpoints of `track` (read at Begin and on every test),
    /// `records` with the records key of the car and way (null: won trials
    /// are timed, not kept); all must outlive the rules.
    TimeTrialRules(const Track& track, RecordsStore* records, std::string recordsKey);
    /// The ghost race told of every checkpoint and of a won trial; null for none.
    void SetGhostRace(GhostRace* value, unsigned carIndex) {
        ghostRace = value;
        this->carIndex = carIndex;
    }

    void Begin() override;
    void AfterTick(float tickS, const Car& car) override;
    bool IsWorldRunning() const override { return nextCheckpoint < track.checkpoints.size(); }
    bool IsOver() const override;

    /// The checkpoint rule for a car at `position` over `dtS`: a checkpoint
    /// reached tops the clock up with the next one's time (none after the
    /// last), otherwise the clock runs down, stopping at 0. Once the car is
    /// released the time also counts as time taken.
    void TestCheckpoint(const vmath::vec3<float>& position, float dtS);
    /// Every checkpoint passed with time left.
    bool IsPerfect() const;

    unsigned GetNextCheckpoint() const { return nextCheckpoint; }
    double GetRemainingTime() const { return remainingTime; }
    void SetRemainingTime(double seconds) { remainingTime = seconds; }
    const TrialResult& GetResult() const { return result; }

private:
    const Track& track;
    RecordsStore* records;
    std::string recordsKey;
    GhostRace* ghostRace = nullptr;
    unsigned carIndex = 0;
    unsigned nextCheckpoint = 0;
    double remainingTime = 0.0;  ///< (s)
    TrialResult result;
};
