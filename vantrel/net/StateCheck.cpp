#include "StateCheck.h"

#include <algorithm>
#include <cmath>

#include "track/RoadCentreLine.h"

StateCheck::StateCheck(Limits limits) : limits(std::move(limits)) {}

const char* StateCheck::Describe(Verdict verdict) {
    switch (verdict) {
        case Verdict::Accepted: return "accepted";
        case Verdict::Stale: return "stale";
        case Verdict::TooFast: return "too fast";
        case Verdict::ImpossibleMove: return "impossible move";
        case Verdict::OutsideWorld: return "outside the world";
        case Verdict::AheadOfClock: return "ahead of the server's clock";
        case Verdict::CheckpointSkipped: return "checkpoint skipped";
    }
    return "unknown";
}

bool StateCheck::Crosses(const vmath::vec3<double>& a, const vmath::vec3<double>& b, unsigned index,
                         double wanderM) const {
    // The segment clipped against the square (Liang-Barsky): it touches the
    // square when some part of it survives.
    const vmath::vec2<double>& c = limits.checkpointsM[index];
    const double r = limits.checkpointReachM + wanderM;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double lowEdge[2] = {c.x - r - a.x, c.y - r - a.y};
    const double highEdge[2] = {c.x + r - a.x, c.y + r - a.y};
    double t0 = 0.0, t1 = 1.0;
    for (int axis = 0; axis < 2; ++axis) {
        if (d[axis] == 0.0) {
            if (lowEdge[axis] > 0.0 || highEdge[axis] < 0.0) return false;
            continue;
        }
        double enter = lowEdge[axis] / d[axis], leave = highEdge[axis] / d[axis];
        if (enter > leave) std::swap(enter, leave);
        t0 = std::max(t0, enter);
        t1 = std::min(t1, leave);
        if (t0 > t1) return false;
    }
    return true;
}

bool StateCheck::IsRecovery(const Progress& progress, const vmath::vec3<double>& position, std::uint32_t tick) const {
    const RoadCentreLine* road = limits.road;
    if (!road || road->IsEmpty()) return false;
    if (progress.recovered && tick - progress.recoveryTick < limits.recoveryEveryTicks) return false;
    const double s = road->Project(position.x, position.y);
    const RoadCentreLine::Point onRoad = road->At(s);
    if (std::hypot(position.x - onRoad.x, position.y - onRoad.y) > limits.recoveryReachM) return false;
    // Along the loop from where the car was, wrapped to the nearer way round.
    const double lengthM = road->GetLength();
    double aheadM = std::fmod(s - road->Project(progress.positionM.x, progress.positionM.y), lengthM);
    if (aheadM > lengthM / 2.0) aheadM -= lengthM;
    if (aheadM < -lengthM / 2.0) aheadM += lengthM;
    return aheadM <= GetMaxSpeedMs() * (tick - progress.tick) * limits.tickS + limits.moveSlackM;
}

StateCheck::Verdict StateCheck::Check(Progress& progress, const Protocol::CarState& state,
                                      std::uint32_t serverTick) const {
    if (progress.started && state.tick <= progress.tick) return Verdict::Stale;
    if (state.tick > serverTick && state.tick - serverTick > limits.aheadTicks) return Verdict::AheadOfClock;
    const vmath::vec3<double> position(state.sample.positionM.x, state.sample.positionM.y, state.sample.positionM.z);
    if (position.x < limits.worldMinM.x || position.y < limits.worldMinM.y || position.z < limits.worldMinM.z ||
        position.x > limits.worldMaxM.x || position.y > limits.worldMaxM.y || position.z > limits.worldMaxM.z)
        return Verdict::OutsideWorld;
    if (state.sample.speedMs > GetMaxSpeedMs()) return Verdict::TooFast;

    unsigned passed = progress.checkpoints;
    const bool recovery = progress.started && state.recoveries != progress.recoveries;
    if (recovery) {
        // Put down level with where it was: no checkpoint passed on the way.
        if (!IsRecovery(progress, position, state.tick)) return Verdict::ImpossibleMove;
    } else if (progress.started) {
        const double dtS = (state.tick - progress.tick) * limits.tickS;
        const vmath::vec3<double> move(position.x - progress.positionM.x, position.y - progress.positionM.y,
                                       position.z - progress.positionM.z);
        const double moveM = std::sqrt(move.x * move.x + move.y * move.y + move.z * move.z);
        if (moveM > GetMaxSpeedMs() * dtS + limits.moveSlackM) return Verdict::ImpossibleMove;
        // The car went no further than its speed allows between the states,
        // so it kept within an ellipse round the straight line between them:
        // where states were lost it may have reached a checkpoint that far off.
        const double pathM = GetMaxSpeedMs() * dtS + limits.moveSlackM;
        const double wanderM = std::sqrt(std::max(0.0, pathM * pathM - moveM * moveM)) / 2.0;
        while (passed < limits.checkpointsM.size() && Crosses(progress.positionM, position, passed, wanderM)) ++passed;
    } else {
        while (passed < limits.checkpointsM.size() && Crosses(position, position, passed, 0.0)) ++passed;
    }
    // Behind the server's count is only a client rounding the other way.
    if (state.checkpoints > passed) return Verdict::CheckpointSkipped;

    if (recovery) {
        progress.recovered = true;
        progress.recoveryTick = state.tick;
    }
    progress.recoveries = state.recoveries;
    progress.started = true;
    progress.tick = state.tick;
    progress.positionM = position;
    progress.checkpoints = passed;
    return Verdict::Accepted;
}
