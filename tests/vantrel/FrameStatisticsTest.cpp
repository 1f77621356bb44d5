#include <gtest/gtest.h>

#include <nodara/PerformanceCounter.h>

#include "hud/FrameStatistics.h"

TEST(FrameStatistics, StepMeasuresTheTimeSinceTheLastStep) {
    // A new mode's record starts at zero, so its first step takes the whole
    // reading as the cycle time.
    FrameStatistics statistics;
    statistics.Step(1234.5);
    EXPECT_DOUBLE_EQ(statistics.cycleTime, 1234.5);
    EXPECT_DOUBLE_EQ(statistics.lastTime, 1234.5);
    statistics.Step(1234.52);
    EXPECT_NEAR(statistics.cycleTime, 0.02, 1e-9);
    EXPECT_DOUBLE_EQ(statistics.lastTime, 1234.52);
    statistics.Step(1235.52);
    EXPECT_NEAR(statistics.cycleTime, 1.0, 1e-9);
}

TEST(FrameStatistics, StepReadsThePerformanceCounter) {
    FrameStatistics statistics;
    const double before = PerformanceCounter::Time();
    statistics.Step();
    const double after = PerformanceCounter::Time();
    EXPECT_GE(statistics.lastTime, before);
    EXPECT_LE(statistics.lastTime, after);
    EXPECT_DOUBLE_EQ(statistics.cycleTime, statistics.lastTime);

    statistics.Step();
    EXPECT_GE(statistics.cycleTime, 0.0);
    EXPECT_LE(statistics.cycleTime, PerformanceCounter::Time() - before);
}

TEST(FrameStatistics, FrameRateLineShowsRateAndCycleTimeWithItsTrailingBlank) {
    FrameStatistics statistics;
    statistics.cycleTime = 0.025;
    EXPECT_EQ(statistics.FrameRateLine(), "Frames per second: 40.00, Cycle time: 0.025000 [s] ");
    statistics.cycleTime = 1.0 / 3.0;
    EXPECT_EQ(statistics.FrameRateLine(), "Frames per second: 3.00, Cycle time: 0.333333 [s] ");
}
