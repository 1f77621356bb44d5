// F12's screenshots in the application's window, on generated stand-in data:
// the PNG against the window's pixels as the X server shows them, names that
// never overwrite, a folder that cannot be written, and the HUD's line about
// each.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <GL/glew.h>

#include <lumora/ImageLoader.h>

#include "FileText.h"
#include "GameDataFolder.h"
#include "GameWindow.h"
#include "ShownWindow.h"
#include "shell/Screenshot.h"
#include "hud/HudNotice.h"
#include "platform/AppWindow.h"
#include "platform/WindowMessage.h"
#include "shell/VantrelApp.h"

namespace fs = std::filesystem;

namespace {

/// The PNG's pixels as RGB, bottom row first, through the engine's loader.
std::vector<std::uint8_t> ReadPng(const fs::path& file, int& width, int& height) {
    ImageLoader& loader = Singleton<ImageLoader>::Instance();
    ImageLoader::ImageFile* image = loader.LoadImageFile(file.string());
    if (!image) return {};
    width = static_cast<int>(image->GetWidth());
    height = static_cast<int>(image->GetHeight());
    const auto* bgra = static_cast<const std::uint8_t*>(image->GetPixelData());
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i)
        rgb.insert(rgb.end(), {bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4]});
    loader.UnLoadImageFile(image);
    return rgb;
}

/// Pixels in the notice's corner in the HUD's light grey (0.9), as its text is drawn.
int NoticeGreyPixels(const std::vector<std::uint8_t>& rgb, int width) {
    int count = 0;
    for (int y = static_cast<int>(HudNotice::BottomPx); y < static_cast<int>(HudNotice::BottomPx) + 34; ++y)
        for (int x = static_cast<int>(HudNotice::MarginPx); x < 520; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            if (p[0] == p[1] && p[1] == p[2] && p[0] >= 228 && p[0] <= 231) ++count;
        }
    return count;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    if (fs::is_directory(folder))
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// The application started on stand-in data with a scratch home folder, whose
/// ~/Pictures/Vantrel takes the shots; HOME is put back afterwards.
class Screenshots : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-shots-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        if (const char* home = std::getenv("HOME")) savedHome = home;
        fs::create_directories(scratch / "home");
        setenv("HOME", (scratch / "home").c_str(), 1);
        pictures = scratch / "home" / "Pictures" / "Vantrel";

        folder = std::make_unique<GameDataFolder>(GameDataFolder::Contents{});
        // The player's files, and xdg-user-dir's settings with them, in the scratch folder.
        const std::string playerFiles = (fs::current_path().parent_path() / "player").string();
        setenv("XDG_DATA_HOME", playerFiles.c_str(), 1);
        setenv("XDG_CONFIG_HOME", playerFiles.c_str(), 1);
        testing::internal::CaptureStdout();
        started = app.Start();
        output = testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        savedHome ? setenv("HOME", savedHome->c_str(), 1) : unsetenv("HOME");
        fs::remove_all(scratch);
    }

    /// F12, and the frame it is taken in.
    void PressF12AndDraw() {
        app.GetEventHandler().DispatchKey(VK_F12, 0);
        app.Frame();
    }
    /// Waits for the worker, then draws the next frame, which shows the
    /// outcome; what that printed.
    std::string NextFrameAfterTheWrite() {
        app.GetScreenshots().Wait();
        testing::internal::CaptureStdout();
        app.Frame();
        return testing::internal::GetCapturedStdout();
    }

    VantrelApp& app = VantrelApp::Instance();
    std::unique_ptr<GameDataFolder> folder;
    fs::path scratch, pictures;
    std::optional<std::string> savedHome;
    bool started = false;
    std::string output;
};

}  // namespace

TEST_F(Screenshots, F12WritesTheFrameAsShownAndTheHudSaysWhereItWent) {
    ASSERT_TRUE(started) << output;
    app.Frame();
    int width = 0, height = 0;
    app.GetWindow()->GetClientSize(width, height);
    // The read-back gives back the caller's packing.
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    PressF12AndDraw();
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 2);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // The window now shows the frame F12 was pressed in.
    const std::vector<std::uint8_t> shown = ReadShownWindow(width, height);
    ASSERT_FALSE(shown.empty()) << "the window cannot be read back";
    EXPECT_EQ(NextFrameAfterTheWrite(), "");

    const std::vector<std::string> files = FilesIn(pictures);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(Vantrel \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.png)"))) << files[0];
    const HudNotice& notice = app.GetNotice();
    EXPECT_TRUE(notice.IsShown());
    EXPECT_FALSE(notice.IsWarning());
    EXPECT_EQ(notice.GetText(), "Screenshot: ~/Pictures/Vantrel/" + files[0]);

    int pngWidth = 0, pngHeight = 0;
    const std::vector<std::uint8_t> png = ReadPng(pictures / files[0], pngWidth, pngHeight);
    ASSERT_EQ(pngWidth, width);
    ASSERT_EQ(pngHeight, height);
    ASSERT_EQ(png.size(), shown.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < png.size(); ++i) differing += png[i] != shown[i];
    EXPECT_EQ(differing, 0u) << "bytes of the PNG unlike the window's";
    // The show room's menu is in it: a picture of the frame, not of a cleared buffer.
    int yellow = 0;
    for (std::size_t i = 0; i < png.size(); i += 3) yellow += IsYellow(png[i], png[i + 1], png[i + 2]);
    EXPECT_GT(yellow, 50);

    // Taken while the line is up, the next shot has the line in it, HUD and
    // all. Whether it was up, not yet fading, is read from the notice itself:
    // a frame of a loaded machine may take that long.
    PressF12AndDraw();
    const bool lineUp = notice.IsShown() && notice.GetAgeS() < HudNotice::ShownS - HudNotice::FadeS;
    EXPECT_EQ(NextFrameAfterTheWrite(), "");
    const std::vector<std::string> both = FilesIn(pictures);
    ASSERT_EQ(both.size(), 2u);
    const std::string second = both[0] == files[0] ? both[1] : both[0];
    EXPECT_EQ(notice.GetText(), "Screenshot: ~/Pictures/Vantrel/" + second);
    const std::vector<std::uint8_t> withNotice = ReadPng(pictures / second, pngWidth, pngHeight);
    ASSERT_EQ(withNotice.size(), png.size());
    if (lineUp) {
        EXPECT_GT(NoticeGreyPixels(withNotice, width), NoticeGreyPixels(png, width) + 100);
    }
}

TEST_F(Screenshots, ASecondShotInTheSameSecondGetsAnotherNameAndNoneIsOverwritten) {
    const char* savedZone = std::getenv("TZ");
    const std::optional<std::string> zone = savedZone ? std::optional<std::string>(savedZone) : std::nullopt;
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t when = 1796766903;  // 2026-12-08 21:55:03 UTC
    EXPECT_EQ(Screenshot::FileName(when), "Vantrel 2026-12-08 21-55-03.png");
    const std::vector<unsigned char> first{'1'}, second{'2', '2'}, third{'3'};
    // The folder and its parents are made on the way.
    const Screenshot::Outcome a = Screenshot::Write(pictures.string(), when, first);
    const Screenshot::Outcome b = Screenshot::Write(pictures.string(), when, second);
    const Screenshot::Outcome c = Screenshot::Write(pictures.string(), when, third);
    zone ? setenv("TZ", zone->c_str(), 1) : unsetenv("TZ");
    tzset();
    ASSERT_TRUE(a.saved) << a.error;
    ASSERT_TRUE(b.saved) << b.error;
    ASSERT_TRUE(c.saved) << c.error;
    EXPECT_EQ(a.file, (pictures / "Vantrel 2026-12-08 21-55-03.png").string());
    EXPECT_EQ(b.file, (pictures / "Vantrel 2026-12-08 21-55-03 (2).png").string());
    EXPECT_EQ(c.file, (pictures / "Vantrel 2026-12-08 21-55-03 (3).png").string());
    EXPECT_EQ(ReadFile(a.file), "1");
    EXPECT_EQ(ReadFile(b.file), "22");
    EXPECT_EQ(ReadFile(c.file), "3");
    EXPECT_EQ(b.NoticeLine(), "Screenshot: ~/Pictures/Vantrel/Vantrel 2026-12-08 21-55-03 (2).png");
}

TEST_F(Screenshots, AFolderThatCannotBeWrittenGivesOneHudLineAndOneWarnLineAndTheGameGoesOn) {
    ASSERT_TRUE(started) << output;
    // A home that is a file: no folder can be made under it, whoever runs the test.
    const fs::path file = scratch / "home-file";
    WriteFile(file, "not a folder");
    setenv("HOME", file.c_str(), 1);
    PressF12AndDraw();
    const std::string printed = NextFrameAfterTheWrite();
    EXPECT_EQ(printed, "[WARN] Screenshot: not saved: " + file.string() + "/Pictures: Not a directory\n");
    const HudNotice& notice = app.GetNotice();
    EXPECT_TRUE(notice.IsShown());
    EXPECT_TRUE(notice.IsWarning());
    EXPECT_EQ(notice.GetText(), "Screenshot not saved: ~/Pictures: Not a directory");
    // Said once: the next frames print nothing more, and the game runs on.
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3; ++i) app.Frame();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(app.IsQuitRequested());
    EXPECT_NE(app.GetShowRoom(), nullptr);
    EXPECT_EQ(ReadFile(file), "not a folder");
}

TEST(HudNotice, ShowsItsLineForTwoSecondsInCharactersTheFontsCanDraw) {
    HudNotice notice;
    EXPECT_FALSE(notice.IsShown());
    // "é" is two bytes of UTF-8 the fonts have no glyph for: one '?'.
    notice.Show("Screenshot: ~/Im\xc3\xa1genes/a\tb.png", 100.0);
    EXPECT_EQ(notice.GetText(), "Screenshot: ~/Im?genes/a?b.png");
    notice.Update(101.99);
    EXPECT_TRUE(notice.IsShown());
    notice.Update(102.0);
    EXPECT_FALSE(notice.IsShown());
    // A new line starts its two seconds afresh.
    notice.Show("Screenshot not saved: no room", 103.0, true);
    notice.Update(104.5);
    EXPECT_TRUE(notice.IsShown());
    EXPECT_TRUE(notice.IsWarning());
    // A line that asks for longer stays that long.
    notice.Show("Meadow cannot be raced: its model has no terrain", 110.0, true, 5.0);
    notice.Update(114.9);
    EXPECT_TRUE(notice.IsShown());
    notice.Update(115.0);
    EXPECT_FALSE(notice.IsShown());
}
