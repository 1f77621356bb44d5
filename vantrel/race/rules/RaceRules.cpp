#include "RaceRules.h"

#include <cmath>

#include "race/FixedTick.h"

namespace {
const float TickS = static_cast<float>(FixedTick::TickS);
int TicksOf(float seconds) { return static_cast<int>(std::lround(seconds / TickS)); }
}  // namespace

void RaceRules::Begin() {
    countdownTicks = TicksOf(CountdownS);
    goTicks = TicksOf(GoS);
    clock.Start();
}

void RaceRules::BeforeTick(float) {
    if (countdownTicks >= 0) {
        --countdownTicks;
    } else if (goTicks > 0) {
        --goTicks;
    }
}

RaceRules::Phase RaceRules::GetPhase() const {
    if (IsOver()) return Phase::Finished;
    return IsReleased() ? Phase::Running : Phase::Countdown;
}

float RaceRules::GetCountdown() const {
    return countdownTicks < 0 ? -TickS : static_cast<float>(countdownTicks) * TickS;
}

float RaceRules::GetGoTime() const { return static_cast<float>(goTicks) * TickS; }
