// The player's options in a race on the real game data: the keys they bound
// drive and pause it, the chase camera hangs where they set it, the field of
// view widens what is drawn, and in mph the speed needle reads miles. Frames
// on a fixed 1/60 s step; skipped where the game data is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include <nodara/Camera.h>
#include <nodara/View.h>

#include "GameWindow.h"
#include "cars/Car.h"
#include "hud/Gauge.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"

namespace {

const int Press = 0, Release = 1;
const double Frame = 1.0 / 60.0;

class RaceOptions : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }
    void TearDown() override { race.reset(); }
    /// A Free Drive with car 0 at Low (the quickest to draw), as the options set it.
    bool Start(const KeyBindings& keys, const CameraSettings& camera, const DisplaySettings& display) {
        race = std::make_unique<GameEngine>(handler);
        race->SetQuality(QualityPreset::Low);
        race->GetPlayer().SetKeyBindings(keys);
        race->SetView(camera, display);
        if (!race->Initialize()) return false;
        testing::internal::CaptureStdout();  // the debug plug-in reports every object it adds
        const bool started = race->Start(0, RaceMode::FreeDrive);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            race->Step();
        }
    }
    float SpeedMs() const { return race->GetCar()->body->GetSpeedMs(); }

    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(RaceOptions, TheBoundKeysDriveAndPauseAndInMphTheNeedleReadsMiles) {
    KeyBindings keys;
    ASSERT_EQ(keys.Bind(KeyBindings::Throttle, 'T'), KeyBindings::Refusal::None);
    ASSERT_EQ(keys.Bind(KeyBindings::Pause, 'O'), KeyBindings::Refusal::None);
    DisplaySettings display;
    display.speedUnit = SpeedUnit::Mph;
    ASSERT_TRUE(Start(keys, CameraSettings(), display));
    Car& car = *race->GetCar();

    handler.DispatchKey(VK_UP, Press);
    RunFrames(90);
    handler.DispatchKey(VK_UP, Release);
    EXPECT_LT(SpeedMs(), 0.2f) << "Up is no longer the throttle";
    handler.DispatchKey('T', Press);
    RunFrames(180);
    handler.DispatchKey('T', Release);
    const float speedMs = SpeedMs();
    EXPECT_GT(speedMs, 8.0f) << "T is";

    // The mph dial sweeps 215 to -35 degrees over 0 to 200 mph.
    EXPECT_NEAR(car.shownSpeedMs, speedMs, 0.3f) << "the last frame's speed";
    const float mph = car.shownSpeedMs * 3600.0f / 1609.344f;
    EXPECT_NEAR(car.speedGauge->GetNeedleAngle(), 215.0f - mph / 200.0f * 250.0f, 0.05f);
    EXPECT_EQ(car.speedUnit, SpeedUnit::Mph);

    handler.DispatchKey('P', Press);
    EXPECT_FALSE(race->GetRaceClock().IsPaused()) << "P is free now";
    handler.DispatchKey('O', Press);
    EXPECT_TRUE(race->GetRaceClock().IsPaused());
}

TEST_F(RaceOptions, TheChaseCameraHangsAsSetAndAWiderFieldOfViewDrawsTheCarSmaller) {
    CameraSettings camera;
    camera.chaseDistanceM = 15.0f;
    camera.chaseHeightM = 3.5f;
    ASSERT_TRUE(Start(KeyBindings(), camera, DisplaySettings()));
    RunFrames(180);  // the chase camera's run-in, the car standing
    const View& view = race->GetEngine().GetCamera().GetView();
    const vmath::vec3<float> p = race->GetCar()->body->GetPosition();
    const vmath::vec3<double> eye = view.GetEye();
    const double dx = eye.x - p.x, dy = eye.y - p.y, dz = eye.z - p.z;
    // The first view's eye stands 2 m nearer than its anchor, raised as set.
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), std::hypot(15.0 - 2.0, 3.5), 0.6);

    const auto carPixels = [this](float fieldOfViewDeg) {
        CameraSettings wider;
        wider.fieldOfViewDeg = fieldOfViewDeg;
        race->SetView(wider, DisplaySettings());
        race->RenderScene();
        const BackBuffer shot;
        // The blue paint, not the sky's blue.
        return shot.Count(0, 0, shot.Width(), shot.Height(),
                          [](int r, int g, int b) { return b > r + 60 && b > g + 40 && g < 100 && r < 80; });
    };
    const int narrow = carPixels(60.0f), wide = carPixels(100.0f);
    std::printf("car pixels at 60 degrees %d, at 100 degrees %d\n", narrow, wide);
    EXPECT_GT(narrow, 3000);
    // tan 23.4 / tan 41.5 of the vertical field squared: about a quarter.
    EXPECT_LT(wide, narrow * 0.4);
    EXPECT_GT(wide, narrow * 0.1);
}
