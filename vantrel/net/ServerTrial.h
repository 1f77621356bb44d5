#pragma once
// A Time Trial a server runs: every player against the clock, at once.
#include <cstdint>
#include <string>
#include <vector>

#include "ServerRound.h"
#include "track/RoadCentreLine.h"
#include "track/TrackDescription.h"

/// Every player's car goes from the start line on its own: no car of the
/// trial touches another, so the server needs no world. Each car's states,
/// checked by StateCheck, carry it through the way's checkpoints in order,
/// each a square of the trial's reach (TrialRun::CheckpointReach) as the
/// game tests it; its clock is the trial's, run on the server's ticks: each
/// checkpoint allows the next one's time, the finish counts at the tick its
/// state came and a car whose allowance is spent is out of time.
class ServerTrial : public ServerRound {
public:
    /// A car's allowance runs out this long after the trial's own rule
    /// would stop it: its last states may still be on their way (s).
    static constexpr double LateS = 1.0;
    /// A trial ends after this long whatever happens (s).
    static constexpr double MaxTrialS = 30.0 * 60.0;

    /// On `track` driven `direction`; the track must outlive the trial.
    ServerTrial(const TrackDescription& track, TrackDescription::Direction direction);

    /// Every one of `players` on the start, held for the clients' loading and the countdown.
    /// @param problem set to why, when false is returned
    bool Start(const std::vector<Entrant>& players, std::string& problem);

    const Protocol::RaceStart& GetStart() const override { return start; }
    void Tick() override;
    StateCheck::Verdict Take(const Protocol::CarState& state) override;
    void Remove(std::uint8_t id) override;
    /// Every car home, out of time or gone, or MaxTrialS run.
    bool IsOver() const override;
    /// The finishers by time, then the cars out of time.
    Protocol::RaceResult GetResult() const override;

private:
    struct Run {
        std::uint8_t id = 0;
        StateCheck check;
        StateCheck::Progress progress;
        std::uint32_t finishTick = 0;  ///< 0 until home
        bool outOfTime = false;
        bool removed = false;
        bool IsDone() const { return finishTick > 0 || outOfTime || removed; }
    };
    Run* Find(std::uint8_t id);
    /// The ticks from the trial's start (its countdown's first) that the
    /// checkpoints passed so far allow.
    double AllowedS(unsigned passed) const;

    const TrackDescription& track;
    TrackDescription::Direction direction;
    RoadCentreLine road;
    std::vector<Track::Checkpoint> checkpoints;
    std::vector<Run> runs;
    Protocol::RaceStart start;
    std::uint32_t beginTick = 0;  ///< the countdown's first, as the game's trial begins
};
