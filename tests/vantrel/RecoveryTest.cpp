// The road's centre line in the race on the real game data: R puts a lost
// car back on the road, the wrong-way sign, the map's layout and its
// drawing, and a centre-line file the race cannot use. Frames on a fixed
// 1/60 s step; skipped where the game data is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

#include <nodara/Camera.h>
#include <nodara/View.h>

#include "cars/Car.h"
#include "race/CarRecovery.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"
#include "GameWindow.h"
#include "hud/Minimap.h"
#include "track/RoadCentreLine.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

using vec3f = vmath::vec3<float>;
const int Press = 0, Release = 1;
const double Frame = 1.0 / 60.0;
const double Pi = 3.14159265358979;

class Recovery : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
        race = std::make_unique<GameEngine>(handler);
        ASSERT_TRUE(race->Initialize());
    }
    void TearDown() override { race.reset(); }
    void Start(bool freeDrive, const TrackDescription* track = nullptr,
               TrackDescription::Direction direction = TrackDescription::Direction::Forward) {
        if (track) race->SetTrack(*track, direction);
        // The debug plug-in reports every object it adds.
        testing::internal::CaptureStdout();
        const bool started = race->Start(0, freeDrive);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(started);
        ASSERT_FALSE(road().IsEmpty());
        race->GetFrameStatistics().cycleTime = Frame;
    }
    void Key(unsigned key, int state = Press) { handler.DispatchKey(key, state); }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            race->Step();
        }
    }
    const RoadCentreLine& road() { return race->GetTrack().road; }
    physics::DynamicObjectCar& body() { return *race->GetCar()->body; }
    /// Puts the car down by hand `offsetM` to the left of the road at arc
    /// length `s`, turned `turnDegrees` anticlockwise from the race's way;
    /// when `onRoof`, upside down 3 m above the ground.
    void PlaceCar(double s, double offsetM, double turnDegrees, bool onRoof = false) {
        const RoadCentreLine::Point p = road().At(s);
        const vmath::vec2<double> t = road().Tangent(s);
        const float x = static_cast<float>(p.x - t.y * offsetM), y = static_cast<float>(p.y + t.x * offsetM);
        const double a = std::atan2(t.y, t.x) + turnDegrees * Pi / 180.0;
        vec3f ground, normal;
        ASSERT_TRUE(race->GetWorld()->FindGround(x, y, ground, normal));
        if (onRoof) ground.z += 3.0f;
        const vec3f forward(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f);
        ASSERT_TRUE(body().PlaceAt(ground, onRoof ? vec3f(0.0f, 0.0f, -1.0f) : normal, forward));
    }
    /// Distance (m) across the road from the centre line and the arc length there.
    double OffRoad(const vec3f& p, double& s) {
        s = road().Project(p.x, p.y);
        const RoadCentreLine::Point c = road().At(s);
        return std::hypot(c.x - p.x, c.y - p.y);
    }
    /// The race's way at the car, as along-road speed (m/s) of the car's velocity.
    double SpeedAlongRoad() {
        const vec3f p = body().GetPosition(), v = body().GetLinearVelocity();
        const vmath::vec2<double> t = road().Tangent(road().Project(p.x, p.y));
        return v.x * t.x + v.y * t.y;
    }

    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(Recovery, RPutsALostCarBackOnTheRoadUprightAtRestFacingTheRace) {
    Start(true);
    struct Case {
        const char* what;
        double s, offsetM, turnDegrees;
        bool onRoof;
        float speedMs;  ///< thrown sideways at this speed, then R at once
    };
    const Case cases[] = {
        {"on the grass 25 m left, facing across", 1500.0, 25.0, 90.0, false, 0.0f},
        {"on its roof on the road", 4000.0, 0.0, 0.0, true, 0.0f},
        {"on the road facing backwards", 6200.0, 2.0, 180.0, false, 0.0f},
        {"on the grass right, sliding at 35 m/s", 9000.0, -15.0, 30.0, false, 35.0f},
        {"40 m out where the loop closes", road().GetLength() - 20.0, 40.0, -120.0, false, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaceCar(c.s, c.offsetM, c.turnDegrees, c.onRoof);
        RunFrames(c.onRoof ? 120 : 30);
        if (c.speedMs > 0.0f) {
            const vmath::vec2<double> t = road().Tangent(c.s);
            body().SetLinearVelocity(vec3f(static_cast<float>(t.y), static_cast<float>(-t.x), 0.0f) * c.speedMs);
            RunFrames(3);
            ASSERT_GT(body().GetSpeedMs(), 20.0f);
        }
        ASSERT_TRUE(!c.onRoof || body().GetAxis(2).z < -0.9f) << "not on its roof";
        double before = 0.0;
        OffRoad(body().GetPosition(), before);

        Key(CarRecovery::Key);
        Key(CarRecovery::Key, Release);
        RunFrames(1);
        // The chase camera is straight behind at once, not swinging round.
        const vec3f p = body().GetPosition(), forward = body().GetAxis(1), side = body().GetAxis(0);
        const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
        const vec3f toEye(static_cast<float>(eye.x) - p.x, static_cast<float>(eye.y) - p.y, 0.0f);
        EXPECT_LT(vmath::dot(toEye, forward), -5.0f);
        EXPECT_LT(std::fabs(vmath::dot(toEye, side)), 1.0f);
        // Settled on its springs; on a slope it then starts to roll, as cars do.
        RunFrames(19);

        const vec3f at = body().GetPosition();
        double s = 0.0;
        EXPECT_LT(OffRoad(at, s), 0.5);
        // Level with where it was along the road, never ahead of it.
        const double moved = std::remainder(s - before, road().GetLength());
        EXPECT_TRUE(moved < 0.5 && moved > -2.0) << moved;
        const vmath::vec2<double> t = road().Tangent(s);
        const vec3f y = body().GetAxis(1);
        const double heading = std::acos(std::clamp((y.x * t.x + y.y * t.y) / std::hypot(y.x, y.y), -1.0, 1.0));
        EXPECT_LT(heading * 180.0 / Pi, 10.0);
        EXPECT_GT(body().GetAxis(2).z, 0.98f) << "not upright";
        EXPECT_LT(body().GetSpeedMs(), 0.2f);
        vec3f ground, normal;
        ASSERT_TRUE(race->GetWorld()->FindGround(at.x, at.y, ground, normal));
        // The box (0.55 m half-height) clear of the ground, resting on its wheels.
        EXPECT_TRUE(at.z - ground.z > 0.6f && at.z - ground.z < 0.9f) << at.z - ground.z;
        EXPECT_EQ(body().GetCurrentGear(), 0);
    }
    // And it drives away.
    Key(VK_UP);
    RunFrames(120);
    Key(VK_UP, Release);
    EXPECT_GT(body().GetForwardSpeedMs(), 5.0f);
    EXPECT_GT(SpeedAlongRoad(), 5.0);
}

TEST_F(Recovery, ACarPutBackOnTheSteepestSlopeIsHeldUntilThePedalsAreUsed) {
    Start(true);
    // The steepest stretch of the road, by its ground's normal.
    double steepestS = 0.0, leastUp = 1.0;
    for (double s = 0.0; s < road().GetLength(); s += 10.0) {
        const RoadCentreLine::Point p = road().At(s);
        vec3f ground, normal;
        if (race->GetWorld()->FindGround(static_cast<float>(p.x), static_cast<float>(p.y), ground, normal) &&
            normal.z < leastUp) {
            leastUp = normal.z;
            steepestS = s;
        }
    }
    ASSERT_LT(leastUp, 0.999f) << "no slope on the road";
    PlaceCar(steepestS, 12.0, 90.0);
    RunFrames(60);
    Key(CarRecovery::Key);
    Key(CarRecovery::Key, Release);
    RunFrames(30);
    // Left alone for five seconds, it stays where it was put.
    const vec3f put = body().GetPosition();
    RunFrames(300);
    EXPECT_LT(vmath::length(body().GetPosition() - put), 0.05f) << "rolled away on a slope of "
                                                                 << std::acos(leastUp) * 180.0 / Pi << " degrees";
    // The throttle lets it go.
    Key(VK_UP);
    RunFrames(90);
    Key(VK_UP, Release);
    EXPECT_GT(SpeedAlongRoad(), 3.0);
}

TEST_F(Recovery, RDoesNothingDuringTheCountdownOrAPauseOnceTheTrialIsOverOrForTheSpectator) {
    Start(false);
    // A car off the road, so that a recovery would show.
    auto pressRAndSeeIfTheCarMoved = [this]() {
        PlaceCar(300.0, 20.0, 90.0);
        RunFrames(1);
        const vec3f before = body().GetPosition();
        Key(CarRecovery::Key);
        RunFrames(1);
        return vmath::length(body().GetPosition() - before) > 1.0f;
    };
    ASSERT_GT(race->GetCountdown(), 1.0f);
    EXPECT_FALSE(pressRAndSeeIfTheCarMoved()) << "during the countdown";
    RunFrames(240);
    ASSERT_TRUE(race->GetCar()->controlsEnabled);
    Key('S');
    EXPECT_FALSE(pressRAndSeeIfTheCarMoved()) << "in spectator mode";
    Key('S');
    Key(RaceClock::PauseKey);
    EXPECT_FALSE(pressRAndSeeIfTheCarMoved()) << "while paused";
    Key(RaceClock::PauseKey);
    EXPECT_TRUE(pressRAndSeeIfTheCarMoved()) << "while racing";
    // The clock runs on through a recovery.
    const double clock = race->GetRemainingTime();
    RunFrames(60);
    EXPECT_NEAR(race->GetRemainingTime(), clock - 1.0, 1e-3);
    race->SetRemainingTime(0.0);
    EXPECT_FALSE(pressRAndSeeIfTheCarMoved()) << "once the time is up";
}

TEST_F(Recovery, WrongWayShowsAfterTwoSecondsAgainstTheRaceAndGoesWhenTheCarTurnsOnEveryTrackAndWay) {
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        SCOPED_TRACE(tracks.Label(choice));
        if (!race) SetUp();
        Start(true, &tracks.TrackOf(choice), choice.direction);
        const double s = road().GetLength() - 60.0;  // the run leading to the start line
        PlaceCar(s, 0.0, 180.0);
        RunFrames(30);
        Key(VK_UP);
        int against = 0;  // frames faster than 2 m/s the wrong way
        while (against < 90) {
            RunFrames(1);
            if (SpeedAlongRoad() < -WrongWay::MinSpeedMs) ++against;
            ASSERT_FALSE(race->GetWrongWay().IsShowing()) << "after " << against << " frames the wrong way";
        }
        RunFrames(40);
        ASSERT_LT(SpeedAlongRoad(), -5.0);
        EXPECT_TRUE(race->GetWrongWay().IsShowing()) << "after 2.2 s the wrong way";
        // Turned round (by hand, not by R) and driving the race's way again.
        Key(VK_UP, Release);
        const double here = road().Project(body().GetPosition().x, body().GetPosition().y);
        PlaceCar(here, 0.0, 0.0);
        RunFrames(30);
        EXPECT_TRUE(race->GetWrongWay().IsShowing()) << "standing still, the car has not turned yet";
        Key(VK_UP);
        RunFrames(90);
        Key(VK_UP, Release);
        EXPECT_GT(SpeedAlongRoad(), WrongWay::MinSpeedMs);
        EXPECT_FALSE(race->GetWrongWay().IsShowing());
        // R, once off the road, faces the car this way round too.
        PlaceCar(here + 200.0, 20.0, 150.0);
        RunFrames(30);
        Key(CarRecovery::Key);
        Key(CarRecovery::Key, Release);
        RunFrames(20);
        const vec3f p = body().GetPosition(), forward = body().GetAxis(1);
        const vmath::vec2<double> t = road().Tangent(road().Project(p.x, p.y));
        EXPECT_GT(forward.x * t.x + forward.y * t.y, 0.98);
        race.reset();
    }
}

TEST_F(Recovery, TheMapFitsTheRoadIntoTheTopRightCornerAndTheHudDrawsIt) {
    Start(false);
    Minimap map;
    map.SetRoad(road());
    map.Layout(1024.0f, 768.0f);
    const vmath::vec2<float> low = map.GetPanelMin(), high = map.GetPanelMax();
    EXPECT_FLOAT_EQ(high.x, 1024.0f - Minimap::MarginPx);
    EXPECT_FLOAT_EQ(high.y, 768.0f - Minimap::MarginPx);
    // The road's extents fill the panel inside its padding, proportions kept.
    const vmath::vec2<double> a = road().GetMin(), b = road().GetMax();
    const vmath::vec2<float> pa = map.Project(static_cast<float>(a.x), static_cast<float>(a.y));
    const vmath::vec2<float> pb = map.Project(static_cast<float>(b.x), static_cast<float>(b.y));
    EXPECT_NEAR(pa.x, low.x + Minimap::PaddingPx, 0.01f);
    EXPECT_NEAR(pa.y, low.y + Minimap::PaddingPx, 0.01f);
    EXPECT_NEAR(pb.x, high.x - Minimap::PaddingPx, 0.01f);
    EXPECT_NEAR(pb.y, high.y - Minimap::PaddingPx, 0.01f);
    EXPECT_NEAR((pb.x - pa.x) / (pb.y - pa.y), (b.x - a.x) / (b.y - a.y), 1e-3);
    for (const Track::Checkpoint& c : race->GetTrack().checkpoints) {
        const vmath::vec2<float> p = map.Project(c.x, c.y);
        EXPECT_TRUE(p.x > low.x && p.x < high.x && p.y > low.y && p.y < high.y) << c.x << ", " << c.y;
    }
    // The car's triangle points its way, north up: its tip leads the rear
    // corners. Forward (x, y, z) -> expected screen direction; on its tail, north.
    const float headings[][5] = {{0, 1, 0, 0, 1}, {1, 0, 0, 1, 0}, {-1, -1, 0.5f, -1, -1}, {0, 0, 1, 0, 1}};
    for (const auto& h : headings) {
        const auto m = map.CarMarker(vec3f(0, 0, 0), vec3f(h[0], h[1], h[2]));
        const float tx = m[0].x - (m[1].x + m[2].x) / 2, ty = m[0].y - (m[1].y + m[2].y) / 2;
        EXPECT_NEAR(std::atan2(ty, tx), std::atan2(h[4], h[3]), 1e-3) << h[0] << ", " << h[1];
    }

    // Drawn for real over the race: the panel's grey, the road's light
    // outline, the next checkpoint's yellow and the car's red.
    RunFrames(60);
    race->GetEngine().RenderScene();
    race->DrawHud();
    const BackBuffer pixels;
    ASSERT_EQ(pixels.Width(), 1024);
    const vmath::vec2<float> car = map.Project(body().GetPosition().x, body().GetPosition().y);
    const vmath::vec2<float> next = map.Project(race->GetTrack().checkpoints[0].x, race->GetTrack().checkpoints[0].y);
    auto around = [&pixels](vmath::vec2<float> p, int r, auto test) {
        return pixels.Count(static_cast<int>(p.x) - r, static_cast<int>(p.y) - r, static_cast<int>(p.x) + r + 1,
                            static_cast<int>(p.y) + r + 1, test);
    };
    EXPECT_GT(around(car, 3, [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; }), 10);
    EXPECT_GT(around(next, 2, IsYellow), 10);
    EXPECT_GT(pixels.Count(static_cast<int>(low.x), static_cast<int>(low.y), static_cast<int>(high.x),
                           static_cast<int>(high.y), [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; }),
              300);
}

TEST_F(Recovery, AFileTheRaceCannotUseIsRefusedInOneWarningAndTheRaceGoesOnWithoutIt) {
    // File text -> what the warning says.
    const char* const bad[][2] = {
        {"vantrel-track 1 3\n0 0\n1 0\n0 1\n", "does not begin"},
        {"vantrel-road 2 3\n0 0\n1 0\n0 1\n", "version 2"},
        {"vantrel-road 1 999999999\n0 0\n", "announces 999999999 points"},
        {"vantrel-road 1 4\n0 0\n1 0\n0 1\n", "ends after 3"},
        {"vantrel-road 1 3\n0 0\n1 0 0\n0 1\n", "line 3 is not two numbers"},
        {"vantrel-road 1 3\n0 0\n1e300 0\n0 1\n", "line 3 lies beyond"},
        {"vantrel-road 1 3\n0 0\n1 0\n0 1\n5 5\n", "more than its 3 points"},
        {"vantrel-road 1 3\n0 0\n0 0\n0 1\n", "repeats the point of line 2"},
    };
    for (const auto& b : bad) {
        RoadCentreLine line;
        std::istringstream in(b[0]);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(line.Parse(in, "test.road"));
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(said.rfind("[Warn] RoadCentreLine - test.road ", 0), 0u) << said;
        EXPECT_NE(said.find(b[1]), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(line.IsEmpty());
    }
    RoadCentreLine missing;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(missing.Load("no/such.road"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("no/such.road cannot be read"), std::string::npos);
    // Trailing blank lines and CRLF line ends are fine.
    RoadCentreLine square;
    std::istringstream text("vantrel-road 1 4\r\n0 0\r\n10 0\r\n10 10\r\n0 10\r\n\r\n");
    ASSERT_TRUE(square.Parse(text, "square"));
    EXPECT_DOUBLE_EQ(square.Project(12.0, 5.0), 15.0);

    // A race whose road is missing: R, the wrong-way check and the HUD do
    // without it, and the car stays where it is.
    Start(true);
    race->GetTrack().road = RoadCentreLine();
    RunFrames(5);
    const vec3f before = body().GetPosition();
    Key(CarRecovery::Key);
    RunFrames(1);
    EXPECT_LT(vmath::length(body().GetPosition() - before), 0.1f);
    race->DrawHud();
}
