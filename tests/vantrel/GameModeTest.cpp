// The application's start and its mode keys, each test in a process of its
// own (the application is a singleton), on generated stand-in data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <lumora/OglEffectPass.h>

#include "GameDataFolder.h"
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

    VantrelApp& app = VantrelApp::Instance();
    std::unique_ptr<GameDataFolder> folder;
    std::string output;
};

GameDataFolder::Contents WithMusic() {
    GameDataFolder::Contents contents;
    contents.music = true;
    return contents;
}

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
    // The music is started all the same; the entry ends the program.
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(GameModes, EscapeInTheShowRoomQuits) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_ESCAPE, Release);
    EXPECT_FALSE(app.IsQuitRequested());
    Key(VK_ESCAPE);
    EXPECT_TRUE(app.IsQuitRequested());
    // The show room saw the same press after the application and kept its choice.
    EXPECT_EQ(app.GetShowRoom()->GetSelection(), ShowRoom::FreeDrive);
}

TEST_F(GameModes, ReturnQuitsOnExitGame) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_UP);
    Key(VK_RETURN, Release);
    EXPECT_FALSE(app.IsQuitRequested());
    Key(VK_RETURN);  // "Exit Game"
    EXPECT_TRUE(app.IsQuitRequested());
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

    Key(VK_DOWN);
    Key(VK_DOWN);
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

TEST_F(GameModes, ReturnOnTimeTrialReplacesTheShowRoomWithARaceAndQuitsWhenItCannotStart) {
    ASSERT_TRUE(Start({})) << output;
    Key(VK_DOWN);
    Key(VK_RETURN);  // "Time Trial", on stand-in data without a track
    EXPECT_EQ(app.GetShowRoom(), nullptr);
    EXPECT_NE(app.GetRace(), nullptr);
    EXPECT_TRUE(app.IsQuitRequested());
    // The race's listeners replaced the show room's: the race and its player.
    EXPECT_EQ(app.GetEventHandler().GetListenerCount(EventHandler::KeyEvent), 3u);
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
