#include <gtest/gtest.h>

#include <nodara/Logger.h>
#include <nodara/PerformanceCounter.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(Logger, NameOnlyPassesEverything) {
    Logger logger("OglRenderer");
    EXPECT_TRUE(logger.IsEnabled(Logger::Debug));
    CaptureStdout();
    logger.Log(Logger::Info, "Ready for OpenGL 2.0!");
    EXPECT_EQ(GetCapturedStdout(), "[Info] OglRenderer - Ready for OpenGL 2.0!\n");
}

TEST(Logger, ThresholdFiltersLowerLevels) {
    Logger logger("ShowRoom", Logger::Warn);
    EXPECT_FALSE(logger.IsEnabled(Logger::Info));
    EXPECT_TRUE(logger.IsEnabled(Logger::Fatal));
    CaptureStdout();
    logger.Log(Logger::Info, "hidden");
    logger.Log(Logger::Error, "shown");
    EXPECT_EQ(GetCapturedStdout(), "[Error] ShowRoom - shown\n");
    logger.SetLevel(Logger::Debug);
    EXPECT_EQ(logger.GetLevel(), Logger::Debug);
}

TEST(Logger, ProcessLevelQuietsEveryLoggerBelowIt) {
    Logger chatty("ColladaModelLoader");
    Logger strict("OglRenderer", Logger::Error);
    Logger::SetProcessLevel(Logger::Warn);
    EXPECT_FALSE(chatty.IsEnabled(Logger::Info));
    CaptureStdout();
    chatty.Log(Logger::Info, "hidden");
    chatty.Log(Logger::Warn, "shown");
    strict.Log(Logger::Warn, "below its own threshold");
    Logger::SetProcessLevel(Logger::Debug);  // back to every logger's own say
    chatty.Log(Logger::Debug, "again");
    EXPECT_EQ(GetCapturedStdout(), "[Warn] ColladaModelLoader - shown\n[Debug] ColladaModelLoader - again\n");
}

TEST(Logger, StreamEmitsOnceAtEndOfStatement) {
    Logger logger("GameEngine");
    CaptureStdout();
    Logger::Stream(logger, Logger::Warn).GetStream() << "fps " << 60 << '!';
    { Logger::Stream empty(logger, Logger::Fatal); }  // nothing inserted: empty message
    Logger quiet("Quiet", Logger::Error);
    Logger::Stream(quiet, Logger::Info).GetStream() << "filtered";
    EXPECT_EQ(GetCapturedStdout(), "[Warn] GameEngine - fps 60!\n[Fatal] GameEngine - \n");
}

TEST(Logger, LevelOutsideTheTableIsNamedUnknown) {
    Logger logger("X");
    CaptureStdout();
    logger.Log(static_cast<Logger::Level>(9), "odd");
    logger.Log(static_cast<Logger::Level>(-1), "below");  // below the threshold: filtered
    EXPECT_EQ(GetCapturedStdout(), "[Unknown] X - odd\n");
}

TEST(PerformanceCounter, MonotonicWithFineResolution) {
    EXPECT_TRUE(PerformanceCounter::IsSupported());
    EXPECT_GE(PerformanceCounter::Frequency(), 1e6);  // at least microseconds
    double previous = PerformanceCounter::Time();
    double largestStep = 0;
    for (int i = 0; i < 1000; ++i) {
        const double now = PerformanceCounter::Time();
        EXPECT_GE(now, previous);
        largestStep = std::max(largestStep, now - previous);
        previous = now;
    }
    EXPECT_LT(largestStep, 0.05);  // generous: a busy CI machine may preempt us
}
