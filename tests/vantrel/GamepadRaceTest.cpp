// A pad in the race on the real game data: plugged in mid-race it drives
// the car along the road, off the road it rumbles, unplugged the race waits
// and the car is let go. Frames on a fixed 1/60 s step; skipped where the
// game data is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cars/Car.h"
#include "drivers/CarRumble.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"
#include "input/Gamepad.h"
#include "track/RoadCentreLine.h"
#include "VirtualPad.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"

namespace {

const double Frame = 1.0 / 60.0;

class PadRace : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
        race = std::make_unique<GameEngine>(handler);
        ASSERT_TRUE(race->Initialize());
        testing::internal::CaptureStdout();  // the debug plug-in reports every object it adds
        const bool started = race->Start(0, true);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(started);
        ASSERT_FALSE(road().IsEmpty());
        race->GetFrameStatistics().cycleTime = Frame;
        ASSERT_TRUE(gamepad.Initialize());
        race->GetPlayer().SetGamepad(&gamepad, &road());
    }
    void TearDown() override { race.reset(); }
    /// The game loop's share: the pads' events, the player and the world.
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            PumpPadEvents(gamepad);
            gamepad.Update(false);
            race->Step();
        }
    }
    const RoadCentreLine& road() { return race->GetTrack().road; }
    physics::DynamicObjectCar& body() { return *race->GetCar()->body; }
    /// The stick's x for a steering demand: the pad's curve undone.
    static float StickFor(double steering) {
        const double deflection =
            Gamepad::StickDeadZone +
            (1.0 - Gamepad::StickDeadZone) * std::pow(std::fabs(steering), 1.0 / Gamepad::SteeringExponent);
        return static_cast<float>(steering > 0.0 ? -deflection : deflection);
    }
    /// Pure pursuit with the stick: the arc through the centre line's point ahead.
    float Pursue() {
        const vmath::vec3<float> p = body().GetPosition(), forward = body().GetAxis(1);
        const double s = road().Project(p.x, p.y);
        const RoadCentreLine::Point target = road().At(s + 8.0 + 0.3 * std::max(0.0f, body().GetForwardSpeedMs()));
        const double dx = target.x - p.x, dy = target.y - p.y;
        const double along = dx * forward.x + dy * forward.y, left = -dx * forward.y + dy * forward.x;
        const double v2 = std::max<double>(body().GetForwardSpeedMs() * body().GetForwardSpeedMs(), 1.0);
        const double fullLock = std::min(0.55, std::atan(16.0 * 2.2 / v2));
        const double curvature = 2.0 * left / (along * along + left * left);
        return StickFor(std::clamp(std::atan(curvature * 2.2) / fullLock, -1.0, 1.0));
    }
    double OffRoadM() {
        const vmath::vec3<float> p = body().GetPosition();
        return CarRumble::DistanceFromRoad(road(), p.x, p.y);
    }

    EventHandler handler;
    std::unique_ptr<GameEngine> race;
    Gamepad gamepad{handler};
};

}  // namespace

TEST_F(PadRace, APadPluggedInMidRaceDrivesItsRumblesOffTheRoadAndUnpluggedPausesAndLetsGo) {
    RunFrames(60);
    EXPECT_LT(body().GetSpeedMs(), 0.1f) << "no pad, no keys";

    VirtualPad pad;
    ASSERT_TRUE(pad.IsPlugged()) << SDL_GetError();
    RunFrames(1);
    ASSERT_EQ(gamepad.GetCount(), 1u);

    // Twenty seconds along the road on the right trigger and the stick.
    const double startS = road().Project(0.0, 0.0);
    double worstOffRoadM = 0.0, topSpeedMs = 0.0;
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.7f);
    for (int i = 0; i < 1200; ++i) {
        pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, Pursue());
        RunFrames(1);
        worstOffRoadM = std::max(worstOffRoadM, OffRoadM());
        topSpeedMs = std::max<double>(topSpeedMs, body().GetSpeedMs());
    }
    const vmath::vec3<float> p = body().GetPosition();
    const double drivenM = road().Project(p.x, p.y) - startS;
    std::cout << "pad drive: " << drivenM << " m along the road in 20 s, top speed " << topSpeedMs * 3.6
              << " km/h, at most " << worstOffRoadM << " m from the centre line, gear " << body().GetCurrentGear()
              << std::endl;
    EXPECT_GT(drivenM, 250.0);
    EXPECT_LT(worstOffRoadM, CarRumble::OffRoadM);
    EXPECT_TRUE(pad.rumbles.empty()) << "on the road, no rumble";

    // Full right into the countryside: the light rumble.
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, 1.0f);
    int frames = 0;
    for (; frames < 600 && OffRoadM() < CarRumble::OffRoadM + 1.0; ++frames) RunFrames(1);
    EXPECT_FLOAT_EQ(race->GetCar()->steering, -1.0f);
    ASSERT_LT(frames, 600) << "the car never left the road";
    ASSERT_FALSE(pad.rumbles.empty());
    EXPECT_NEAR(pad.rumbles.back().first, CarRumble::OffRoad.lowFrequency * 65535.0f, 1.0f);

    // Unplugged with the trigger and the stick held: the race waits, and on
    // its way again the car has no throttle nor steering.
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);  // throttle by the D-pad's key too
    RunFrames(1);
    pad.Unplug();
    RunFrames(1);
    EXPECT_EQ(gamepad.GetCount(), 0u);
    EXPECT_TRUE(race->GetRaceClock().IsPaused());
    const double worldS = race->GetWorld()->GetTimeS();
    const vmath::vec3<float> at = body().GetPosition();
    RunFrames(60);
    EXPECT_EQ(race->GetWorld()->GetTimeS(), worldS);
    EXPECT_EQ(body().GetPosition().x, at.x);
    handler.DispatchKey('P', 0);
    RunFrames(1);
    EXPECT_FALSE(race->GetRaceClock().IsPaused());
    EXPECT_FLOAT_EQ(race->GetCar()->throttle, 0.0f);
    EXPECT_FLOAT_EQ(race->GetCar()->steering, 0.0f);
}
