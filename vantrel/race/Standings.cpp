#include "Standings.h"

#include <algorithm>
#include <cmath>

void Standings::Reset(std::size_t count, const std::vector<double>& distancesM) {
    racers.assign(count, Racer());
    for (std::size_t i = 0; i < count && i < distancesM.size(); ++i)
        racers[i].distanceM = racers[i].startM = distancesM[i];
}

void Standings::Update(std::size_t racer, double distanceM, double timeS) {
    if (racer >= racers.size() || !std::isfinite(distanceM) || !std::isfinite(timeS)) return;
    Racer& r = racers[racer];
    if (r.finishS) return;
    r.distanceM = distanceM;
    // Every mark passed since the last report gets this frame's time: at a
    // few metres a frame the error is a frame.
    while (r.startM + static_cast<double>(r.markS.size()) * MarkStepM <= distanceM)
        r.markS.push_back(static_cast<float>(timeS));
}

void Standings::Finish(std::size_t racer, double timeS) {
    if (racer < racers.size() && !racers[racer].finishS) racers[racer].finishS = timeS;
}

std::vector<std::size_t> Standings::Order() const {
    std::vector<std::size_t> order(racers.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const Racer &ra = racers[a], &rb = racers[b];
        if (ra.finishS || rb.finishS) {
            if (!rb.finishS) return true;
            if (!ra.finishS) return false;
            return *ra.finishS < *rb.finishS;
        }
        return ra.distanceM > rb.distanceM;
    });
    return order;
}

unsigned Standings::PositionOf(std::size_t racer) const {
    const std::vector<std::size_t> order = Order();
    const auto it = std::find(order.begin(), order.end(), racer);
    return it == order.end() ? 0u : static_cast<unsigned>(it - order.begin()) + 1u;
}

std::optional<double> Standings::GetFinishS(std::size_t racer) const {
    return racer < racers.size() ? racers[racer].finishS : std::nullopt;
}

std::optional<double> Standings::TimeAt(const Racer& racer, double distanceM) const {
    const double index = (distanceM - racer.startM) / MarkStepM;
    if (index < 0.0 || racer.markS.empty()) return std::nullopt;
    const std::size_t i = static_cast<std::size_t>(index);
    if (i + 1 >= racer.markS.size()) return i + 1 == racer.markS.size() ? std::optional<double>(racer.markS[i]) : std::nullopt;
    const double f = index - static_cast<double>(i);
    return racer.markS[i] + f * (racer.markS[i + 1] - racer.markS[i]);
}

std::optional<double> Standings::GapS(std::size_t behind, std::size_t ahead, double nowS) const {
    if (behind >= racers.size() || ahead >= racers.size() || behind == ahead) return std::nullopt;
    const Racer &b = racers[behind], &a = racers[ahead];
    if (a.finishS && b.finishS) return *b.finishS - *a.finishS;
    if (b.finishS) return std::nullopt;
    if (!a.finishS && a.distanceM <= b.distanceM) return std::nullopt;
    const std::optional<double> then = TimeAt(a, b.distanceM);
    if (!then) return std::nullopt;
    return std::max(0.0, nowS - *then);
}
