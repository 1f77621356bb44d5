// The menus under the mouse and the options page, through the application
// as the player reaches them: window messages into its event handler, each
// test in a process of its own (the application is a singleton), on
// generated stand-in data with the game's own cars, which a race needs.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <GL/gl.h>

#include "GameDataFolder.h"
#include "GameWindow.h"
#include "VirtualPad.h"
#include "cars/CameraSettings.h"
#include "hud/DisplaySettings.h"
#include "input/ControlSettings.h"
#include "input/KeyBindings.h"
#include "input/KeySets.h"
#include "platform/WindowMessage.h"
#include "race/EngineSound.h"
#include "race/GameEngine.h"
#include "shell/GameOptions.h"
#include "shell/VantrelApp.h"
#include "showroom/ShowRoom.h"
#include "storage/SettingsStore.h"

namespace {

const int Press = 0, Release = 1;

class MenuMouse : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GameDataFolder::HasGameCars()) GTEST_SKIP() << "the game's cars are not beside " SHADER_DIR;
    }
    bool Start() {
        GameDataFolder::Contents contents;
        contents.gameCars = true;
        contents.tracks = {{"Flat"}};
        folder = std::make_unique<GameDataFolder>(contents);
        const std::string playerFiles = (std::filesystem::current_path().parent_path() / "player").string();
        setenv("XDG_DATA_HOME", playerFiles.c_str(), 1);
        setenv("XDG_CONFIG_HOME", playerFiles.c_str(), 1);
        testing::internal::CaptureStdout();
        const bool started = app.Start();
        output = testing::internal::GetCapturedStdout();
        return started;
    }
    void Key(unsigned key) {
        app.GetEventHandler().HandleMessage(WM_KEYDOWN, key, 0);
        app.GetEventHandler().HandleMessage(WM_KEYUP, key, 0);
    }
    /// The middle of what `areas` last drew as `id`, in the mouse's
    /// coordinates (from the top left); false when it was not drawn.
    static bool Centre(const ClickAreas& areas, int id, int& x, int& y) {
        float left = 0, bottom = 0, right = 0, top = 0;
        if (!areas.Find(id, left, bottom, right, top)) return false;
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        x = static_cast<int>((left + right) / 2);
        y = static_cast<int>(viewport[3] - (bottom + top) / 2);
        return true;
    }
    void Move(int x, int y) { app.GetEventHandler().HandleMessage(WM_MOUSEMOVE, 0, MakeLParam(x, y)); }
    /// Moves there and clicks the left button, as the window would say it.
    void Click(int x, int y) {
        Move(x, y);
        app.GetEventHandler().HandleMessage(WM_LBUTTONDOWN, 0, MakeLParam(x, y));
        app.GetEventHandler().HandleMessage(WM_LBUTTONUP, 0, MakeLParam(x, y));
    }
    /// Clicks the middle of area `id` as the last frame drew it.
    void Click(const ClickAreas& areas, int id) {
        int x = 0, y = 0;
        ASSERT_TRUE(Centre(areas, id, x, y)) << "area " << id << " not drawn";
        Click(x, y);
    }
    void Wheel(const ClickAreas& areas, int id, int notches) {
        int x = 0, y = 0;
        ASSERT_TRUE(Centre(areas, id, x, y)) << "area " << id << " not drawn";
        Move(x, y);
        app.GetEventHandler().HandleMessage(WM_MOUSEWHEEL, static_cast<WParam>(static_cast<std::uint16_t>(
                                                               static_cast<std::int16_t>(notches * WheelDelta)))
                                                               << 16,
                                            MakeLParam(x, y));
    }
    /// One pass of the frame loop, which carries out the mode switches;
    /// what a race prints is not kept.
    void Frame() {
        testing::internal::CaptureStdout();
        app.Frame();
        testing::internal::GetCapturedStdout();
    }
    /// A fresh show room, drawn once so the mouse has something to point at.
    ShowRoom& NewShowRoom() {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(app.StartShowRoom());
        testing::internal::GetCapturedStdout();
        app.Frame();
        return *app.GetShowRoom();
    }

    VantrelApp& app = VantrelApp::Instance();
    std::unique_ptr<GameDataFolder> folder;
    std::string output;
};

}  // namespace

TEST_F(MenuMouse, AClickOnEachEntryAndArrowDoesWhatItsKeyDoes) {
    ASSERT_TRUE(Start()) << output;
    ShowRoom* room = app.GetShowRoom();
    app.Frame();
    const ClickAreas& areas = room->GetMenuAreas();

    // The pointer chooses the entry it is on, as Up and Down would; the
    // entries stand 60 px apart from the top.
    for (int entry = ShowRoom::EntryCount - 1; entry >= 0; --entry) {
        int x = 0, y = 0;
        ASSERT_TRUE(Centre(areas, ShowRoom::EntryArea(entry), x, y));
        EXPECT_NEAR(y, ShowRoom::MenuLineHeightPx * (entry + 1) - 10, 6) << entry;
        Move(x, y);
        EXPECT_EQ(room->GetSelection(), entry);
    }
    Move(600, 400);  // off the menu, the choice stays
    EXPECT_EQ(room->GetSelection(), ShowRoom::FreeDrive);

    // The arrows as Right and Left.
    Click(areas, VK_RIGHT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    Click(areas, VK_LEFT);
    EXPECT_EQ(room->GetCarIndex(), 0u);
    Click(areas, VK_LEFT);
    EXPECT_EQ(room->GetCarIndex(), 1u) << "round, as the key goes";

    // The entries Return steps, stepped and kept.
    Click(areas, ShowRoom::EntryArea(ShowRoom::Graphics));
    EXPECT_EQ(room->GetGraphicsEntry(), "Graphics: High");
    EXPECT_EQ(SettingsStore().GetQuality(), QualityPreset::High);
    Click(areas, ShowRoom::EntryArea(ShowRoom::Opponents));
    EXPECT_EQ(room->GetOpponentsEntry(), "Opponents: Hard");
    EXPECT_EQ(app.GetShowRoom(), room) << "the show room stays";

    // "Options" opens its page, and its "Back" closes it.
    Click(areas, ShowRoom::EntryArea(ShowRoom::Options));
    ASSERT_TRUE(room->IsOptionsShown());
    app.Frame();
    Click(room->GetOptionsPage().GetClickAreas(), OptionsPage::BackArea);
    EXPECT_FALSE(room->IsOptionsShown());
    app.Frame();

    // Each race entry replaces the show room with a race, as Return does,
    // once the frame is over, and the show room after it comes back on that
    // entry and car, as after Return.
    for (int entry : {ShowRoom::FreeDrive, ShowRoom::TimeTrial, ShowRoom::Race}) {
        ShowRoom& fresh = NewShowRoom();
        if (entry == ShowRoom::FreeDrive) Click(fresh.GetMenuAreas(), VK_RIGHT);
        Click(fresh.GetMenuAreas(), ShowRoom::EntryArea(entry));
        EXPECT_EQ(app.GetShowRoom(), &fresh) << entry;
        Frame();
        EXPECT_EQ(app.GetShowRoom(), nullptr) << entry;
        const auto* race = dynamic_cast<GameEngine*>(app.GetRace());
        ASSERT_NE(race, nullptr) << entry;
        EXPECT_EQ(race->GetMode(), entry == ShowRoom::FreeDrive   ? RaceMode::FreeDrive
                                   : entry == ShowRoom::TimeTrial ? RaceMode::TimeTrial
                                                                  : RaceMode::Race);
        const ShowRoom& after = NewShowRoom();
        EXPECT_EQ(after.GetSelection(), entry);
        EXPECT_EQ(after.GetCarIndex(), 1u);
    }

    // "Exit Game" asks; the answers are clicked too, and nothing else counts meanwhile.
    room = &NewShowRoom();
    Click(room->GetMenuAreas(), ShowRoom::EntryArea(ShowRoom::ExitGame));
    ASSERT_TRUE(room->IsQuitAsked());
    app.Frame();
    Click(room->GetMenuAreas(), ShowRoom::EntryArea(ShowRoom::FreeDrive));
    Click(room->GetMenuAreas(), VK_RIGHT);
    app.Frame();
    EXPECT_EQ(app.GetShowRoom(), room);
    EXPECT_EQ(app.GetRace(), nullptr);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    EXPECT_EQ(room->GetSelection(), ShowRoom::ExitGame);
    Click(room->GetMenuAreas(), VK_ESCAPE);  // "Escape: no"
    EXPECT_FALSE(room->IsQuitAsked());
    EXPECT_FALSE(app.IsQuitRequested());
    app.Frame();
    Click(room->GetMenuAreas(), ShowRoom::EntryArea(ShowRoom::ExitGame));
    app.Frame();
    Click(room->GetMenuAreas(), VK_RETURN);  // "Return: yes"
    EXPECT_TRUE(app.IsQuitRequested());
}

TEST_F(MenuMouse, TheOptionsPageChangesEachSettingAtOnceByKeysMouseAndWheelAndKeepsIt) {
    ASSERT_TRUE(Start()) << output;
    ShowRoom* room = app.GetShowRoom();
    for (int i = 0; i < ShowRoom::Options; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
    ASSERT_TRUE(room->IsOptionsShown());
    EXPECT_FALSE(app.IsQuitRequested());
    OptionsPage& page = room->GetOptionsPage();
    const ClickAreas& areas = page.GetClickAreas();
    app.Frame();
    EXPECT_EQ(page.GetSection(), 0);
    EXPECT_EQ(page.GetLine(), OptionsPage::TabLine);

    // Graphics, by the keys: the preset one up (from Low on the tests'
    // rasteriser), the frame rate on.
    Key(VK_DOWN);
    Key(VK_RIGHT);
    EXPECT_EQ(page.RowText(0, 0), "Preset: Medium");
    EXPECT_EQ(room->GetGraphicsEntry(), "Graphics: Medium");
    EXPECT_EQ(SettingsStore().GetQuality(), QualityPreset::Medium);
    for (int i = 0; i < 3; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(page.RowText(0, 3), "Show the frame rate: On");
    EXPECT_TRUE(app.GetOptions()->GetDisplay().showFrameRate);

    // Sound, by the mouse; the volume keys still work under the page.
    app.Frame();
    Click(areas, OptionsPage::TabArea(1));
    EXPECT_EQ(page.GetSection(), 1);
    app.Frame();
    Click(areas, OptionsPage::LessArea(0));
    EXPECT_EQ(page.RowText(1, 0), "Music volume (7 / 8): 90 %");
    EXPECT_FLOAT_EQ(app.GetEngineSound()->GetMusicVolume(), 0.9f);
    EXPECT_EQ(SettingsStore().Get(EngineSound::SettingsSection, "music"), "90");
    Key('8');
    EXPECT_EQ(page.RowText(1, 0), "Music volume (7 / 8): 100 %");
    EXPECT_TRUE(room->IsOptionsShown());

    // Controls: the wheel on the dead zone, which the pads take at once.
    Click(areas, OptionsPage::TabArea(2));
    app.Frame();
    Wheel(areas, OptionsPage::RowArea(2), 3);
    EXPECT_EQ(page.RowText(2, 2), "Pad dead zone: 30 %");
    EXPECT_FLOAT_EQ(app.GetGamepad().GetDeadZone(), 0.3f);
    Wheel(areas, OptionsPage::RowArea(0), -2);
    EXPECT_EQ(page.RowText(2, 0), "Steering speed (keys): 0.6 lock/s");

    // A binding: a key another action has is refused in words, a free one
    // taken; Escape keeps the key as it was.
    const int throttleRow = 4 + KeyBindings::Throttle;
    Click(areas, OptionsPage::RowArea(throttleRow));
    ASSERT_TRUE(page.IsWaitingForKey());
    Key(VK_DOWN);
    EXPECT_FALSE(page.IsWaitingForKey());
    EXPECT_EQ(page.GetMessage(), "Down is already bound to Brake");
    EXPECT_EQ(page.RowText(2, throttleRow), "Throttle: Up");
    Key(VK_RETURN);  // the row is the chosen line now
    ASSERT_TRUE(page.IsWaitingForKey());
    Key(VK_ESCAPE);
    EXPECT_TRUE(room->IsOptionsShown()) << "Escape only ended the wait";
    EXPECT_EQ(page.RowText(2, throttleRow), "Throttle: Up");
    Key(VK_RETURN);
    Key('T');
    EXPECT_EQ(page.RowText(2, throttleRow), "Throttle: T");
    EXPECT_EQ(page.GetMessage(), "");
    EXPECT_EQ(SettingsStore().Get(KeyBindings::Section, "throttle"), "T");

    // "Reset to defaults": every control back.
    app.Frame();
    const int resetRow = 4 + KeyBindings::ActionCount;
    EXPECT_EQ(page.RowText(2, resetRow), "Reset to defaults");
    Click(areas, OptionsPage::RowArea(resetRow));
    EXPECT_EQ(page.RowText(2, throttleRow), "Throttle: Up");
    EXPECT_EQ(page.RowText(2, 2), "Pad dead zone: 15 %");
    EXPECT_FLOAT_EQ(app.GetGamepad().GetDeadZone(), 0.15f);

    // Player 2's keys, by the keys from the tabs: player 1's Up is refused
    // in words, a free key taken and kept in a section of its own.
    Key(VK_DOWN);  // "Back", under the reset
    Key(VK_DOWN);  // round to the tabs
    ASSERT_EQ(page.GetLine(), OptionsPage::TabLine);
    Key(VK_RIGHT);
    ASSERT_EQ(page.GetSection(), 3);
    EXPECT_EQ(page.RowText(3, KeyBindings::Throttle), "Throttle: W");
    EXPECT_EQ(page.RowText(3, KeyBindings::Brake), "Brake: S");
    Key(VK_DOWN);
    Key(VK_RETURN);
    Key(VK_UP);
    EXPECT_EQ(page.GetMessage(), "Up is already bound to Throttle of player 1");
    Key(VK_RETURN);
    Key('I');
    EXPECT_EQ(page.RowText(3, KeyBindings::Throttle), "Throttle: I");
    EXPECT_EQ(SettingsStore().Get(KeyBindings::SecondSection, "throttle"), "I");
    Key(VK_UP);  // back to the tabs

    // Camera, by the keys from the tabs: the field of view two steps wider.
    Key(VK_RIGHT);
    ASSERT_EQ(page.GetSection(), 4);
    for (int i = 0; i < 3; ++i) Key(VK_DOWN);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    EXPECT_EQ(page.RowText(4, 2), "Field of view: 70 degrees");

    // Units, the value clicked.
    Click(areas, OptionsPage::TabArea(5));
    app.Frame();
    Click(areas, OptionsPage::MoreArea(0));
    EXPECT_EQ(page.RowText(5, 0), "Speed: mph");

    // A key bound again for the race below; Escape closes the page, and the
    // menu answers the keys again.
    Click(areas, OptionsPage::TabArea(2));
    app.Frame();
    Click(areas, OptionsPage::RowArea(throttleRow));
    Key('T');
    Key(VK_ESCAPE);
    EXPECT_FALSE(room->IsOptionsShown());
    EXPECT_FALSE(room->IsQuitAsked());
    Key(VK_DOWN);
    EXPECT_EQ(room->GetSelection(), ShowRoom::ExitGame);

    // A restart reads it all back.
    SettingsStore store;
    EXPECT_EQ(KeyBindings::Read(&store).KeyOf(KeyBindings::Throttle), unsigned('T'));
    EXPECT_EQ(KeySets::Read(&store).Get(KeyBindings::SecondSet).KeyOf(KeyBindings::Throttle), unsigned('I'));
    EXPECT_FLOAT_EQ(ControlSettings::Read(&store).padDeadZone, 0.15f);
    EXPECT_FLOAT_EQ(CameraSettings::Read(&store).fieldOfViewDeg, 70.0f);
    const DisplaySettings display = DisplaySettings::Read(&store);
    EXPECT_EQ(display.speedUnit, SpeedUnit::Mph);
    EXPECT_TRUE(display.showFrameRate);
    EXPECT_EQ(store.GetQuality(), QualityPreset::Medium);

    // The next race gets the player's keys.
    testing::internal::CaptureStdout();
    app.StartRace(0, RaceMode::FreeDrive);
    testing::internal::GetCapturedStdout();
    auto* race = dynamic_cast<GameEngine*>(app.GetRace());
    ASSERT_NE(race, nullptr);
    EXPECT_EQ(race->GetPlayer().GetKeyBindings().KeyOf(KeyBindings::Throttle), unsigned('T'));
}

TEST_F(MenuMouse, APadAloneChoosesACarChangesThePresetAndTheVolumeAndStartsARace) {
    ASSERT_TRUE(Start()) << output;
    VirtualPad pad;
    ASSERT_TRUE(pad.IsPlugged()) << SDL_GetError();
    for (int frame = 0; frame < 20 && app.GetGamepad().GetCount() == 0; ++frame) app.Frame();
    ASSERT_EQ(app.GetGamepad().GetCount(), 1u);
    // Counts the key messages the pad's buttons become.
    struct Keys : EventHandler::EventListener {
        void OnKey(EventHandler&, unsigned, int) override { ++count; }
        int count = 0;
    } keys;
    app.GetEventHandler().AddListener(EventHandler::KeyEvent, &keys);
    // The game takes the pad's events in its frames: frames until each
    // press and release has arrived as its key.
    const auto press = [&](SDL_GameControllerButton button, int times = 1) {
        for (int i = 0; i < times; ++i)
            for (const bool down : {true, false}) {
                const int before = keys.count;
                pad.Button(button, down);
                for (int frame = 0; frame < 20 && keys.count == before; ++frame) app.Frame();
            }
    };
    ShowRoom* room = app.GetShowRoom();
    press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    EXPECT_EQ(room->GetCarIndex(), 1u);
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN, ShowRoom::Options);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_TRUE(room->IsOptionsShown());
    OptionsPage& page = room->GetOptionsPage();
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 2);
    EXPECT_EQ(page.RowText(0, 0), "Preset: High");
    EXPECT_EQ(SettingsStore().GetQuality(), QualityPreset::High);
    press(SDL_CONTROLLER_BUTTON_DPAD_UP);  // the tabs
    press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN, 2);
    press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, 3);
    EXPECT_EQ(page.RowText(1, 1), "Effects volume (9 / 0): 70 %");
    EXPECT_FLOAT_EQ(app.GetEngineSound()->GetEffectsVolume(), 0.7f);
    press(SDL_CONTROLLER_BUTTON_B);
    EXPECT_FALSE(room->IsOptionsShown());
    EXPECT_FALSE(room->IsQuitAsked()) << "B closed the page and asked nothing";
    press(SDL_CONTROLLER_BUTTON_DPAD_UP, ShowRoom::Options - ShowRoom::TimeTrial);
    ASSERT_EQ(room->GetSelection(), ShowRoom::TimeTrial);
    testing::internal::CaptureStdout();
    press(SDL_CONTROLLER_BUTTON_A);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(app.GetShowRoom(), nullptr);
    EXPECT_NE(dynamic_cast<GameEngine*>(app.GetRace()), nullptr) << "the frame that took A started the race";
    app.GetEventHandler().RemoveListener(EventHandler::KeyEvent, &keys);
}
