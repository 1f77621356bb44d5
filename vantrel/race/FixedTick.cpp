#include "FixedTick.h"

#include <algorithm>
#include <cmath>

namespace {
// Frames of exactly two ticks must run two: the sum of doubles drifts by far
// less than this, and a tick less than a microsecond ahead is not worth running.
const double Slack = 1.0e-7;
}  // namespace

int FixedTick::Advance(double frameS) {
    if (!(frameS >= 0.0) || frameS >= 1.0) return 0;
    aheadS -= frameS;
    int count = 0;
    while (aheadS < -Slack && count < MaxTicksPerFrame) {
        aheadS += TickS;
        ++count;
    }
    // Capped: the rest of a slow frame is dropped, not owed.
    aheadS = std::max(aheadS, 0.0);
    ticks += count;
    blend = static_cast<float>(std::clamp(1.0 - aheadS / TickS, 0.0, 1.0));
    return count;
}
