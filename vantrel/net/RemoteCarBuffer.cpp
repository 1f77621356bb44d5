#include "RemoteCarBuffer.h"

#include <algorithm>

#include "race/FixedTick.h"

void RemoteCarBuffer::Push(const Protocol::CarState& state, double nowS) {
    const double senderS = state.tick * FixedTick::TickS;
    // Sequenced on the way, but a relay may still reorder: only newer ones count.
    if (!states.empty() && senderS <= states.back().senderS) return;
    states.push_back({senderS, state.sample, senderS - nowS, state.recoveries});
    while (states.size() > MaxStates) states.pop_front();
    // The least delayed state kept says best where the sender's clock is.
    offsetS = states.front().arrivalOffsetS;
    for (const Kept& kept : states) offsetS = std::max(offsetS, kept.arrivalOffsetS);
}

bool RemoteCarBuffer::At(double nowS, Shown& shown) const {
    if (states.empty()) return false;
    const double t = nowS + offsetS - DelayS;
    shown.lagging = false;
    shown.aheadS = 0.0;
    if (states.size() == 1 || t <= states.front().senderS) {
        const Kept& only = t <= states.front().senderS ? states.front() : states.back();
        shown.sample = only.sample;
        shown.velocityMs = vmath::vec3<float>(0.0f, 0.0f, 0.0f);
        shown.senderS = only.senderS;
        shown.recoveries = only.recoveries;
        return true;
    }
    const Kept& last = states.back();
    if (t <= last.senderS) {
        // The first kept state after t, and the one before it.
        const auto after = std::upper_bound(states.begin(), states.end(), t,
                                            [](double time, const Kept& k) { return time < k.senderS; });
        const Kept& b = *after;
        const Kept& a = *(after - 1);
        const double spanS = b.senderS - a.senderS;
        shown.senderS = t;
        shown.recoveries = a.recoveries;
        if (a.recoveries != b.recoveries) {
            // Put back on the road in between: it jumps there, it does not slide.
            shown.sample = a.sample;
            shown.velocityMs = vmath::vec3<float>(0.0f, 0.0f, 0.0f);
            return true;
        }
        shown.sample = RecordedRun::Blend(a.sample, b.sample, static_cast<float>((t - a.senderS) / spanS));
        shown.velocityMs = (b.sample.positionM - a.sample.positionM) * static_cast<float>(1.0 / spanS);
        return true;
    }
    // Ahead of the newest: on at its velocity, then held.
    const Kept& before = states[states.size() - 2];
    const double spanS = last.senderS - before.senderS;
    const vmath::vec3<float> velocity =
        before.recoveries != last.recoveries
            ? vmath::vec3<float>(0.0f, 0.0f, 0.0f)
            : (last.sample.positionM - before.sample.positionM) * static_cast<float>(1.0 / spanS);
    const double aheadS = std::min(t - last.senderS, MaxExtrapolationS);
    shown.sample = last.sample;
    shown.sample.positionM = last.sample.positionM + velocity * static_cast<float>(aheadS);
    shown.lagging = t - last.senderS > MaxExtrapolationS;
    shown.velocityMs = shown.lagging ? vmath::vec3<float>(0.0f, 0.0f, 0.0f) : velocity;
    shown.senderS = last.senderS + aheadS;
    shown.recoveries = last.recoveries;
    shown.aheadS = aheadS;
    return true;
}
