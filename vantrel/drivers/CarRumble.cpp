#include "CarRumble.h"

#include <algorithm>
#include <cmath>

#include "track/RoadCentreLine.h"

bool CarRumble::Update(float speedMs, double roadDistanceM, float dtS, Pulse& pulse) {
    const float before = std::max(speeds[0], speeds[1]);
    speeds[1] = speeds[0];
    speeds[0] = speedMs;
    impactLeftS = std::max(0.0f, impactLeftS - dtS);
    renewInS -= dtS;
    if (before >= 0.0f && before - speedMs > ImpactDropMs) {
        impactLeftS = Impact.durationMs / 1000.0f;
        // The impact's pulse replaces the off-road one, which starts anew after it.
        offRoad = false;
        pulse = Impact;
        return true;
    }
    // A new pulse would cut the impact's short.
    if (impactLeftS > 0.0f) return false;
    const bool off = roadDistanceM > OffRoadM;
    if (off && (!offRoad || renewInS <= 0.0f)) {
        offRoad = true;
        renewInS = RenewS;
        pulse = OffRoad;
        return true;
    }
    if (!off && offRoad) {
        offRoad = false;
        pulse = Pulse();
        return true;
    }
    return false;
}

double CarRumble::DistanceFromRoad(const RoadCentreLine& road, double x, double y) {
    if (road.IsEmpty()) return -1.0;
    const RoadCentreLine::Point nearest = road.At(road.Project(x, y));
    return std::hypot(x - nearest.x, y - nearest.y);
}
