// The application's start and its mode keys, each test in a process of its
// own (the application is a singleton), on generated stand-in data; the
// races on stand-in tracks with the game's own cars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <lumora/OglEffectPass.h>

#include "GameDataFolder.h"
#include "GameWindow.h"
#include "VirtualPad.h"
#include "cars/CarPool.h"
#include "hud/HudNotice.h"
#include "input/InputDevice.h"
#include "race/GameEngine.h"
#include "showroom/ShowRoom.h"
#include "shell/VantrelApp.h"
#include "platform/WindowMessage.h"
#include "storage/SettingsStore.h"

namespace {

const int Press = 0, Release = 1;

class GameModes : public ::testing::Test {
protected:
    /// Starts the application on a folder with `contents`, keeping what it printed.
    bool Start(GameDataFolder::Contents contents) {
        folder = std::make_unique<GameDataFolder>(contents);
        // The records the application reads stay in the scratch folder.
        const std::string playerFiles = (std::filesystem::current_path().parent_path() / "player").string();
        setenv("XDG_DATA_HOME", playerFiles.c_str(), 1);
        setenv("XDG_CONFIG_HOME", playerFiles.c_str(), 1);
        testing::internal::CaptureStdout();
        const bool started = app.Start();
        output = testing::internal::GetCapturedStdout();
        return started;
    }
    void Key(unsigned key, int state = Press) { app.GetEventHandler().DispatchKey(key, state); }
    /// One pass of the frame loop, keeping what it printed (a race prints a lot).
    std::string Frame() {
        testing::internal::CaptureStdout();
        app.Frame();
        return testing::internal::GetCapturedStdout();
    }

    VantrelApp& app = VantrelApp::Instance();
    std::unique_ptr<GameDataFolder> folder;
    std::string output;
};

GameDataFolder::Contents WithMusic() {
    GameDataFolder::Contents contents;
    contents.music = true;
    return contents;
}

/// The game's cars and three stand-in tracks, in the order the show room
/// offers them: "Flat" can be raced, "Meadow"'s model has no terrain and
/// "Notes"'s is no document at all.
GameDataFolder::Contents RaceData() {
    GameDataFolder::Contents contents;
    contents.gameCars = true;
    contents.tracks = {{"Flat"},
                       {"Meadow", GameDataFolder::TrackModel::NoTerrain},
                       {"Notes", GameDataFolder::TrackModel::NoDocument}};
    return contents;
}

#define SKIP_WITHOUT_GAME_CARS() \
    if (!GameDataFolder::HasGameCars()) GTEST_SKIP() << "the game's cars are not beside " SHADER_DIR

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

/// The notice's amber, a warning's (1, 0.8, 0).
bool IsAmber(int r, int g, int b) { return r > 200 && g > 150 && g < 230 && b < 60; }

}  // namespace

TEST_F(GameModes, StartShowsTheShowRoomAndPlaysTheMusic) {
    ASSERT_TRUE(Start(WithMusic())) << output;
    EXPECT_EQ(output.find("[ERROR]"), std::string::npos) << output;
    EXPECT_EQ(output.find("VantrelApp"), std::string::npos) << output;
    EXPECT_EQ(Mix_Playing(-1), 1);
    ASSERT_NE(app.GetShowRoom(), nullptr);
    EXPECT_EQ(app.GetRace(), nullptr);
    // The application stays the first key listener, the show room follows.
    EventHandler& handler = app.GetEventHandler();
    ASSERT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 2u);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 0), &app);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 1), app.GetShowRoom());
    app.Frame();
    EXPECT_FALSE(app.IsQuitRequested());
}

TEST_F(GameModes, MissingMusicIsReportedOnceAndTheGameGoesOn) {
    ASSERT_TRUE(Start({})) << output;
    const std::string warning = "[WARN] VantrelApp: no music";
    const std::size_t first = output.find(warning);
    ASSERT_NE(first, std::string::npos) << output;
    EXPECT_EQ(output.find(warning, first + 1), std::string::npos) << output;
    EXPECT_NE(app.GetShowRoom(), nullptr);
}

TEST_F(GameModes, SoundThatCannotStartIsReportedOnceAndTheGameGoesOn) {
    // The mixer is one per process: held open here, it refuses the game's engine.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024), 0) << Mix_GetError();
    const bool started = Start(WithMusic());
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    ASSERT_TRUE(started) << output;
    const std::string warning = "[WARN] VantrelApp: the sound engine did not start, the game runs silently\n";
    const std::size_t line = output.find(warning);
    ASSERT_NE(line, std::string::npos) << output;
    EXPECT_EQ(output.find("VantrelApp:", line + warning.size()), std::string::npos) << output;
    ASSERT_NE(app.GetShowRoom(), nullptr);
    app.Frame();
    EXPECT_FALSE(app.IsQuitRequested());
}

TEST_F(GameModes, StartFailsWhenTheShowRoomCannotLoadButKeepsIt) {
    GameDataFolder::Contents contents = WithMusic();
    contents.room = false;
    EXPECT_FALSE(Start(contents));
    EXPECT_NE(app.GetShowRoom(), nullptr);
    // Said, and kept for the program's exit status.
    EXPECT_NE(output.find("[ERROR] VantrelApp: the show room did not start, the game ends\n"), std::string::npos)
        << output;
    EXPECT_EQ(app.GetFailure(), "the show room did not start");
    // The music is started all the same; the entry ends the program.
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(GameModes, EscapeInTheShowRoomAsksBeforeQuittingAndEscapeAgainTakesItBack) {
    ASSERT_TRUE(Start({})) << output;
    ShowRoom* room = app.GetShowRoom();
    // Yellow on the band across the middle of the window: the question.
    const auto questionShown = [room]() {
        room->Frame();
        const BackBuffer shot;
        return shot.Count(0, shot.Height() / 2 - 45, shot.Width(), shot.Height() / 2 + 45, IsYellow) > 50;
    };
    EXPECT_FALSE(questionShown());
    Key(VK_ESCAPE, Release);
    EXPECT_FALSE(room->IsQuitAsked());
    Key(VK_ESCAPE);
    EXPECT_TRUE(room->IsQuitAsked());
    EXPECT_TRUE(questionShown());
    // The game runs on under the question, and the arrows leave the menu and the car.
    Key(VK_DOWN);
    Key(VK_RIGHT);
    app.Frame();
    EXPECT_FALSE(app.IsQuitRequested());
    EXPECT_EQ(app.GetShowRoom(), room);
    EXPECT_EQ(room->GetSelection(), ShowRoom::FreeDrive);
    EXPECT_EQ(room->GetCarIndex(), 0u);

    Key(VK_ESCAPE);  // no
    EXPECT_FALSE(room->IsQuitAsked());
    EXPECT_FALSE(questionShown());
    Key(VK_DOWN);
    EXPECT_EQ(room->GetSelection(), ShowRoom::TimeTrial) << "the menu answers again";

    Key(VK_ESCAPE);
    Key(VK_RETURN, Release);
    EXPECT_FALSE(app.IsQuitRequested());
    Key(VK_RETURN);  // yes, and not the Time Trial the menu points at
    EXPECT_TRUE(app.IsQuitRequested());
    EXPECT_EQ(app.GetRace(), nullptr);
}

TEST_F(GameModes, ExitGameAsksAsEscapeDoesAndReturnThenQuits) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_UP);  // "Exit Game"
    Key(VK_RETURN);
    EXPECT_TRUE(app.GetShowRoom()->IsQuitAsked());
    EXPECT_FALSE(app.IsQuitRequested());
    Key(VK_RETURN);
    EXPECT_TRUE(app.IsQuitRequested());
}

TEST_F(GameModes, EscapeInARaceGoesBackWithoutAskingOnceTheFrameIsOver) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    Key(VK_DOWN);
    Key(VK_RETURN);
    const std::string printed = Frame();
    GameMode* race = app.GetRace();
    ASSERT_NE(race, nullptr) << printed;
    Key(VK_ESCAPE);
    EXPECT_EQ(app.GetRace(), race) << "the race stays until its frame is over";
    Frame();
    EXPECT_EQ(app.GetRace(), nullptr);
    ASSERT_NE(app.GetShowRoom(), nullptr);
    EXPECT_FALSE(app.GetShowRoom()->IsQuitAsked()) << "the new show room never saw the press";
    EXPECT_FALSE(app.IsQuitRequested());
}

TEST_F(GameModes, AModeIsReplacedOnlyOnceTheFrameIsOverNeverInsideItsOwnCallback) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    ShowRoom* room = app.GetShowRoom();
    Frame();  // drawn once: the mouse has the entries to point at
    float left = 0, bottom = 0, right = 0, top = 0;
    ASSERT_TRUE(room->GetMenuAreas().Find(ShowRoom::EntryArea(ShowRoom::TimeTrial), left, bottom, right, top));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int x = static_cast<int>((left + right) / 2), y = static_cast<int>(viewport[3] - (bottom + top) / 2);

    // A mouse listener after the show room's: the click's dispatch goes on
    // past the show room's own OnMouse, which dispatched the Return.
    struct Probe : EventHandler::EventListener {
        Probe(VantrelApp& app, ShowRoom& room) : app(app), room(room) {}
        void OnKey(EventHandler&, unsigned, int) override {}
        void OnMouse(EventHandler&, int, int, int button, int state) override {
            if (button != 1 || state != 0) return;
            ++clicks;
            running = app.GetShowRoom();
            selection = room.GetSelection();  // a deleted show room would be read here
        }
        VantrelApp& app;
        ShowRoom& room;
        ShowRoom* running = nullptr;
        int clicks = 0, selection = -1;
    } probe(app, *room);
    EventHandler& handler = app.GetEventHandler();
    handler.AddListener(EventHandler::MouseEvent, &probe);
    handler.HandleMessage(WM_MOUSEMOVE, 0, MakeLParam(x, y));
    handler.HandleMessage(WM_LBUTTONDOWN, 0, MakeLParam(x, y));
    handler.HandleMessage(WM_LBUTTONUP, 0, MakeLParam(x, y));
    EXPECT_EQ(probe.clicks, 1);
    EXPECT_EQ(probe.running, room);
    EXPECT_EQ(probe.selection, ShowRoom::TimeTrial);
    EXPECT_EQ(app.GetShowRoom(), room);
    EXPECT_EQ(app.GetRace(), nullptr);

    const std::string printed = Frame();
    handler.RemoveListener(EventHandler::MouseEvent, &probe);
    EXPECT_EQ(app.GetShowRoom(), nullptr);
    auto* race = dynamic_cast<GameEngine*>(app.GetRace());
    ASSERT_NE(race, nullptr) << printed;
    EXPECT_EQ(race->GetMode(), RaceMode::TimeTrial);
}

TEST_F(GameModes, ThePadsBAsksAsEscapeDoesAndItsAAnswersYes) {
    ASSERT_TRUE(Start({})) << output;
    VirtualPad pad;
    ASSERT_TRUE(pad.IsPlugged()) << SDL_GetError();
    ShowRoom* room = app.GetShowRoom();
    // The game takes its events a frame at a time; a frame after each change
    // lets SDL see it before the next one.
    const auto press = [&](SDL_GameControllerButton button) {
        const bool asked = room->IsQuitAsked();
        pad.Button(button, true);
        for (int i = 0; i < 20 && room->IsQuitAsked() == asked && !app.IsQuitRequested(); ++i) app.Frame();
        pad.Button(button, false);
        app.Frame();
    };
    app.Frame();  // the pad arrives
    press(SDL_CONTROLLER_BUTTON_B);
    EXPECT_TRUE(room->IsQuitAsked()) << "B asks";
    EXPECT_FALSE(app.IsQuitRequested()) << "B must not quit at once";
    press(SDL_CONTROLLER_BUTTON_B);
    EXPECT_FALSE(room->IsQuitAsked()) << "B again means no";
    EXPECT_FALSE(app.IsQuitRequested());
    press(SDL_CONTROLLER_BUTTON_B);
    ASSERT_TRUE(room->IsQuitAsked());
    press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_TRUE(app.IsQuitRequested()) << "A means yes";
}

TEST_F(GameModes, ReturnOnGraphicsStepsThroughThePresetsAppliesEachAtOnceAndKeepsIt) {
    ASSERT_TRUE(Start({})) << output;
    ShowRoom* room = app.GetShowRoom();
    const OglEffectPass& pass = *room->GetEffectPass();
    const auto shadowMapTexels = [&pass]() {
        GLint texels = 0;
        glBindTexture(GL_TEXTURE_2D, pass.GetShadowMap());
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texels);
        glBindTexture(GL_TEXTURE_2D, 0);
        return texels;
    };
    const auto saved = []() { return SettingsStore().GetQuality(); };
    // A first start on the tests' software rasteriser picks Low, and keeps it.
    EXPECT_EQ(room->GetGraphicsEntry(), "Graphics: Low");
    EXPECT_EQ(saved(), QualityPreset::Low);
    EXPECT_FALSE(pass.GetReflections());
    EXPECT_FALSE(pass.GetShadows());
    EXPECT_EQ(shadowMapTexels(), 512);

    // Up from the first entry wraps round to "Exit Game", then "Options", then "Graphics".
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    ASSERT_EQ(room->GetSelection(), ShowRoom::Graphics);
    Key(VK_RETURN);
    EXPECT_EQ(app.GetShowRoom(), room) << "the show room stays";
    EXPECT_FALSE(app.IsQuitRequested());
    EXPECT_EQ(room->GetGraphicsEntry(), "Graphics: High");
    EXPECT_EQ(saved(), QualityPreset::High);
    EXPECT_TRUE(pass.GetReflections());
    EXPECT_TRUE(pass.GetShadows());
    EXPECT_EQ(shadowMapTexels(), 2048);
    app.Frame();
    Key(VK_RETURN);
    EXPECT_EQ(room->GetGraphicsEntry(), "Graphics: Medium");
    EXPECT_EQ(saved(), QualityPreset::Medium);
    EXPECT_EQ(shadowMapTexels(), 1024);
    app.Frame();
    // The next show room comes up with the preset chosen.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(app.StartShowRoom());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(app.GetShowRoom()->GetQuality(), QualityPreset::Medium);
}

TEST_F(GameModes, ReturnOnOpponentsStepsTheirDifficultyAndKeepsItForTheNextShowRoom) {
    ASSERT_TRUE(Start({})) << output;
    ShowRoom* room = app.GetShowRoom();
    EXPECT_EQ(room->GetOpponentsEntry(), "Opponents: Medium");
    for (int i = 0; i < ShowRoom::Opponents; ++i) Key(VK_DOWN);
    ASSERT_EQ(room->GetSelection(), ShowRoom::Opponents);
    Key(VK_RETURN);
    EXPECT_EQ(app.GetShowRoom(), room) << "the show room stays";
    EXPECT_EQ(room->GetOpponentsEntry(), "Opponents: Hard");
    EXPECT_EQ(SettingsStore().Get(FieldSettings::Section, "difficulty"), "hard");
    Key(VK_RETURN);
    EXPECT_EQ(room->GetOpponentsEntry(), "Opponents: Easy");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(app.StartShowRoom());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(app.GetShowRoom()->GetOpponentsEntry(), "Opponents: Easy");
}

TEST_F(GameModes, ReturnOnTimeTrialReplacesTheShowRoomWithARaceOnceTheFrameIsOver) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    ShowRoom* room = app.GetShowRoom();
    Key(VK_DOWN);
    Key(VK_RETURN);  // "Time Trial"
    EXPECT_EQ(app.GetShowRoom(), room);
    EXPECT_EQ(app.GetRace(), nullptr);
    Key(VK_ESCAPE);  // the race asked for answers it
    EXPECT_FALSE(room->IsQuitAsked());
    const std::string printed = Frame();
    EXPECT_EQ(app.GetShowRoom(), nullptr);
    auto* race = dynamic_cast<GameEngine*>(app.GetRace());
    ASSERT_NE(race, nullptr) << printed;
    EXPECT_EQ(race->GetMode(), RaceMode::TimeTrial);
    EXPECT_EQ(race->GetTrackDescription().GetKey(), "Flat");
    EXPECT_FALSE(app.IsQuitRequested());
    // The race's listeners replaced the show room's: the race and its player.
    EXPECT_EQ(app.GetEventHandler().GetListenerCount(EventHandler::KeyEvent), 3u);
}

TEST_F(GameModes, TheTrackChosenStaysChosenThroughTheOtherEntriesAndIsTheOneRaced) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    ShowRoom* room = app.GetShowRoom();
    for (int i = 0; i < ShowRoom::Track; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(room->GetTrackEntry(), "Track: Flat reversed");
    EXPECT_EQ(SettingsStore().Get("race", "direction"), "reverse");
    Key(VK_DOWN);  // "Opponents", stepped
    Key(VK_RETURN);
    EXPECT_EQ(room->GetOpponentsEntry(), "Opponents: Hard");
    EXPECT_EQ(room->GetTrackEntry(), "Track: Flat reversed");
    EXPECT_EQ(app.GetTrackChoice(), 1u);
    for (int i = ShowRoom::Opponents; i > ShowRoom::TimeTrial; --i) Key(VK_UP);
    Key(VK_RETURN);
    const std::string printed = Frame();
    auto* race = dynamic_cast<GameEngine*>(app.GetRace());
    ASSERT_NE(race, nullptr) << printed;
    EXPECT_EQ(race->GetTrackDescription().GetKey(), "Flat");
    EXPECT_EQ(race->GetDirection(), TrackDescription::Direction::Reverse);
    // And the show room after it offers it still.
    Key(VK_ESCAPE);
    Frame();
    ASSERT_NE(app.GetShowRoom(), nullptr);
    EXPECT_EQ(app.GetShowRoom()->GetTrackEntry(), "Track: Flat reversed");
    EXPECT_EQ(SettingsStore().Get("race", "direction"), "reverse");
}

TEST_F(GameModes, ARaceThatCannotStartLeavesThePlayerInTheShowRoomToldWhyAndItsTrackIsPassedOver) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    // The notice's line, amber, over the bottom left of the room.
    const auto amberInNotice = [this]() {
        app.GetShowRoom()->Frame();
        const BackBuffer shot;
        const int bottom = static_cast<int>(HudNotice::BottomPx);
        return shot.Count(0, bottom, shot.Width(), bottom + 34, IsAmber);
    };
    const int amberBefore = amberInNotice();
    for (int i = 0; i < ShowRoom::Track; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
    Key(VK_RETURN);
    ASSERT_EQ(app.GetShowRoom()->GetTrackEntry(), "Track: Meadow");
    for (int i = ShowRoom::Track; i > ShowRoom::TimeTrial; --i) Key(VK_UP);
    Key(VK_RETURN);
    std::string printed = Frame();
    const std::string meadow = "Meadow cannot be raced: its model has no terrain";
    EXPECT_FALSE(app.IsQuitRequested());
    ShowRoom* room = app.GetShowRoom();
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(Occurrences(printed, "[ERROR]"), 1) << printed;
    EXPECT_EQ(Occurrences(printed, "[ERROR] GameEngine: " + meadow + "\n"), 1) << printed;
    const HudNotice& notice = app.GetNotice();
    EXPECT_TRUE(notice.IsShown());
    EXPECT_EQ(notice.GetText(), meadow);
    EXPECT_GT(amberInNotice(), amberBefore + 50);
    // Where the player was: the entry and the track.
    EXPECT_EQ(room->GetSelection(), ShowRoom::TimeTrial);
    EXPECT_EQ(room->GetTrackEntry(), "Track: Meadow");

    // Started again: refused at once with the same line, nothing loaded.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(app.StartRace(0, RaceMode::FreeDrive));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(app.GetShowRoom(), room);
    EXPECT_EQ(notice.GetText(), meadow);

    // The Track entry passes over both of Meadow's ways: Notes is next,
    // whose model is no document, and "Race" cannot start on it either.
    for (int i = ShowRoom::TimeTrial; i < ShowRoom::Track; ++i) Key(VK_DOWN);
    Key(VK_RIGHT);
    EXPECT_EQ(room->GetTrackEntry(), "Track: Notes");
    EXPECT_EQ(SettingsStore().Get("race", "track"), "Notes");
    for (int i = ShowRoom::Track; i > ShowRoom::Race; --i) Key(VK_UP);
    Key(VK_RETURN);
    printed = Frame();
    const std::string notes = "Notes cannot be raced: its model did not load";
    EXPECT_EQ(Occurrences(printed, "[ERROR] GameEngine: " + notes + "\n"), 1) << printed;
    EXPECT_EQ(notice.GetText(), notes);
    room = app.GetShowRoom();
    ASSERT_NE(room, nullptr);

    // Round the choices both ways, Flat's two ways alone are left.
    for (int i = ShowRoom::Race; i < ShowRoom::Track; ++i) Key(VK_DOWN);
    for (const char* entry : {"Track: Flat", "Track: Flat reversed", "Track: Flat"}) {
        Key(VK_RIGHT);
        EXPECT_EQ(room->GetTrackEntry(), entry);
    }
    Key(VK_LEFT);
    EXPECT_EQ(room->GetTrackEntry(), "Track: Flat reversed");
}

TEST_F(GameModes, ARaceWithoutAnyTrackLeavesThePlayerInTheShowRoomSayingSo) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_DOWN);
    Key(VK_RETURN);  // "Time Trial", on stand-in data without a track
    const std::string printed = Frame();
    EXPECT_FALSE(app.IsQuitRequested());
    EXPECT_NE(app.GetShowRoom(), nullptr);
    EXPECT_EQ(app.GetNotice().GetText(), "No track found in ../data/tracks");
    EXPECT_NE(printed.find("[ERROR] GameEngine: no track found"), std::string::npos) << printed;
    EXPECT_EQ(app.GetFailure(), "");
}

TEST_F(GameModes, StartShowRoomReplacesTheShowRoomWithAFreshOne) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_DOWN);
    Key(VK_RIGHT);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(app.StartShowRoom());
    testing::internal::GetCapturedStdout();
    ShowRoom* fresh = app.GetShowRoom();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetSelection(), ShowRoom::FreeDrive);
    EXPECT_EQ(fresh->GetCarIndex(), 0u);
    EXPECT_EQ(app.GetEventHandler().GetListenerCount(EventHandler::KeyEvent), 2u);
    app.Frame();
}


TEST_F(GameModes, TwoPlayersJoinOnTheirOwnKeysPickTheirCarsAndRaceTogether) {
    SKIP_WITHOUT_GAME_CARS();
    ASSERT_TRUE(Start(RaceData())) << output;
    ShowRoom* room = app.GetShowRoom();
    // "Players: 1" steps to 2 and is kept.
    for (int i = 0; i < ShowRoom::Players; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(room->GetPlayers(), 2u);
    EXPECT_EQ(SettingsStore().Get("race", "players"), "2");
    // "Free Drive" first asks who plays: no race yet.
    for (int i = 0; i < ShowRoom::Players; ++i) Key(VK_UP);
    Key(VK_RETURN);
    Frame();
    ASSERT_EQ(app.GetShowRoom(), room);
    ASSERT_TRUE(room->GetJoin().IsOpen());
    // Return on the arrows' set takes the first place, the second set's
    // throttle the second; its right key picks the other car. The arrows
    // now step no menu entry.
    Key(VK_RETURN);
    Key(VK_DOWN);
    EXPECT_EQ(room->GetSelection(), ShowRoom::FreeDrive);
    Key('W');
    Key('D');
    ASSERT_EQ(room->GetJoin().GetPlaces().size(), 2u);
    EXPECT_EQ(room->GetJoin().GetPlaces()[1].device, InputDevice::KeySet(KeyBindings::SecondSet));
    EXPECT_EQ(room->GetJoin().GetPlaces()[1].carIndex, (room->GetCarIndex() + 1) % CarPool::Count());
    Frame();
    EXPECT_EQ(app.GetShowRoom(), room) << "every place taken, Return starts";
    Key(VK_RETURN);
    const std::string printed = Frame();
    auto* race = dynamic_cast<GameEngine*>(app.GetRace());
    ASSERT_NE(race, nullptr) << printed;
    ASSERT_EQ(race->GetPlayerCount(), 2u);
    EXPECT_EQ(race->GetMode(), RaceMode::FreeDrive);
    EXPECT_EQ(race->GetPlayer(1)->GetDevice(), InputDevice::KeySet(KeyBindings::SecondSet));
    EXPECT_EQ(race->GetPlayer(1)->GetKeyBindings().KeyOf(KeyBindings::Throttle), static_cast<unsigned>('W'));
    EXPECT_EQ(race->GetSetup().entrants[1].carIndex, (race->GetSetup().entrants[0].carIndex + 1) % CarPool::Count());
    // Escape takes both back to the show room, which still says two.
    Key(VK_ESCAPE);
    Frame();
    ASSERT_NE(app.GetShowRoom(), nullptr);
    EXPECT_EQ(app.GetShowRoom()->GetPlayers(), 2u);
}
