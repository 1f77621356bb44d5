#include "FrameStatistics.h"

#include <nodara/PerformanceCounter.h>

void FrameStatistics::Step() { Step(PerformanceCounter::Time()); }

void FrameStatistics::Step(double nowS) {
    const double previousS = lastTime;
    lastTime = nowS;
    cycleTime = nowS - previousS;
}
