// The race on the real game data in the application's window: starting,
// the render-option keys, spectator mode and a whole Time Trial driven with
// the arrow keys by a simple driver, frames on a fixed 1/60 s step without
// drawing. Skipped where the game data is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

#include <nodara/Camera.h>
#include <nodara/GroupNode.h>
#include <nodara/StateManager.h>
#include <nodara/View.h>

#include "Car.h"
#include "GameEngine.h"
#include "Gauge.h"
#include "CentreLineDriver.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

const int Press = 0, Release = 1;
const double Frame = 1.0 / 60.0;

class Race : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(GameEngine::TrackFile))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
        race = std::make_unique<GameEngine>(handler);
        ASSERT_TRUE(race->Initialize());
    }
    void TearDown() override { race.reset(); }
    bool Start(unsigned carIndex, bool freeDrive) {
        // The debug plug-in reports every object it adds.
        testing::internal::CaptureStdout();
        const bool started = race->Start(carIndex, freeDrive);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }
    void Key(unsigned key, int state = Press) { handler.DispatchKey(key, state); }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            race->UpdatePlayer();
            race->Update();
        }
    }

    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(Race, ACarThatCannotBeMadeFailsTheStart) {
    EXPECT_FALSE(Start(CarPool::CarCount, true));
    EXPECT_EQ(race->GetCar(), nullptr);
    // Frames of a race that did not start change nothing and do not crash.
    RunFrames(3);
}

TEST_F(Race, InitializeAgainReleasesTheCarsBeforeTheirWorldAndTheRaceStartsAnew) {
    ASSERT_TRUE(Start(0, true));
    ASSERT_NE(race->GetCar(), nullptr);
    // Under ASan: the old pool hands its bodies back to the old world, so
    // that world must still be there when the pool goes.
    ASSERT_TRUE(race->Initialize());
    EXPECT_EQ(race->GetCar(), nullptr);
    ASSERT_NE(race->GetWorld(), nullptr);
    RunFrames(3);
    ASSERT_TRUE(Start(1, true));
    ASSERT_NE(race->GetCar(), nullptr);
    RunFrames(30);
    EXPECT_GT(race->GetWorld()->GetTimeS(), 0.0);
}

TEST_F(Race, StartPutsTheCarOnTheStartLineAndHoldsItThroughTheCountdown) {
    ASSERT_TRUE(Start(0, false));
    Car* car = race->GetCar();
    ASSERT_NE(car, nullptr);
    ASSERT_NE(car->body, nullptr);
    EXPECT_EQ(race->GetTrack().checkpoints.size(), 5u);
    EXPECT_DOUBLE_EQ(race->GetRemainingTime(), 95.0);
    Key(VK_UP);
    RunFrames(200);  // 3.3 s: still counting down
    EXPECT_FALSE(car->controlsEnabled);
    EXPECT_LT(car->body->GetSpeedMs(), 0.05f);
    EXPECT_NEAR(car->body->GetPosition().x, 0.0f, 0.5f);
    EXPECT_NEAR(car->body->GetPosition().y, 0.0f, 0.5f);
    // The clock runs from the start, countdown included.
    EXPECT_NEAR(race->GetRemainingTime(), 95.0 - 200 * Frame, 1e-3);
    RunFrames(120);
    EXPECT_TRUE(car->controlsEnabled);
    EXPECT_GT(car->body->GetForwardSpeedMs(), 3.0f);
    EXPECT_GT(car->speedGauge->GetNeedleAngle(), -35.0f);
    EXPECT_LT(car->speedGauge->GetNeedleAngle(), 215.0f);
    // The car node and the chase camera follow the body.
    EXPECT_NEAR(car->node->GetTransform().GetMatrix()[13], car->body->GetPosition().y, 1e-4f);
    EXPECT_LT(race->GetEngine().GetCamera().GetView().GetEye().y, car->body->GetPosition().y - 5.0);
}

TEST_F(Race, SpectatorModeFreezesTheWorldAndTheClock) {
    ASSERT_TRUE(Start(1, false));
    Car* car = race->GetCar();
    Key(VK_UP);
    RunFrames(300);
    Key('S');
    ASSERT_TRUE(race->GetPlayer().IsSpectator());
    const vmath::vec3<float> position = car->body->GetPosition();
    const double clock = race->GetRemainingTime();
    const double world = race->GetWorld()->GetTimeS();
    const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
    RunFrames(60);
    EXPECT_EQ(race->GetWorld()->GetTimeS(), world);
    EXPECT_EQ(car->body->GetPosition().y, position.y);
    EXPECT_EQ(race->GetRemainingTime(), clock);
    // Up now flies the spectator camera instead.
    EXPECT_NE(race->GetEngine().GetCamera().GetView().GetEye().y, eye.y);
    Key('S');
    RunFrames(1);
    EXPECT_GT(race->GetWorld()->GetTimeS(), world);
}

TEST_F(Race, RenderOptionKeysCycleTheSettingsAndF1HidesTheMessage) {
    ASSERT_TRUE(Start(0, true));
    StateManager& states = race->GetEngine().GetRenderer()->GetStateManager();
    const StateManager::TextureFilter start = states.GetTextureFilter();
    for (int i = 0; i < 6; ++i) {
        Key(VK_F1 + 3);
        if (i == 0) {
            EXPECT_NE(states.GetTextureFilter(), start);
        }
    }
    EXPECT_EQ(states.GetTextureFilter(), start);
    EXPECT_EQ(race->GetMessage().rfind("Texture filtering: ", 0), 0u) << race->GetMessage();
    EXPECT_FLOAT_EQ(race->GetMessageAge(), 0.0f);
    Key(VK_F1 + 2);
    EXPECT_EQ(race->GetMessage(), "PolygonMode: Wireframe");
    Key(VK_F1 + 2);
    Key(VK_F1 + 8);
    EXPECT_TRUE(race->GetMessage() == "Render Transparencies: On" ||
                race->GetMessage() == "Render Transparencies: Off");
    Key(VK_F1);
    EXPECT_TRUE(race->IsShowingOptions());
    EXPECT_FLOAT_EQ(race->GetMessageAge(), 4.0f);
    // Releases and the free keys change nothing.
    Key(VK_F1, Release);
    Key(VK_F1 + 1);
    EXPECT_TRUE(race->IsShowingOptions());
    Key(VK_F1);
    EXPECT_FALSE(race->IsShowingOptions());
}

TEST_F(Race, TimeTrialIsWonWithTheArrowKeysByEachCar) {
    for (unsigned carIndex = 0; carIndex < CarPool::CarCount; ++carIndex) {
        SCOPED_TRACE(carIndex);
        if (carIndex > 0) SetUp();
        ASSERT_TRUE(Start(carIndex, false));
        CentreLineDriver driver(*race, handler);
        int frames = 0;
        // Ten minutes at most; the allowances add up to less than six.
        for (; frames < 36000 && !race->IsPerfect() && race->GetRemainingTime() > 0.0; ++frames) {
            if (race->GetCar()->controlsEnabled) driver.Drive();
            race->UpdatePlayer();
            race->Update();
        }
        const vmath::vec3<float> p = race->GetCar()->body->GetPosition();
        EXPECT_TRUE(race->IsPerfect()) << "stopped before checkpoint " << race->GetNextCheckpoint() << " at (" << p.x
                                       << ", " << p.y << ") after " << frames / 60.0 << " s";
        std::cout << "car " << carIndex << ": " << race->GetNextCheckpoint() << " checkpoints, "
                  << GameEngine::FormatClock(race->GetRemainingTime()) << " left after " << frames / 60.0 << " s"
                  << std::endl;
        RecordProperty("TimeLeftCar" + std::to_string(carIndex), GameEngine::FormatClock(race->GetRemainingTime()));
        // Once perfect, the world stands still.
        if (race->IsPerfect()) {
            const double t = race->GetWorld()->GetTimeS();
            RunFrames(30);
            EXPECT_EQ(race->GetWorld()->GetTimeS(), t);
        }
        race.reset();
    }
}
