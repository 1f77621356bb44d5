// Two to four players on one screen: each on their own keys, in their own
// view of the window, in one race.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <GL/gl.h>

#include "CentreLineDriver.h"
#include "VirtualPad.h"
#include "GameWindow.h"
#include "cars/Car.h"
#include "drivers/Player.h"
#include "hud/Minimap.h"
#include "input/EventHandler.h"
#include "input/Gamepad.h"
#include "input/InputDevice.h"
#include "input/KeyBindings.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "race/RaceField.h"
#include "race/view/SplitLayout.h"
#include "track/TrackList.h"

namespace {

const double Frame = 1.0 / 60.0;

class SplitScreen : public ::testing::Test {
protected:
    SplitScreen() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-split-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
    }
    ~SplitScreen() override {
        race.reset();
        std::filesystem::remove_all(playerFiles);
    }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }
    /// `players` on car 0 each (the others' copies painted their colours).
    bool Start(unsigned players, RaceMode mode, unsigned opponents = 3,
               QualityPreset::Level quality = QualityPreset::Low) {
        race.reset();
        race = std::make_unique<GameEngine>(handler);
        race->SetQuality(quality);
        if (!race->Initialize()) return false;
        race->SetOpponents(opponents, RacingDriver::Skill::Easy);
        // The first two at the keyboard, each on a set of its own; the third
        // and fourth on pads (none plugged in: these tests press nothing for them).
        if (players > 1) {
            race->SetFirstDevice(InputDevice::KeySet(KeyBindings::FirstSet), KeyBindings(KeyBindings::FirstSet));
            EXPECT_TRUE(race->AddLocalPlayer(0, InputDevice::KeySet(KeyBindings::SecondSet),
                                             KeyBindings(KeyBindings::SecondSet)));
        }
        for (unsigned i = 2; i < players; ++i) {
            EXPECT_TRUE(race->AddLocalPlayer(0, InputDevice::PadSlot(static_cast<int>(i) - 2), KeyBindings()));
        }
        testing::internal::CaptureStdout();  // the debug plug-in reports every object it adds
        const bool started = race->Start(0, mode);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }

    std::filesystem::path playerFiles;
    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

bool IsBlueCar(int r, int g, int b) { return b > r + 60 && b > g + 40; }
bool IsRedCar(int r, int g, int b) { return r > g + 70 && r > b + 70 && b < g + 30; }
bool IsOrangeCar(int r, int g, int b) { return r > 150 && g > 100 && b < 60 && r > g + 20; }
bool IsMagentaCar(int r, int g, int b) { return r > g + 60 && b > g + 60; }

}  // namespace

TEST(SplitLayoutTest, EveryPixelOfTheWindowBelongsToOneViewOrTheSpareQuarter) {
    const ViewRect window{0, 0, 1023, 767};
    EXPECT_EQ(SplitLayout::Views(1, window), std::vector<ViewRect>{window});
    // Two: the first on top.
    const std::vector<ViewRect> two = SplitLayout::Views(2, window);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].y, two[1].height);
    EXPECT_EQ(two[0].width, 1023);
    for (unsigned players : {2u, 3u, 4u}) {
        SCOPED_TRACE(players);
        std::vector<ViewRect> rects = SplitLayout::Views(players, window);
        ASSERT_EQ(rects.size(), players);
        const ViewRect spare = SplitLayout::SpareQuarter(players, window);
        EXPECT_EQ(spare.IsEmpty(), players != 3);
        if (!spare.IsEmpty()) rects.push_back(spare);
        long area = 0;
        for (const ViewRect& r : rects) area += static_cast<long>(r.width) * r.height;
        EXPECT_EQ(area, 1023L * 767L);
        // No two overlap.
        for (std::size_t i = 0; i < rects.size(); ++i)
            for (std::size_t j = i + 1; j < rects.size(); ++j) {
                const bool apart = rects[i].x + rects[i].width <= rects[j].x || rects[j].x + rects[j].width <= rects[i].x ||
                                   rects[i].y + rects[i].height <= rects[j].y || rects[j].y + rects[j].height <= rects[i].y;
                EXPECT_TRUE(apart) << i << " and " << j;
            }
    }
    // Three and four: the first top left, the second top right.
    const std::vector<ViewRect> four = SplitLayout::Views(4, window);
    EXPECT_EQ(four[0].x, 0);
    EXPECT_GT(four[0].y, 0);
    EXPECT_GT(four[1].x, 0);
    EXPECT_EQ(four[1].y, four[0].y);
}

TEST_F(SplitScreen, TwoPlayersAndThreeOpponentsRaceToTheResultsEachOnTheirOwnKeys) {
    ASSERT_TRUE(Start(2, RaceMode::Race));
    const RaceField& field = *race->GetField();
    ASSERT_EQ(field.GetRacers().size(), 5u);
    ASSERT_EQ(field.GetPlayerCount(), 2u);
    EXPECT_NE(race->GetCar(0), race->GetCar(1)) << "the same car model, a car each";
    EXPECT_EQ(field.GetPlayer(0).car, race->GetCar(0));
    EXPECT_EQ(field.GetPlayer(1).car, race->GetCar(1));
    // The two players at the back of the grid, the first last.
    EXPECT_LT(field.GetPlayer(0).progress.GetDistanceM(), field.GetPlayer(1).progress.GetDistanceM());

    // Through the countdown, then the second set's throttle alone: the second
    // player's car goes, the first's stays where it is.
    for (int i = 0; i < 250; ++i) race->Step();
    ASSERT_TRUE(race->GetCar(0)->controlsEnabled);
    const vmath::vec3<float> firstAt = race->GetCar(0)->body->GetPosition();
    handler.DispatchKey('W', 0);
    for (int i = 0; i < 60; ++i) race->Step();
    handler.DispatchKey('W', 1);
    EXPECT_GT(race->GetCar(1)->body->GetSpeedMs(), 3.0f);
    EXPECT_LT(race->GetCar(0)->body->GetSpeedMs(), 0.5f);
    EXPECT_LT(vmath::length(race->GetCar(0)->body->GetPosition() - firstAt), 0.3f);
    EXPECT_EQ(race->GetCar(0)->throttle, 0.0f);
    // And the arrows drive the first alone.
    handler.DispatchKey(VK_UP, 0);
    for (int i = 0; i < 60; ++i) race->Step();
    handler.DispatchKey(VK_UP, 1);
    EXPECT_GT(race->GetCar(0)->body->GetSpeedMs(), 1.0f);
    EXPECT_EQ(race->GetCar(1)->throttle, 0.0f);

    // Both driven round by their keys to the finish; the results count everyone.
    CentreLineDriver first(*race, handler, 0), second(*race, handler, 1);
    int frames = 0;
    for (; frames < 60 * 60 * 8 && !race->IsOver(); ++frames) {
        if (!field.IsPlayerFinished(0)) first.Drive();
        if (!field.IsPlayerFinished(1)) second.Drive();
        race->Step();
    }
    ASSERT_TRUE(race->IsOver()) << "after " << frames << " frames";
    EXPECT_TRUE(field.IsPlayerFinished(0));
    EXPECT_TRUE(field.IsPlayerFinished(1));
    const std::vector<ResultsTable::Row> results = field.Results();
    ASSERT_EQ(results.size(), 5u);
    int players = 0;
    for (const ResultsTable::Row& row : results) {
        if (!row.player) continue;
        ++players;
        EXPECT_TRUE(row.name == "Player 1" || row.name == "Player 2") << row.name;
        EXPECT_EQ(row.result.find("to go"), std::string::npos) << row.name << " finished: " << row.result;
    }
    EXPECT_EQ(players, 2);
    // Each player's own position line.
    EXPECT_NE(field.PositionLine(0), field.PositionLine(1));
    // Return races again: everyone back on the grid.
    handler.DispatchKey(VK_RETURN, 0);
    handler.DispatchKey(VK_RETURN, 1);
    EXPECT_FALSE(race->IsOver());
    EXPECT_LT(field.GetPlayer(0).progress.GetDistanceM(), 0.0);
}

TEST_F(SplitScreen, EachViewShowsItsOwnCarAndHudInItsOwnRectangle) {
    using Colour = bool (*)(int, int, int);
    const Colour colours[] = {IsBlueCar, IsRedCar, IsOrangeCar, IsMagentaCar};
    for (unsigned players : {2u, 3u, 4u}) {
        SCOPED_TRACE(std::to_string(players) + " players");
        ASSERT_TRUE(Start(players, RaceMode::FreeDrive));
        // The chase cameras run in over two seconds.
        for (int i = 0; i < 150; ++i) race->Step();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        race->RenderScene();
        // The scene alone first: the dials' red needles are no red car.
        BackBuffer scene;
        race->DrawHud();
        BackBuffer shot;
        const std::vector<ViewRect> rects = race->GetViewRects();
        ASSERT_EQ(rects.size(), players);
        for (unsigned i = 0; i < players; ++i) {
            SCOPED_TRACE("view " + std::to_string(i + 1));
            const ViewRect& r = rects[i];
            // Its own car in the middle of its own view; the others' at most
            // smaller, further on or to a side (tail lights count as red).
            const int x0 = r.x + r.width / 2 - r.width / 8, x1 = r.x + r.width / 2 + r.width / 8;
            const int y0 = r.y + r.height / 8, y1 = r.y + r.height / 2;
            const int own = scene.Count(x0, y0, x1, y1, colours[i]);
            EXPECT_GT(own, (x1 - x0) * (y1 - y0) / 20);
            for (unsigned j = 0; j < players; ++j) {
                if (j == i) continue;
                EXPECT_LT(scene.Count(x0, y0, x1, y1, colours[j]), own / 2) << "player " << j + 1 << "'s colour";
            }
            // Its own map in the top right of its own view: the player's red marker on it.
            const int marker = shot.Count(r.x + r.width * 3 / 4, r.y + r.height * 11 / 20, r.x + r.width, r.y + r.height,
                                          [](int red, int g, int b) { return red > 200 && g < 80 && b < 80; });
            EXPECT_GT(marker, 5) << "the map's marker";
        }
        if (players == 3) {
            // The fourth quarter: the race's map and standings over a dark ground, no view.
            const ViewRect spare = SplitLayout::SpareQuarter(3, {0, 0, shot.Width(), shot.Height()});
            const int dark = shot.Count(spare.x, spare.y, spare.x + spare.width, spare.y + spare.height,
                                        [](int r, int g, int b) { return r < 40 && g < 40 && b < 45; });
            EXPECT_GT(dark, spare.width * spare.height / 2);
            const int outline = shot.Count(spare.x, spare.y, spare.x + spare.width, spare.y + spare.height,
                                           [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; });
            EXPECT_GT(outline, 300) << "the map's outline";
        }
    }
}

TEST_F(SplitScreen, APadUnpluggedPausesTheRaceUntilItIsBackInItsSlot) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    {
        Gamepad gamepad(handler);
        ASSERT_TRUE(gamepad.Initialize());
        auto pad = std::make_unique<VirtualPad>(7);
        ASSERT_TRUE(pad->IsPlugged()) << SDL_GetError();
        PumpPadEvents(gamepad);
        race.reset();
        race = std::make_unique<GameEngine>(handler);
        race->SetQuality(QualityPreset::Low);
        ASSERT_TRUE(race->Initialize());
        race->SetFirstDevice(InputDevice::KeySet(KeyBindings::FirstSet), KeyBindings(KeyBindings::FirstSet));
        ASSERT_TRUE(race->AddLocalPlayer(0, InputDevice::PadSlot(0), KeyBindings()));
        race->GetPlayer(1)->SetGamepad(&gamepad, nullptr);
        gamepad.SetKeyBindings(&race->GetPlayer(1)->GetKeyBindings());
        testing::internal::CaptureStdout();
        ASSERT_TRUE(race->Start(0, RaceMode::FreeDrive));
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        for (int i = 0; i < 10; ++i) race->Step();
        EXPECT_FALSE(race->GetRaceClock().IsPaused());

        // Pulled out: the race stands still and says whose pad went; P does not go on without it.
        pad.reset();
        PumpPadEvents(gamepad);
        EXPECT_TRUE(race->GetRaceClock().IsPaused());
        EXPECT_EQ(race->GetPadNotice(), "Player 2: pad unplugged");
        handler.DispatchKey('P', 0);
        handler.DispatchKey('P', 1);
        EXPECT_TRUE(race->GetRaceClock().IsPaused());
        const long ticks = race->GetTick().GetTickCount();
        for (int i = 0; i < 10; ++i) race->Step();
        EXPECT_EQ(race->GetTick().GetTickCount(), ticks) << "paused, the race runs no tick";

        // The same pad back: its slot takes it, the notice goes and P goes on.
        pad = std::make_unique<VirtualPad>(7);
        PumpPadEvents(gamepad);
        race->Step();
        EXPECT_TRUE(race->GetPadNotice().empty());
        EXPECT_FALSE(race->GetPlayer(1)->IsPadMissing());
        handler.DispatchKey('P', 0);
        handler.DispatchKey('P', 1);
        EXPECT_FALSE(race->GetRaceClock().IsPaused());
        race.reset();
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
