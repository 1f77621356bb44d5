#include "FrameStatistics.h"

#include <cstdio>

#include <GL/gl.h>

#include <lumora/Lumora.h>
#include <nodara/PerformanceCounter.h>

void FrameStatistics::Step() { Step(PerformanceCounter::Time()); }

void FrameStatistics::Step(double nowS) {
    const double previousS = lastTime;
    lastTime = nowS;
    cycleTime = nowS - previousS;
}

std::string FrameStatistics::FrameRateLine() const {
    char line[128];
    std::snprintf(line, sizeof line, "Frames per second: %.2f, Cycle time: %.6f [s] ", 1.0 / cycleTime, cycleTime);
    return line;
}

void FrameStatistics::DrawFrameRateLine(float heightPx) const {
    if (!font || !engine || !engine->GetRenderer()) return;
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    engine->GetRenderer()->GetFontManager().Print(*font, 70.0f, heightPx - 80.0f, FrameRateLine());
}
