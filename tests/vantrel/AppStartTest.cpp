// VantrelApp::Start: the sound engine and the music, heard through SDL's
// silent "dummy" audio driver.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <SDL2/SDL_mixer.h>

#include "VantrelApp.h"

namespace fs = std::filesystem;

namespace {

void Put16(std::ofstream& out, std::uint16_t v) { out.put(char(v & 0xFF)).put(char(v >> 8)); }
void Put32(std::ofstream& out, std::uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

/// Half a second of a 16-bit mono tone as a WAV file; the mixer goes by the
/// content, not the file name.
void WriteTone(const fs::path& file) {
    const std::uint32_t rate = 22050, samples = rate / 2;
    std::ofstream out(file, std::ios::binary);
    out.write("RIFF", 4), Put32(out, 36 + samples * 2), out.write("WAVEfmt ", 8);
    Put32(out, 16), Put16(out, 1), Put16(out, 1), Put32(out, rate), Put32(out, rate * 2), Put16(out, 2), Put16(out, 16);
    out.write("data", 4), Put32(out, samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i) Put16(out, static_cast<std::uint16_t>((i / 25) % 2 ? 8000 : -8000));
}

/// A scratch program folder "bin" with, optionally, "../data/music" beside it,
/// entered for the life of the object.
class ScratchFolder {
public:
    explicit ScratchFolder(bool withMusic) {
        root = fs::temp_directory_path() / ("vantrel-start-" + std::to_string(::getpid()));
        fs::create_directories(root / "bin");
        if (withMusic) {
            fs::create_directories(root / "data" / "music");
            WriteTone(root / "data" / "music" / "Halverd - Evenfall.mp3");
        }
        previous = fs::current_path();
        fs::current_path(root / "bin");
    }
    ~ScratchFolder() {
        fs::current_path(previous);
        fs::remove_all(root);
    }

private:
    fs::path root, previous;
};

class AppStart : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

}  // namespace

TEST_F(AppStart, StartsTheMusicFromTheDataFolder) {
    ScratchFolder folder(true);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(VantrelApp::Instance().Start());
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.find("[ERROR]"), std::string::npos) << output;
    EXPECT_EQ(output.find("VantrelApp"), std::string::npos) << output;
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(AppStart, MissingMusicIsReportedOnceAndTheGameGoesOn) {
    ScratchFolder folder(false);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(VantrelApp::Instance().Start());
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string warning = "[WARN] VantrelApp: no music";
    const std::size_t first = output.find(warning);
    ASSERT_NE(first, std::string::npos) << output;
    EXPECT_EQ(output.find(warning, first + 1), std::string::npos) << output;
}
