#include "CarLevelOfDetail.h"

#include "CarDetailLevels.h"

#include <algorithm>
#include <cmath>

#include <nodara/GroupNode.h>
#include <nodara/SwitchNode.h>

namespace {

void CollectSwitches(Node& node, std::vector<SwitchNode*>& switches) {
    if (auto* levels = dynamic_cast<SwitchNode*>(&node)) switches.push_back(levels);
    for (unsigned i = 0; Node* child = node.GetChild(i); ++i) CollectSwitches(*child, switches);
}

}  // namespace

void CarLevelOfDetail::Add(GroupNode& car, unsigned finestLevel) {
    for (Entry& entry : cars)
        if (entry.car == &car) {
            entry.finest = finestLevel;
            Show(entry, std::max(entry.level, finestLevel));
            return;
        }
    Entry entry{&car, {}, finestLevel, finestLevel, 0};
    CollectSwitches(car, entry.switches);
    Show(entry, finestLevel);
    cars.push_back(std::move(entry));
}

void CarLevelOfDetail::Remove(const GroupNode& car) {
    cars.erase(std::remove_if(cars.begin(), cars.end(), [&car](const Entry& entry) { return entry.car == &car; }),
               cars.end());
}

void CarLevelOfDetail::Select(const vmath::vec3<double>& eye, float distanceScale, bool nearLook) {
    // A scale that is not a positive number leaves the distances as they are.
    const float scale = distanceScale > 0.0f && std::isfinite(distanceScale) ? distanceScale : 1.0f;
    const float thresholds[2] = {MiddleDistanceM * scale, FarDistanceM * scale};
    const unsigned looks[3] = {nearLook ? CarDetailLevels::Near : CarDetailLevels::Full, CarDetailLevels::Middle,
                               CarDetailLevels::Far};
    for (Entry& entry : cars) {
        const vmath::mat4<float>& m = entry.car->GetTransform().GetMatrix();
        const double dx = m[12] - eye.x, dy = m[13] - eye.y, dz = m[14] - eye.z;
        const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        unsigned band = 0;
        for (unsigned i = 0; i < 2; ++i) {
            // Coarser at the threshold, finer again only inside it by the margin.
            const double threshold = thresholds[i] - (entry.band > i ? HysteresisM * scale : 0.0f);
            if (distance > threshold) band = i + 1;
        }
        entry.band = band;
        const unsigned shown = std::max(looks[band], entry.finest);
        if (shown != entry.level) Show(entry, shown);
    }
}

unsigned CarLevelOfDetail::GetLevel(const GroupNode& car) const {
    for (const Entry& entry : cars)
        if (entry.car == &car) return entry.level;
    return 0;
}

void CarLevelOfDetail::Show(Entry& entry, unsigned level) {
    entry.level = level;
    for (SwitchNode* levels : entry.switches) levels->Select(level);
}
