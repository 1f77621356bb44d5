// The show room and its display cars on generated stand-in data, drawn into
// the application's window (Xvfb + llvmpipe).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include <GL/gl.h>

#include <lumora/Lumora.h>
#include <lumora/OglScaledView.h>
#include <nodara/Camera.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/Renderer.h>
#include <nodara/SwitchNode.h>
#include <nodara/View.h>

#include "cars/CarPool.h"
#include "GameDataFolder.h"
#include "GameWindow.h"
#include "showroom/ContactShadow.h"
#include "showroom/ShowRoom.h"
#include "storage/SettingsStore.h"
#include "track/TrackList.h"
#include "platform/WindowMessage.h"

namespace {

/// Pixels for which `test` holds in menu entry `entry`'s line, its text
/// standing on the line MenuLineHeightPx (entry + 1) below the top.
template <typename Test>
int CountInEntry(const BackBuffer& shot, int entry, Test test) {
    const int line = shot.Height() - static_cast<int>(ShowRoom::MenuLineHeightPx) * (entry + 1);
    return shot.Count(110, line - 12, 330, line + 22, test);
}

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

/// Where the point `p` of the frame `matrix` (GL order) lands in the window,
/// in pixels from the bottom left, as the scene seen through `view` is drawn
/// with the projection and viewport GL holds now; false when behind the eye.
bool WindowPoint(Renderer& renderer, const View& view, const vmath::mat4<float>& matrix, vmath::vec3<float> p,
                 int& x, int& y) {
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    renderer.SetViewing(view);
    glMultMatrixf(matrix.ptr());
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glPopMatrix();
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r)
        eye[r] = modelView[r] * p.x + modelView[4 + r] * p.y + modelView[8 + r] * p.z + modelView[12 + r];
    for (int r = 0; r < 4; ++r)
        clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                  projection[12 + r] * eye[3];
    if (clip[3] <= 0.0) return false;
    x = static_cast<int>(viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * viewport[2]);
    y = static_cast<int>(viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * viewport[3]);
    return true;
}

/// The levels the switches below `node` show.
std::set<unsigned> SelectedLevels(const Node& node) {
    std::set<unsigned> levels;
    if (const auto* choice = dynamic_cast<const SwitchNode*>(&node)) levels.insert(choice->GetSelected());
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) {
        const std::set<unsigned> below = SelectedLevels(*child);
        levels.insert(below.begin(), below.end());
    }
    return levels;
}

/// Mean of r + g + b over the 5 x 5 pixels around (x, y).
int Brightness(const BackBuffer& shot, int x, int y) {
    int sum = 0;
    for (int j = y - 2; j <= y + 2; ++j)
        for (int i = x - 2; i <= x + 2; ++i) {
            const std::uint8_t* p = shot.At(i, j);
            sum += p[0] + p[1] + p[2];
        }
    return sum / 25;
}

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

TEST_F(ShowRoomTest, TheTrackEntryStepsThroughEveryTrackAndWayOnReturnRightAndLeftAndKeepsTheChoice) {
    // The game's own tracks beside the stand-in room and cars.
    TrackList tracks;
    if (tracks.Load(std::string(SHADER_DIR) + "/../tracks") == 0) GTEST_SKIP() << "no tracks beside " << SHADER_DIR;
    const std::size_t count = tracks.GetChoices().size();
    ASSERT_GE(count, 2u);
    ASSERT_TRUE(Open()) << output;
    // In the scratch folder, which the fixture is in.
    const std::string config = (std::filesystem::current_path().parent_path() / "config").string();
    SettingsStore settings(config);
    room->SetTracks(&tracks, 0, &settings);
    EXPECT_EQ(room->GetTrackEntry(), "Track: GreenValley");
    for (int i = 0; i < ShowRoom::Track; ++i) Key(VK_DOWN);
    ASSERT_EQ(room->GetSelection(), ShowRoom::Track);
    Key(VK_RETURN);
    EXPECT_EQ(room->GetTrackEntry(), "Track: GreenValley reversed");
    // Kept at once, for the next run.
    EXPECT_EQ(SettingsStore(config).Get("race", "direction"), "reverse");
    // Right on: round every way of every track back to the first; Left back; the car stays.
    for (std::size_t i = 1; i < count; ++i) Key(VK_RIGHT);
    EXPECT_EQ(room->GetTrackChoice(), 0u);
    Key(VK_LEFT);
    EXPECT_EQ(room->GetTrackChoice(), count - 1);
    EXPECT_EQ(room->GetTrackEntry(), "Track: " + tracks.Label(tracks.GetChoices()[count - 1]));
    EXPECT_EQ(SettingsStore(config).Get("race", "track"), tracks.TrackOf(tracks.GetChoices()[count - 1]).GetKey());
    Key(VK_RIGHT, Release);
    EXPECT_EQ(room->GetTrackChoice(), count - 1);
    EXPECT_EQ(room->GetCarIndex(), 0u);
    // Elsewhere in the menu Right is the car's again.
    Key(VK_UP);
    Key(VK_RIGHT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    EXPECT_EQ(room->GetTrackChoice(), count - 1);
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
        // "Free Drive" highlighted at the top of the menu, "Time Trial" not
        // (their lines one and two menu lines below the top).
        EXPECT_GT(CountInEntry(shot, 0, IsYellow), 50);
        EXPECT_EQ(CountInEntry(shot, 1, IsYellow), 0);
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
    EXPECT_EQ(CountInEntry(shot, 0, IsYellow), 0);
    EXPECT_GT(CountInEntry(shot, 1, IsYellow), 50);
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

TEST_F(ShowRoomTest, RegistersForKeysAndTheMouseUntilDeleted) {
    room = std::make_unique<ShowRoom>(handler);
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 1u);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 0), room.get());
    EXPECT_EQ(handler.GetListenerCount(EventHandler::MouseEvent), 1u);
    EXPECT_EQ(handler.GetListener(EventHandler::MouseEvent, 0), room.get());
    room.reset();
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 0u);
    EXPECT_EQ(handler.GetListenerCount(EventHandler::MouseEvent), 0u);
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
    EXPECT_EQ(pool.GetCar(CarPool::Count()), nullptr);
}

TEST_F(ShowRoomTest, EveryPresetDrawsTheRoomTheMenuAndTheCarAtOnce) {
    ASSERT_TRUE(Open()) << output;
    for (QualityPreset::Level level : {QualityPreset::Low, QualityPreset::Medium, QualityPreset::High}) {
        SCOPED_TRACE(QualityPreset::Name(level));
        ASSERT_TRUE(room->SetQuality(level));
        room->Frame();
        BackBuffer shot;
        const int w = shot.Width(), h = shot.Height();
        EXPECT_GT(CountInEntry(shot, 0, IsYellow), 50);
        EXPECT_GT(shot.Count(200, 100, 824, 500, Reddish), 2000);
        // The room around the car is lit, not left black.
        EXPECT_GT(shot.Count(0, 100, 1024, 500, [](int r, int g, int b) { return r + g + b > 90; }), 100000);

        // The grey band under the menu lies over the room once at every
        // preset (below High it is drawn into the reduced view before the
        // stretch): just inside its upper edge the room shows at 0.4 of what
        // it is just above, plus the grey's share.
        int banded = 0;
        for (int x = 5; x < 100; x += 10) {
            const int above = shot.At(x, h - 26)[1], inside = shot.At(x, h - 35)[1];
            if (std::abs(inside - (0.4 * above + 0.6 * 0.3 * 255)) <= 8) ++banded;
        }
        EXPECT_GE(banded, 8) << "of 10 columns";

        // Below High the 3-D view is drawn into a target of the preset's
        // share of the window, then stretched; at High straight into it,
        // unless the window has no depth buffer of its own (as the game
        // asks): then into a target of the window's size.
        const float scale = QualityPreset::For(level).renderScale;
        const OglScaledView& scaled = room->GetScaledView();
        GLint windowDepth = 0;
        glGetIntegerv(GL_DEPTH_BITS, &windowDepth);
        if (scale < 1.0f || windowDepth == 0) {
            EXPECT_NEAR(scaled.GetTargetWidth(), w * scale, 1.0);
            EXPECT_NEAR(scaled.GetTargetHeight(), h * scale, 1.0);
        } else {
            EXPECT_EQ(scaled.GetTargetWidth(), 0);
            EXPECT_EQ(scaled.GetTargetHeight(), 0);
        }

        // The car on the stand is its near look below High.
        EXPECT_EQ(SelectedLevels(*room->GetDisplayNode()), std::set<unsigned>{level == QualityPreset::High ? 0u : 1u});

        if (level != QualityPreset::Low) continue;
        // Without its shadow map the car stands on a dark patch: the floor
        // just off each side of the stand-in's 1.8 x 4 m body that faces the
        // eye is darker than the floor past the patch's edge. The scene alone,
        // without the bands of the overlay.
        room->RenderScene();
        const BackBuffer scene;
        const Car* car = room->GetCurrentCar();
        ASSERT_NE(car, nullptr);
        const ContactShadow::Footprint footprint = ContactShadow::FootprintOf(*car->node);
        ASSERT_FALSE(footprint.IsEmpty());
        const vmath::mat4<float>& matrix = room->GetDisplayNode()->GetTransform().GetMatrix();
        const View& view = room->GetEngine().GetCamera().GetView();
        Renderer& renderer = *room->GetEngine().GetRenderer();
        // The eye in the car's frame (GL order: the rotation in the upper
        // left, the translation in the last row).
        const float* m = matrix.ptr();
        const vmath::vec3<double>& eyeInRoom = view.GetEye();
        const double d[3] = {eyeInRoom.x - m[12], eyeInRoom.y - m[13], eyeInRoom.z - m[14]};
        const double eyeX = d[0] * m[0] + d[1] * m[1] + d[2] * m[2], eyeY = d[0] * m[4] + d[1] * m[5] + d[2] * m[6];
        const float ground = footprint.groundZ, bodyX = 0.9f, bodyY = 2.0f, off = 0.1f, past = 0.3f;
        struct Side {
            bool facesEye;
            vmath::vec3<float> under, beside;
        };
        const Side sides[4] = {
            {eyeX > bodyX, {bodyX + off, 0.0f, ground}, {footprint.maxX + past, 0.0f, ground}},
            {eyeX < -bodyX, {-bodyX - off, 0.0f, ground}, {footprint.minX - past, 0.0f, ground}},
            {eyeY > bodyY, {0.0f, bodyY + off, ground}, {0.0f, footprint.maxY + past, ground}},
            {eyeY < -bodyY, {0.0f, -bodyY - off, ground}, {0.0f, footprint.minY - past, ground}}};
        const auto inWindow = [&](int x, int y) { return x >= 2 && x < w - 2 && y >= 2 && y < h - 2; };
        int compared = 0;
        for (const Side& side : sides) {
            // The body hides the floor off the sides that face away.
            int ux = 0, uy = 0, bx = 0, by = 0;
            if (!side.facesEye || !WindowPoint(renderer, view, matrix, side.under, ux, uy) ||
                !WindowPoint(renderer, view, matrix, side.beside, bx, by) || !inWindow(ux, uy) || !inWindow(bx, by))
                continue;
            ++compared;
            const int under = Brightness(scene, ux, uy), beside = Brightness(scene, bx, by);
            EXPECT_LT(under, 0.8 * beside) << "the floor under the car (" << ux << ", " << uy
                                           << ") against beside it (" << bx << ", " << by << ")";
        }
        EXPECT_GT(compared, 0) << "no side of the car with the floor beside it in view";
    }
}

TEST_F(ShowRoomTest, TheTurningCarOverTheKeptRoomLooksAsTheWholeSceneDrawnAnew) {
    ASSERT_TRUE(Open()) << output;
    Car* car = room->GetCurrentCar();
    ASSERT_NE(car, nullptr);
    Lumora& engine = room->GetEngine();
    // At Low the car goes over the kept room; at Medium and High the room is
    // shadowed again where the car's shadow can fall, the rest kept, and at
    // High the car reflects the room as when the whole frame is drawn.
    for (QualityPreset::Level level : {QualityPreset::Low, QualityPreset::Medium, QualityPreset::High}) {
        SCOPED_TRACE(QualityPreset::Name(level));
        const QualityPreset::Settings settings = QualityPreset::For(level);
        ASSERT_TRUE(room->SetQuality(level));
        room->Frame();  // keeps the room's picture, the car and its shadow left out of it
        // Six frames draw the environment map's six faces; the room stands
        // still, so no frame after them draws one, the whole one below included.
        for (int face = 1; face < 6; ++face) room->Frame();
        // A quarter turn, then less: a car or shadow left in the kept picture
        // would show at its old angle.
        for (float turn : {90.0f, 35.0f}) {
            car->node->GetTransform().Rotate(turn, vmath::vec3<float>(0.0f, 0.0f, 1.0f));
            room->Frame();
            EXPECT_TRUE(room->GetScaledView().HasPicture());
            const OglScaledView& view = room->GetScaledView();
            EXPECT_EQ(room->GetRoomLight().IsKept(view.GetTargetWidth(), view.GetTargetHeight()), settings.shadows)
                << "the shadow is mixed over the room's lit and unlit pictures";
            const BackBuffer kept;

            // The same frame drawn whole through the effect pass, with the
            // patch under the car where there is no shadow map; the bands are
            // not drawn here, so only the rows between them are compared.
            OglScaledView whole;
            ASSERT_TRUE(whole.Begin(settings.renderScale));
            engine.RenderScene();
            if (!settings.shadows)
                ContactShadow::Draw(*engine.GetRenderer(), engine.GetCamera().GetView(),
                                    room->GetDisplayNode()->GetTransform().GetMatrix(),
                                    ContactShadow::FootprintOf(*car->node));
            whole.End();
            const BackBuffer drawn;
            const int w = kept.Width(), h = kept.Height();
            const int bandBottom = h - 230 + std::min(0, 200 - static_cast<int>(ShowRoom::MenuLineHeightPx) * ShowRoom::EntryCount);
            int compared = 0, differing = 0;
            for (int y = 75; y < bandBottom - 5; ++y)
                for (int x = 0; x < w; ++x, ++compared)
                    for (int c = 0; c < 3; ++c)
                        if (std::abs(kept.At(x, y)[c] - drawn.At(x, y)[c]) > 2) {
                            ++differing;
                            break;
                        }
            EXPECT_GT(compared, 100000);
            EXPECT_EQ(differing, 0) << "pixels unlike the scene drawn whole, after a turn of " << turn;
            EXPECT_GT(kept.Count(200, 100, 824, bandBottom - 5, Reddish), 2000) << "the car is drawn";
        }
    }

    // Another preset forgets the picture; its first frame keeps it anew.
    ASSERT_TRUE(room->SetQuality(QualityPreset::Medium));
    EXPECT_FALSE(room->GetScaledView().HasPicture());
    room->Frame();
    ASSERT_TRUE(room->SetQuality(QualityPreset::Low));
    room->Frame();
    EXPECT_TRUE(room->GetScaledView().HasPicture());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
