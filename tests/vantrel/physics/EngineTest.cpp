// The engine model: torque curve, clutch, rev limit and engine braking.
#include <gtest/gtest.h>

#include <physics/Engine.h>

using physics::Engine;
using physics::EngineSettings;

namespace {

EngineSettings TestEngine() {
    EngineSettings s;
    s.idleRpm = 1000.0f;
    s.launchRpm = 3000.0f;
    s.revLimitRpm = 7000.0f;
    s.limiterBandRpm = 200.0f;
    s.maxTorqueNm = 400.0f;
    s.torqueCurve = {{1000.0f, 0.5f}, {4000.0f, 1.0f}, {7000.0f, 0.7f}};
    s.engineBrakingTorqueNm = 100.0f;
    s.rpmResponseS = 0.05f;
    return s;
}

/// Runs the engine long enough to settle on its target.
void Settle(Engine& engine, float throttle, float drivelineRpm, bool engaged) {
    for (int i = 0; i < 240; ++i) engine.Update(1.0f / 120.0f, throttle, drivelineRpm, engaged);
}

}  // namespace

TEST(EngineTest, TorqueCurveInterpolatesAndHoldsItsEnds) {
    EngineSettings settings = TestEngine();
    Engine engine(settings);
    struct Row { float rpm, fraction; } rows[] = {
        {500.0f, 0.5f},    // below the first point: its value
        {2500.0f, 0.75f},  // half-way up the rising segment
        {4000.0f, 1.0f},   // on a point
        {5500.0f, 0.85f},  // half-way down the falling segment
        {9000.0f, 0.7f},   // beyond the last point: its value
    };
    for (const Row& row : rows) EXPECT_NEAR(engine.GetTorqueFraction(row.rpm), row.fraction, 1e-5f) << row.rpm;
}

TEST(EngineTest, SpeedFollowsWheelsClutchAndFreeRevving) {
    EngineSettings settings = TestEngine();
    struct Row { float throttle, drivelineRpm; bool engaged; float rpm; } rows[] = {
        {0.0f, 0.0f, false, 1000.0f},    // neutral, closed throttle: idle
        {1.0f, 0.0f, false, 7000.0f},    // neutral, full throttle: revs to the limit
        {1.0f, 500.0f, true, 3000.0f},   // slow car: the slipping clutch holds the launch speed
        {0.5f, 500.0f, true, 2000.0f},   // half throttle: half-way from idle to launch speed
        {1.0f, 5000.0f, true, 5000.0f},  // clutch closed: the wheels set the speed
    };
    for (const Row& row : rows) {
        Engine engine(settings);
        Settle(engine, row.throttle, row.drivelineRpm, row.engaged);
        EXPECT_NEAR(engine.GetRpm(), row.rpm, 1.0f) << row.throttle << " " << row.drivelineRpm;
        EXPECT_NEAR(engine.GetAngularSpeedRadS(), row.rpm * 2.0f * 3.14159265f / 60.0f, 0.2f);
    }
}

TEST(EngineTest, TorqueFadesOutAtTheRevLimit) {
    EngineSettings settings = TestEngine();
    Engine engine(settings);
    Settle(engine, 1.0f, 6000.0f, true);
    EXPECT_NEAR(engine.GetDriveTorqueNm(), 400.0f * 0.8f, 0.5f);
    EXPECT_FALSE(engine.IsLimiting());
    Settle(engine, 1.0f, 6900.0f, true);  // half-way into the limiter's band
    EXPECT_NEAR(engine.GetDriveTorqueNm(), 0.5f * 400.0f * 0.71f, 0.5f);
    EXPECT_TRUE(engine.IsLimiting());
    Settle(engine, 1.0f, 7100.0f, true);
    EXPECT_EQ(engine.GetDriveTorqueNm(), 0.0f);
}

TEST(EngineTest, ClosedThrottleBrakesOnlyInGear) {
    EngineSettings settings = TestEngine();
    Engine engine(settings);
    Settle(engine, 0.0f, 4000.0f, true);
    EXPECT_EQ(engine.GetDriveTorqueNm(), 0.0f);
    EXPECT_NEAR(engine.GetBrakingTorqueNm(), 100.0f * 3000.0f / 6000.0f, 0.5f);
    Settle(engine, 0.0f, 4000.0f, false);  // clutch open: nothing reaches the wheels
    EXPECT_EQ(engine.GetBrakingTorqueNm(), 0.0f);
    Settle(engine, 0.3f, 4000.0f, true);   // any throttle: no drag
    EXPECT_EQ(engine.GetBrakingTorqueNm(), 0.0f);
    EXPECT_GT(engine.GetDriveTorqueNm(), 0.0f);
}
