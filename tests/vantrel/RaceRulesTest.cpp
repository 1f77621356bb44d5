// The race's rules and the player's car without a window: control
// adjustment, dials, countdown, checkpoints, clock and the chase camera.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <nodara/Camera.h>
#include <nodara/View.h>

#include "cars/CarPool.h"
#include "cars/Car.h"
#include "race/FixedTick.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"
#include "hud/Gauge.h"
#include "drivers/Player.h"
#include "physics/CarTemplate.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

const int Press = 0, Release = 1;
const float Frame = 1.0f / 60.0f;

/// A player driving a car without a body, the keys sent straight to it.
struct KeyedCar {
    EventHandler handler;
    Player player;
    Car car;
    KeyedCar() {
        car.controlsEnabled = true;
        player.SetCar(&car);
    }
    void Key(unsigned key, int state) { player.OnKey(handler, key, state); }
    void Run(float seconds) {
        for (int i = 0; i < static_cast<int>(std::lround(seconds / Frame)); ++i) player.Update(Frame);
    }
};

}  // namespace

TEST(PlayerControls, PedalsRampWhileHeldAndDropOnRelease) {
    KeyedCar d;
    d.Key(VK_UP, Press);
    d.Run(0.5f);
    EXPECT_NEAR(d.car.throttle, 0.5f, 1e-4f);
    d.Run(1.0f);
    EXPECT_FLOAT_EQ(d.car.throttle, 1.0f);  // clamped at full
    d.Key(VK_UP, Release);
    d.Run(Frame);
    EXPECT_FLOAT_EQ(d.car.throttle, 0.0f);
    // The brake takes half a second to full.
    d.Key(VK_DOWN, Press);
    d.Run(0.25f);
    EXPECT_NEAR(d.car.brake, 0.5f, 1e-4f);
    d.Run(0.5f);
    EXPECT_FLOAT_EQ(d.car.brake, 1.0f);
}

TEST(PlayerControls, SteeringLocksInAboutOneSecondAndReturnsToCentre) {
    KeyedCar d;
    d.Key(VK_LEFT, Press);
    d.Run(0.75f);
    EXPECT_NEAR(d.car.steering, 0.6f, 1e-4f);
    d.Run(1.0f);
    EXPECT_FLOAT_EQ(d.car.steering, 1.0f);
    d.Key(VK_LEFT, Release);
    d.Run(0.5f);
    EXPECT_NEAR(d.car.steering, 0.6f, 1e-4f);
    d.Run(2.0f);
    EXPECT_FLOAT_EQ(d.car.steering, 0.0f);  // never past the centre
}

TEST(PlayerControls, SteeringAgainstTheCurrentSideJumpsToCentreFirst) {
    KeyedCar d;
    d.car.steering = 0.6f;
    d.Key(VK_RIGHT, Press);
    d.Run(Frame);
    EXPECT_FLOAT_EQ(d.car.steering, 0.0f);
    d.Run(Frame);
    EXPECT_NEAR(d.car.steering, -0.8f * Frame, 1e-6f);
    d.Run(3.0f);
    EXPECT_FLOAT_EQ(d.car.steering, -1.0f);
}

TEST(PlayerControls, CSwitchesTheViewOutsideSpectatorModeOnly) {
    KeyedCar d;
    d.Key('C', Press);
    EXPECT_EQ(d.car.cameraMode, 1);
    d.Key('C', Release);
    d.Key('C', Press);
    EXPECT_EQ(d.car.cameraMode, 0);
    d.Key('S', Press);
    ASSERT_TRUE(d.player.IsSpectator());
    d.Key('C', Press);
    EXPECT_EQ(d.car.cameraMode, 0);
    // In spectator mode the car gets no input.
    d.Key(VK_UP, Press);
    d.Run(0.5f);
    EXPECT_FLOAT_EQ(d.car.throttle, 0.0f);
}

TEST(PlayerControls, SpectatorMovesTheCameraAndTurnsItOnlyWhileDragging) {
    KeyedCar d;
    Camera camera;
    camera.GetView().SetEye(vmath::vec3<double>(0, 0, 0));
    camera.GetView().SetCenter(vmath::vec3<double>(0, 1, 0));
    camera.GetView().SetUp(vmath::vec3<double>(0, 0, 1));
    d.player.SetCamera(&camera);
    d.Key('S', Press);
    d.Key(VK_UP, Press);
    d.Run(1.0f);
    EXPECT_NEAR(camera.GetView().GetEye().y, 15.0, 1e-6);
    d.Key(VK_UP, Release);
    // A move without the button turns nothing.
    d.player.OnMouse(d.handler, 100, 100, 0, Release);
    EXPECT_NEAR(camera.GetView().GetCenter().x, 0.0, 1e-9);
    // Press at (100, 100), drag 90 px to the left: a quarter turn to the left.
    d.player.OnMouse(d.handler, 100, 100, 1, Press);
    d.player.OnMouse(d.handler, 10, 100, 0, Release);
    const vmath::vec3<double> dir = camera.GetView().GetCenter() - camera.GetView().GetEye();
    EXPECT_NEAR(dir.x, -1.0, 1e-6);
    EXPECT_NEAR(dir.y, 0.0, 1e-6);
}

TEST(GaugeNeedle, FollowsTheCalibrationAndStaysPutOutsideIt) {
    // Car 0's speed dial: 0 km/h at 215 degrees, 320 km/h at -35 degrees.
    Gauge speed(0, 1.6f, {{0.0f, 215.0f}, {320.0f, -35.0f}});
    speed.SetValue(160.0f);
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), 90.0f);
    speed.SetValue(320.0f);
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), -35.0f);
    speed.SetValue(400.0f);  // past the dial's end: pinned at the last angle
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), -35.0f);
    speed.SetValue(-5.0f);
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), -35.0f);
    speed.SetValue(NAN);
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), -35.0f);
    speed.SetValue(0.0f);
    EXPECT_FLOAT_EQ(speed.GetNeedleAngle(), 215.0f);
    // One calibration point moves nothing.
    Gauge single(0, 1.0f, {{0.0f, 100.0f}});
    single.SetValue(0.0f);
    EXPECT_FLOAT_EQ(single.GetNeedleAngle(), 0.0f);
}

TEST(RaceRules, CountdownShowsDigitsFromThreeSecondsDown) {
    EXPECT_EQ(GameEngine::CountdownDigit(4.0f), nullptr);
    EXPECT_EQ(GameEngine::CountdownDigit(3.5f), nullptr);
    EXPECT_STREQ(GameEngine::CountdownDigit(2.9f), "3");
    EXPECT_STREQ(GameEngine::CountdownDigit(2.0f), "3");
    EXPECT_STREQ(GameEngine::CountdownDigit(1.0f), "2");
    EXPECT_STREQ(GameEngine::CountdownDigit(0.0f), "1");
    EXPECT_EQ(GameEngine::CountdownDigit(-0.01f), nullptr);
}

TEST(RaceRules, ClockShowsMinutesSecondsAndTruncatedHundredths) {
    EXPECT_EQ(GameEngine::FormatClock(125.678), "02:05.67");
    EXPECT_EQ(GameEngine::FormatClock(95.0), "01:35.00");
    EXPECT_EQ(GameEngine::FormatClock(0.0), "00:00.00");
    EXPECT_EQ(GameEngine::FormatClock(59.999), "00:59.99");
}

TEST(RaceRules, CheckpointsAreReachedStrictlyInsideThreeMetresAndTopTheClockUp) {
    // Every way of every track, as its description places the checkpoints.
    TrackList tracks;
    if (tracks.Load() == 0) GTEST_SKIP() << "no tracks in " << TrackList::DataFolder;
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        SCOPED_TRACE(tracks.Label(choice));
        const std::vector<Track::Checkpoint> points = tracks.TrackOf(choice).FindWay(choice.direction)->checkpoints;
        ASSERT_EQ(points.size(), 5u);
        EventHandler handler;
        GameEngine race(handler);
        race.GetTrack().checkpoints = points;
        race.BeginRace(RaceMode::TimeTrial);
        EXPECT_DOUBLE_EQ(race.GetRemainingTime(), points[0].time);
        race.SetRemainingTime(40.0);
        // Exactly 3 m off in x is outside: the clock runs down instead.
        const float x = points[0].x, y = points[0].y;
        race.TestCheckpoint({x + 3.0f, y, 0.0f}, 0.5f);
        EXPECT_EQ(race.GetNextCheckpoint(), 0u);
        EXPECT_DOUBLE_EQ(race.GetRemainingTime(), 39.5);
        race.TestCheckpoint({x, y - 3.0f, 0.0f}, 0.5f);
        EXPECT_EQ(race.GetNextCheckpoint(), 0u);
        // Inside (z does not count): 39 + the second's allowance, none taken off.
        race.TestCheckpoint({x + 2.9f, y - 2.9f, 50.0f}, 0.5f);
        EXPECT_EQ(race.GetNextCheckpoint(), 1u);
        double expected = 39.0 + points[1].time;
        EXPECT_DOUBLE_EQ(race.GetRemainingTime(), expected);
        // Out of order: checkpoint 4 counts for nothing while 2 is next.
        race.TestCheckpoint({points[3].x, points[3].y, 0.0f}, 1.0f);
        EXPECT_EQ(race.GetNextCheckpoint(), 1u);
        expected -= 1.0;
        for (unsigned i = 1; i < 4; ++i) {
            race.TestCheckpoint({points[i].x, points[i].y, 0}, 1.0f);
            expected += points[i + 1].time;
        }
        EXPECT_EQ(race.GetNextCheckpoint(), 4u);
        EXPECT_DOUBLE_EQ(race.GetRemainingTime(), expected);
        EXPECT_FALSE(race.IsPerfect());
        // The last one adds nothing.
        race.TestCheckpoint({points[4].x, points[4].y, 0.0f}, 1.0f);
        EXPECT_EQ(race.GetNextCheckpoint(), 5u);
        EXPECT_DOUBLE_EQ(race.GetRemainingTime(), expected);
        EXPECT_TRUE(race.IsPerfect());
    }
}

TEST(RaceRules, TheClockStopsAtZero) {
    EventHandler handler;
    GameEngine race(handler);
    race.GetTrack().checkpoints = {{-388.0f, 90.0f, 95.0f}, {-1156.0f, 1884.0f, 80.0f}};
    race.SetRemainingTime(0.3);
    race.TestCheckpoint({0.0f, 0.0f, 0.0f}, 0.5f);
    EXPECT_DOUBLE_EQ(race.GetRemainingTime(), 0.0);
    EXPECT_FALSE(race.IsPerfect());
}

TEST(RaceRules, ATrackWithoutCheckpointsLeavesTheClockAlone) {
    EventHandler handler;
    GameEngine race(handler);
    race.BeginRace(RaceMode::TimeTrial);
    EXPECT_DOUBLE_EQ(race.GetRemainingTime(), 0.0);
    race.TestCheckpoint({0.0f, 0.0f, 0.0f}, 0.5f);
    EXPECT_EQ(race.GetNextCheckpoint(), 0u);
    EXPECT_FALSE(race.IsPerfect());
}

TEST(RaceRules, TheCountdownHoldsTheCarUntilItTurnsNegative) {
    EventHandler handler;
    GameEngine race(handler);
    Car car;
    race.GetPlayer().SetCar(&car);
    race.BeginRace(RaceMode::TimeTrial);
    FrameStatistics& timing = race.GetFrameStatistics();
    timing.cycleTime = 1.0;  // a second or more changes nothing
    race.Step();
    EXPECT_FLOAT_EQ(race.GetCountdown(), 4.0f);
    timing.cycleTime = 0.5;
    for (int i = 0; i < 8; ++i) race.Step();
    EXPECT_FLOAT_EQ(race.GetCountdown(), 0.0f);
    EXPECT_FALSE(car.controlsEnabled);
    race.Step();
    EXPECT_TRUE(car.controlsEnabled);
    // Free Drive releases the car at the first update, without a countdown.
    Car other;
    race.GetPlayer().SetCar(&other);
    race.BeginRace(RaceMode::FreeDrive);
    race.Step();
    EXPECT_TRUE(other.controlsEnabled);
    EXPECT_FLOAT_EQ(race.GetCountdown(), 4.0f);
    race.GetPlayer().SetCar(nullptr);
}

namespace {

/// A car settled on a flat 400 m square, for the chase camera.
class ChaseCamera : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<vmath::vec3<float>> ground = {
            {-200, -200, 0}, {200, -200, 0}, {200, 200, 0}, {-200, 200, 0}};
        const std::vector<unsigned int> indices = {0, 2, 1, 0, 3, 2};
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        ASSERT_NE(world.AddStaticMesh(ground, indices, identity), nullptr);
        const float start[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0.72f, 1};
        car.body = world.CreateCar(CarPool::Describe(0).GetTemplate(), start);
        ASSERT_NE(car.body, nullptr);
        car.body->SetControls(0, 0, 1, true);
        for (int i = 0; i < 120; ++i) world.Step(Frame);
    }
    double EyeDistance() const {
        const vmath::vec3<float> p = car.body->GetPosition();
        const vmath::vec3<double> eye = camera.GetView().GetEye();
        return vmath::length(eye - vmath::vec3<double>(p.x, p.y, p.z));
    }

    physics::World world;
    Car car;
    Camera camera;
};

}  // namespace

TEST_F(ChaseCamera, RunsInFromTwentyMetresBehindAndSettlesAtItsDistance) {
    car.UpdateCamera(camera, Frame);
    // The first update puts the anchor straight behind the car at the
    // run-in distance 10 + 2^2, the eye 1.5 up and 2 nearer.
    const vmath::vec3<float> p = car.body->GetPosition();
    EXPECT_NEAR(car.cameraPosition[1], p.y - 14.0f, 0.05f);
    EXPECT_NEAR(car.cameraPosition[0], p.x, 0.05f);
    EXPECT_NEAR(camera.GetView().GetEye().y, p.y - 12.0, 0.1);
    EXPECT_NEAR(camera.GetView().GetEye().z, p.z + 1.5, 0.1);
    EXPECT_NEAR(camera.GetView().GetCenter().z, p.z + 1.0, 0.1);
    for (int i = 0; i < 180; ++i) car.UpdateCamera(camera, Frame);
    EXPECT_GE(car.cameraTime, 2.0f);
    const float anchor = vmath::length(vmath::vec3<float>(car.cameraPosition[0], car.cameraPosition[1],
                                                          car.cameraPosition[2]) - p);
    EXPECT_NEAR(anchor, 10.0f, 0.01f);
    EXPECT_LT(EyeDistance(), 10.0);
    // The other view sits 3 m further back from the anchor.
    car.cameraMode = 1;
    car.UpdateCamera(camera, Frame);
    EXPECT_NEAR(camera.GetView().GetEye().y, car.cameraPosition[1] - 3.0, 0.2);
}

TEST_F(ChaseCamera, LookingStraightDownLeavesTheViewAsItWas) {
    for (int i = 0; i < 150; ++i) car.UpdateCamera(camera, Frame);
    const vmath::vec3<double> eye = camera.GetView().GetEye(), centre = camera.GetView().GetCenter();
    const vmath::vec3<float> p = car.body->GetPosition();
    car.cameraPosition[0] = p.x;
    car.cameraPosition[1] = p.y;
    car.cameraPosition[2] = p.z + 30.0f;
    car.cameraHeightTerm = 0.0f;
    car.UpdateCamera(camera, Frame);
    EXPECT_EQ(camera.GetView().GetEye().x, eye.x);
    EXPECT_EQ(camera.GetView().GetEye().z, eye.z);
    EXPECT_EQ(camera.GetView().GetCenter().y, centre.y);
    // The anchor itself still moves to the distance.
    EXPECT_NEAR(car.cameraPosition[2], p.z + 10.0f, 0.01f);
}

TEST_F(ChaseCamera, HeldCarGetsFullBrakeAndItsDialsFollowIt) {
    Gauge speed(0, 1.6f, {{0.0f, 215.0f}, {320.0f, -35.0f}});
    car.speedGauge = &speed;
    car.throttle = 1.0f;
    car.ApplyControls();  // controls disabled: held
    for (int i = 0; i < 60; ++i) world.Step(Frame);
    EXPECT_LT(car.body->GetSpeedMs(), 0.01f);
    car.controlsEnabled = true;
    for (int i = 0; i < 120; ++i) {
        car.ApplyControls();
        world.Step(Frame);
    }
    car.ApplyControls();
    const float kmh = car.body->GetSpeedMs() * 3.6f;
    EXPECT_GT(kmh, 30.0f);
    EXPECT_NEAR(speed.GetNeedleAngle(), 215.0f - kmh / 320.0f * 250.0f, 0.5f);
    car.speedGauge = nullptr;
}

TEST(RaceRules, TheFixedTickRunsTheTicksThatCatchTheFramesUpWithoutDrift) {
    // Two ticks a frame at 60 frames a second, for an hour's worth of frames.
    FixedTick tick;
    for (int i = 0; i < 216000; ++i) ASSERT_EQ(tick.Advance(1.0 / 60.0), 2) << "frame " << i;
    EXPECT_FLOAT_EQ(tick.GetBlend(), 1.0f);
    // At 144 frames a second five ticks fall in six frames; the frame's time
    // lies between the last two ticks, the blend telling where.
    tick.Reset();
    int ticks = 0;
    for (int i = 1; i <= 144 * 60; ++i) {
        ticks += tick.Advance(1.0 / 144.0);
        ASSERT_GE(tick.GetBlend(), 0.0f);
        ASSERT_LE(tick.GetBlend(), 1.0f);
        const double framesS = i / 144.0, ticksS = ticks * FixedTick::TickS;
        ASSERT_GE(ticksS, framesS - 1e-6) << "frame " << i;
        ASSERT_LT(ticksS, framesS + FixedTick::TickS) << "frame " << i;
        ASSERT_NEAR(tick.GetBlend(), 1.0 - (ticksS - framesS) / FixedTick::TickS, 1e-4);
    }
    EXPECT_EQ(ticks, 120 * 60);
    // A second or more (a load), or not a number, runs none.
    EXPECT_EQ(tick.Advance(1.0), 0);
    EXPECT_EQ(tick.Advance(std::nan("")), 0);
    EXPECT_EQ(tick.Advance(-0.5), 0);
    EXPECT_EQ(tick.Advance(0.999), FixedTick::MaxTicksPerFrame);
}
