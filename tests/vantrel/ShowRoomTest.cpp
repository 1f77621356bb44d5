// The show room and its display cars on generated stand-in data, drawn into
// the application's window (Xvfb + llvmpipe).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include <GL/gl.h>

#include <lumora/Lumora.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/View.h>

#include "cars/CarPool.h"
#include "GameDataFolder.h"
#include "GameWindow.h"
#include "showroom/ShowRoom.h"
#include "platform/WindowMessage.h"

namespace {

const int Press = 0, Release = 1;

class ShowRoomTest : public ::testing::Test {
protected:
    /// Makes the folder and a show room on it, initialised and loaded,
    /// keeping what it printed.
    bool Open(const GameDataFolder::Contents& contents = {}) {
        room.reset();
        folder.reset();
        folder = std::make_unique<GameDataFolder>(contents);
        room = std::make_unique<ShowRoom>(handler);
        testing::internal::CaptureStdout();
        const bool ok = room->Initialize() && room->Load();
        output = testing::internal::GetCapturedStdout();
        return ok;
    }
    void Key(unsigned key, int state = Press) { handler.DispatchKey(key, state); }
    /// The shown car's x axis, turned by the turntable.
    static vmath::vec3<float> XAxis(const GroupNode& node) {
        const float* m = node.GetTransform().GetMatrix().ptr();
        return vmath::vec3<float>(m[0], m[1], m[2]);
    }
    static const float* Matrix(const GroupNode& node) { return node.GetTransform().GetMatrix().ptr(); }

    void TearDown() override {
        room.reset();
        folder.reset();
    }

    EventHandler handler;
    std::unique_ptr<GameDataFolder> folder;
    std::unique_ptr<ShowRoom> room;
    std::string output;
};

bool Reddish(int r, int g, int b) { return r > g + 60 && r > b + 60; }
bool Bluish(int r, int g, int b) { return b > r + 60 && b > g + 60; }

}  // namespace

TEST_F(ShowRoomTest, MenuKeysWrapAroundAndIgnoreReleasesAndOtherKeys) {
    ASSERT_TRUE(Open()) << output;
    EXPECT_EQ(room->GetSelection(), ShowRoom::FreeDrive);
    Key(VK_UP);  // from the top to the bottom
    EXPECT_EQ(room->GetSelection(), ShowRoom::ExitGame);
    Key(VK_DOWN);  // and from the bottom back to the top
    EXPECT_EQ(room->GetSelection(), ShowRoom::FreeDrive);
    Key(VK_DOWN);
    EXPECT_EQ(room->GetSelection(), ShowRoom::TimeTrial);
    Key(VK_DOWN, Release);
    Key(VK_UP, Release);
    EXPECT_EQ(room->GetSelection(), ShowRoom::TimeTrial);
    // Return and Escape are the application's.
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    Key('A');
    EXPECT_EQ(room->GetSelection(), ShowRoom::TimeTrial);
    EXPECT_EQ(room->GetCarIndex(), 0u);
}

TEST_F(ShowRoomTest, CarKeysSwapCarsKeepingTheTurntableAngle) {
    ASSERT_TRUE(Open()) << output;
    ASSERT_EQ(room->GetCarIndex(), 0u);
    Car* first = room->GetCurrentCar();
    ASSERT_NE(first, nullptr);
    room->GetFrameStatistics().cycleTime = 2.0;  // 24 degrees
    room->Update();
    const std::vector<float> turned(Matrix(*first->node), Matrix(*first->node) + 16);

    Key(VK_LEFT);  // from car 0 to car 1
    EXPECT_EQ(room->GetCarIndex(), 1u);
    Car* second = room->GetCurrentCar();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(Matrix(*second->node)[i], turned[i]) << i;
    Key(VK_RIGHT);  // from car 1 back to car 0
    EXPECT_EQ(room->GetCarIndex(), 0u);
    Key(VK_RIGHT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    Key(VK_RIGHT, Release);
    EXPECT_EQ(room->GetCarIndex(), 1u);
}

TEST_F(ShowRoomTest, TurntableTurnsTwelveDegreesPerSecondOnTheSpot) {
    ASSERT_TRUE(Open()) << output;
    GroupNode& node = *room->GetCurrentCar()->node;
    // Placed on the turntable by Load.
    EXPECT_FLOAT_EQ(Matrix(node)[12], 1.68f);
    EXPECT_FLOAT_EQ(Matrix(node)[13], 3.63f);
    EXPECT_FLOAT_EQ(Matrix(node)[14], -2.1f);
    const vmath::vec3<float> before = XAxis(node);
    room->GetFrameStatistics().cycleTime = 0.5;
    room->Update();
    const vmath::vec3<float> after = XAxis(node);
    const double angle = std::atan2(before.x * after.y - before.y * after.x, before.x * after.x + before.y * after.y);
    EXPECT_NEAR(angle * 180.0 / M_PI, 6.0, 1e-3);
    EXPECT_FLOAT_EQ(after.z, 0.0f);
    EXPECT_FLOAT_EQ(Matrix(node)[12], 1.68f);
    EXPECT_FLOAT_EQ(Matrix(node)[13], 3.63f);
}

TEST_F(ShowRoomTest, LoadSetsTheLightAndCameraAndSharesTheCarWithTheDisplayNode) {
    ASSERT_TRUE(Open()) << output;
    EXPECT_EQ(output.find("[ERROR]"), std::string::npos) << output;
    const Light& light = room->GetEngine().GetScene().GetLight();
    EXPECT_FLOAT_EQ(light.GetPosition().y, -2.0f);
    EXPECT_FLOAT_EQ(light.GetPosition().z, 2.5f);
    EXPECT_FLOAT_EQ(light.GetSpotDirection().y, 3.63f);
    const View& view = room->GetEngine().GetCamera().GetView();
    EXPECT_DOUBLE_EQ(view.GetEye().x, -0.241);
    EXPECT_DOUBLE_EQ(view.GetCenter().z, -0.71);

    // The display node stands in for the shown car: the same children, drawn
    // with the car's own transform, and it follows a switch at the next frame.
    GroupNode* display = room->GetDisplayNode();
    ASSERT_NE(display, nullptr);
    GroupNode* car0 = room->GetCurrentCar()->node;
    ASSERT_EQ(display->GetChildCount(), car0->GetChildCount());
    EXPECT_EQ(display->GetChild(0), car0->GetChild(0));
    EXPECT_EQ(&display->GetState(), &car0->GetState());
    Key(VK_RIGHT);
    room->Frame();
    GroupNode* car1 = room->GetCurrentCar()->node;
    EXPECT_EQ(display->GetChild(0), car1->GetChild(0));
    // Deleting the show room frees the cars' nodes once, through their models
    // (the sanitizer build catches a second release through the display node).
    room.reset();
}

TEST_F(ShowRoomTest, FrameDrawsTheMenuTheSignAndTheChosenCar) {
    ASSERT_TRUE(Open()) << output;
    room->Frame();
    {
        BackBuffer shot;
        const int h = shot.Height();
        ASSERT_EQ(shot.Width(), 1024);
        // "Free Drive" highlighted at the top of the menu, "Time Trial" not.
        EXPECT_GT(shot.Count(110, h - 75, 330, h - 40, IsYellow), 50);
        EXPECT_EQ(shot.Count(110, h - 145, 330, h - 110, IsYellow), 0);
        // The sign, right of the menu, in its own colour.
        const std::uint8_t* sign = shot.At(shot.Width() - 250, h - 130);
        EXPECT_EQ(sign[0], GameDataFolder::SignColour[0]);
        EXPECT_EQ(sign[1], GameDataFolder::SignColour[1]);
        EXPECT_EQ(sign[2], GameDataFolder::SignColour[2]);
        // The red car in the middle of the room.
        EXPECT_GT(shot.Count(200, 100, 824, 500, Reddish), 2000);
        EXPECT_EQ(shot.Count(200, 100, 824, 500, Bluish), 0);
    }
    Key(VK_DOWN);
    Key(VK_RIGHT);
    room->Frame();
    BackBuffer shot;
    const int h = shot.Height();
    EXPECT_EQ(shot.Count(110, h - 75, 330, h - 40, IsYellow), 0);
    EXPECT_GT(shot.Count(110, h - 145, 330, h - 110, IsYellow), 50);
    EXPECT_GT(shot.Count(200, 100, 824, 500, Bluish), 2000);
    EXPECT_EQ(shot.Count(200, 100, 824, 500, Reddish), 0);
}

TEST_F(ShowRoomTest, ACarThatDoesNotLoadIsSkipped) {
    GameDataFolder::Contents contents;
    contents.car0 = false;
    ASSERT_TRUE(Open(contents)) << output;
    EXPECT_NE(output.find("[WARN] ShowRoom: car \"../data/cars/NissanSkyline/NissanSkyline.dae\""), std::string::npos)
        << output;
    // The first car that loaded is shown, and the car keys have nowhere to go.
    EXPECT_EQ(room->GetCarIndex(), 1u);
    Key(VK_LEFT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    Key(VK_RIGHT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    room->Frame();
    EXPECT_EQ(room->GetDisplayNode()->GetChild(0), room->GetCurrentCar()->node->GetChild(0));
}

TEST_F(ShowRoomTest, ACarModelWithoutItsCarNodeIsSkipped) {
    GameDataFolder::Contents contents;
    contents.car0WithoutNode = true;
    ASSERT_TRUE(Open(contents)) << output;
    EXPECT_EQ(room->GetCarIndex(), 1u);
    // The node-less model was given back: only the room and car 1 hang in the scene.
    EXPECT_EQ(room->GetEngine().GetScene().GetRootNode().GetChildCount(), 2u);
}

TEST_F(ShowRoomTest, LoadFailsWithoutAnyCarOrWithoutTheRoom) {
    GameDataFolder::Contents noCars;
    noCars.car0 = noCars.car1 = false;
    EXPECT_FALSE(Open(noCars));
    EXPECT_NE(output.find("[ERROR] ShowRoom: no car loaded"), std::string::npos) << output;
    EXPECT_EQ(room->GetCurrentCar(), nullptr);
    Key(VK_RIGHT);  // nothing to switch to, and nothing breaks
    room->Update();
    room.reset();

    GameDataFolder::Contents noRoom;
    noRoom.room = false;
    EXPECT_FALSE(Open(noRoom));
    EXPECT_NE(output.find("[ERROR] ShowRoom: the room \"../data/models/ShowRoom/ShowRoom.dae\""), std::string::npos)
        << output;
}

TEST_F(ShowRoomTest, InitializeFailsWithoutTheSign) {
    GameDataFolder::Contents contents;
    contents.sign = false;
    folder = std::make_unique<GameDataFolder>(contents);
    room = std::make_unique<ShowRoom>(handler);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(room->Initialize());
    output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("[ERROR] ShowRoom: the sign \"../data/models/ShowRoom/Sign-Vantrel.jpg\""),
              std::string::npos)
        << output;
    EXPECT_EQ(room->GetSignTexture(), 0u);
}

TEST_F(ShowRoomTest, ASecondInitializeIsRefusedAndTheOneSignGoesWithTheRoom) {
    ASSERT_TRUE(Open()) << output;
    const unsigned int sign = room->GetSignTexture();
    ASSERT_NE(sign, 0u);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(room->Initialize());
    output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("[ERROR] ShowRoom: Initialize was already called"), std::string::npos) << output;
    EXPECT_EQ(room->GetSignTexture(), sign);
    EXPECT_TRUE(glIsTexture(sign));
    room->Frame();
    room.reset();
    EXPECT_FALSE(glIsTexture(sign));
}

TEST_F(ShowRoomTest, RegistersForKeysUntilDeleted) {
    room = std::make_unique<ShowRoom>(handler);
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 1u);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 0), room.get());
    EXPECT_EQ(handler.GetListenerCount(EventHandler::MouseEvent), 0u);
    room.reset();
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 0u);
}

TEST(CarPool, MakesEachDisplayCarOnceAndNothingOutOfRange) {
    GameDataFolder folder;
    Lumora engine;
    ASSERT_TRUE(engine.Initialize());
    CarPool pool(engine);
    Car* car = pool.GetCar(1);
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(car->node->GetName(), "BugattiVeyron");
    EXPECT_NE(car->model, nullptr);
    EXPECT_EQ(pool.GetCar(1), car);
    EXPECT_EQ(engine.GetScene().GetRootNode().GetChildCount(), 1u);
    EXPECT_EQ(pool.GetCar(CarPool::CarCount), nullptr);
}

TEST_F(ShowRoomTest, EveryPresetDrawsTheRoomTheMenuAndTheCarAtOnce) {
    ASSERT_TRUE(Open()) << output;
    for (QualityPreset::Level level : {QualityPreset::Low, QualityPreset::Medium, QualityPreset::High}) {
        SCOPED_TRACE(QualityPreset::Name(level));
        ASSERT_TRUE(room->SetQuality(level));
        room->Frame();
        BackBuffer shot;
        const int h = shot.Height();
        EXPECT_GT(shot.Count(110, h - 75, 330, h - 40, IsYellow), 50);
        EXPECT_GT(shot.Count(200, 100, 824, 500, Reddish), 2000);
        // The room around the car is lit, not left black.
        EXPECT_GT(shot.Count(0, 100, 1024, 500, [](int r, int g, int b) { return r + g + b > 90; }), 100000);
    }
}
