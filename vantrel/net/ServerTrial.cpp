#include "ServerTrial.h"

#include <algorithm>
#include <cmath>

#include "ServerRace.h"
#include "cars/CarCatalogue.h"
#include "race/rules/RaceRules.h"
#include "race/rules/TrialRun.h"

ServerTrial::ServerTrial(const TrackDescription& track, TrackDescription::Direction direction)
    : track(track), direction(direction) {}

bool ServerTrial::Start(const std::vector<Entrant>& players, std::string& problem) {
    road = track.RoadFor(direction);
    const TrackDescription::Way* way = track.FindWay(direction);
    if (!way || way->checkpoints.empty() || road.IsEmpty()) {
        problem = "the track is not driven that way";
        return false;
    }
    if (players.empty()) {
        problem = "nobody is in the trial";
        return false;
    }
    checkpoints = way->checkpoints;
    runs.clear();
    start = Protocol::RaceStart();
    for (const Entrant& player : players) {
        const std::size_t found = CarCatalogue::Cars().Find(player.car);
        const unsigned model = found < CarCatalogue::Count() ? static_cast<unsigned>(found) : 0u;
        StateCheck::Limits limits;
        limits.topSpeedMs = CarCatalogue::Describe(model).GetLimits().topSpeedMs;
        limits.tickS = FixedTick::TickS;
        for (const Track::Checkpoint& checkpoint : checkpoints) limits.checkpointsM.push_back({checkpoint.x, checkpoint.y});
        limits.checkpointReachM = TrialRun::CheckpointReach;
        limits.road = &road;
        limits.recoveryReachM = track.GetRoadHalfWidthM() + 2.0;
        runs.push_back(Run{player.id, StateCheck(limits), {}, 0, false, false});
        start.grid.push_back({player.id, CarCatalogue::Describe(model).GetKey()});
    }
    // Held as long as a Race is, for the clients' loading; then the game's
    // own countdown, from which its trial's clock already runs.
    const long countdownTicks = std::lround(RaceRules::CountdownS / FixedTick::TickS);
    start.releaseTick = static_cast<std::uint16_t>(
        std::lround((ServerRace::LoadingS + RaceRules::CountdownS) / FixedTick::TickS));
    beginTick = static_cast<std::uint32_t>(start.releaseTick - countdownTicks);
    fixedTick.Reset();
    tickCount = 0;
    return true;
}

ServerTrial::Run* ServerTrial::Find(std::uint8_t id) {
    for (Run& run : runs)
        if (run.id == id) return &run;
    return nullptr;
}

double ServerTrial::AllowedS(unsigned passed) const {
    double allowedS = 0.0;
    for (unsigned i = 0; i <= passed && i < checkpoints.size(); ++i) allowedS += checkpoints[i].time;
    return allowedS;
}

void ServerTrial::Tick() {
    ++tickCount;
    if (tickCount <= beginTick) return;
    const double sinceBeginS = (tickCount - beginTick) * FixedTick::TickS;
    for (Run& run : runs)
        if (!run.IsDone() && sinceBeginS > AllowedS(run.progress.checkpoints) + LateS) run.outOfTime = true;
}

StateCheck::Verdict ServerTrial::Take(const Protocol::CarState& state) {
    Run* run = Find(state.playerId);
    if (!run || run->removed) return StateCheck::Verdict::Stale;
    // The server counts the checkpoints from the path between the states;
    // a client's count, a tick later round a recovery, decides nothing.
    Protocol::CarState checked = state;
    checked.checkpoints = 0;
    const StateCheck::Verdict verdict = run->check.Check(run->progress, checked, tickCount);
    if (verdict == StateCheck::Verdict::Accepted && !run->IsDone() && tickCount >= start.releaseTick &&
        run->progress.checkpoints >= checkpoints.size())
        run->finishTick = std::max<std::uint32_t>(tickCount, start.releaseTick + 1);
    return verdict;
}

void ServerTrial::Remove(std::uint8_t id) {
    if (Run* run = Find(id)) run->removed = true;
}

bool ServerTrial::IsOver() const {
    if (tickCount * FixedTick::TickS >= MaxTrialS) return true;
    return std::all_of(runs.begin(), runs.end(), [](const Run& run) { return run.IsDone(); });
}

Protocol::RaceResult ServerTrial::GetResult() const {
    std::vector<const Run*> order;
    for (const Run& run : runs)
        if (!run.removed) order.push_back(&run);
    // Home first by time, then the others by how far they came.
    std::stable_sort(order.begin(), order.end(), [](const Run* a, const Run* b) {
        if ((a->finishTick > 0) != (b->finishTick > 0)) return a->finishTick > 0;
        if (a->finishTick > 0) return a->finishTick < b->finishTick;
        return a->progress.checkpoints > b->progress.checkpoints;
    });
    Protocol::RaceResult result;
    for (const Run* run : order) {
        Protocol::ResultRow row;
        row.id = run->id;
        if (run->finishTick > 0) {
            row.finished = true;
            row.timeMs = static_cast<std::uint32_t>(
                std::lround((run->finishTick - start.releaseTick) * FixedTick::TickS * 1000.0));
        }
        result.rows.push_back(row);
    }
    return result;
}
