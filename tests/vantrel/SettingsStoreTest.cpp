#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "FileText.h"
#include "storage/SettingsStore.h"

namespace fs = std::filesystem;

namespace {

/// A scratch folder; what the logger prints meanwhile is kept.
class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        folder = root / "vantrel";
        file = folder / "settings.ini";
        previous = std::cout.rdbuf(output.rdbuf());
    }
    void TearDown() override {
        std::cout.rdbuf(previous);
        fs::remove_all(root);
    }
    int WarnLines() const { return Count(output.str(), "[Warn] SettingsStore - "); }

    fs::path root, folder, file;
    std::ostringstream output;
    std::streambuf* previous = nullptr;
};

}  // namespace

TEST_F(SettingsStoreTest, KeepsTheChoicesAndOtherKeysAcrossRunsAndWritesOnlyChanges) {
    {
        SettingsStore first(folder.string());
        EXPECT_FALSE(first.GetQuality());
        EXPECT_FALSE(first.GetFullscreen());
        int w = 1, h = 1;
        EXPECT_FALSE(first.GetWindowSize(w, h));
        EXPECT_EQ(w, 1);
        EXPECT_FALSE(fs::exists(folder)) << "reading writes nothing";
        first.SetQuality(QualityPreset::Medium);
        first.SetFullscreen(true);
        first.SetWindowSize(1280, 720);
        EXPECT_TRUE(first.Set("sound", "music_volume", "0.5"));  // another part of the game's key
        EXPECT_FALSE(first.Set("sound", "bad key = x", "1"));
    }
    // The player adds a comment and a key of their own by hand.
    WriteFile(file, "# mine\n" + ReadFile(file) + "vsync = maybe\n");
    const std::string edited = ReadFile(file);

    SettingsStore second(folder.string());
    EXPECT_EQ(second.GetQuality(), QualityPreset::Medium);
    EXPECT_TRUE(second.GetFullscreen());
    int w = 0, h = 0;
    EXPECT_TRUE(second.GetWindowSize(w, h));
    EXPECT_EQ(w * 10000 + h, 1280 * 10000 + 720);
    EXPECT_EQ(second.Get("sound", "music_volume"), "0.5");
    // Setting what is already there writes nothing: the file is not even made again.
    fs::remove(file);
    second.SetQuality(QualityPreset::Medium);
    second.SetFullscreen(true);
    EXPECT_FALSE(fs::exists(file));
    WriteFile(file, edited);
    second.SetFullscreen(false);
    EXPECT_EQ(ReadFile(file), "# mine\n[graphics]\nquality = medium\nfullscreen = false\nwindow = 1280x720\n"
                              "\n[sound]\nmusic_volume = 0.5\nvsync = maybe\n")
        << "comments and unknown keys survive, in their places";
    EXPECT_EQ(output.str(), "");
}

TEST_F(SettingsStoreTest, AnUnusableFileGivesTheDefaultsAndIsSetAsideNeverOverwritten) {
    fs::create_directories(folder);
    const std::string garbage = "[graphics]\nquality high\n";
    WriteFile(file, garbage);
    SettingsStore store(folder.string());
    EXPECT_FALSE(store.GetQuality());
    EXPECT_EQ(WarnLines(), 1) << output.str();
    store.SetQuality(QualityPreset::Low);
    int asideCount = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("settings.ini.corrupt-", 0) == 0) {
            ++asideCount;
            EXPECT_EQ(ReadFile(entry.path()), garbage);
        }
    EXPECT_EQ(asideCount, 1);
    EXPECT_EQ(ReadFile(file), "[graphics]\nquality = low\n");
    EXPECT_EQ(WarnLines(), 1);
}

TEST_F(SettingsStoreTest, AFolderThatCannotBeMadeKeepsTheChoicesForTheRunWithOneWarning) {
    // Below a regular file no folder can be made, whoever runs the test (root too).
    WriteFile(root / "plain", "x");
    SettingsStore store((root / "plain" / "vantrel").string());
    store.SetQuality(QualityPreset::Low);
    store.SetFullscreen(true);
    store.SetQuality(QualityPreset::High);
    EXPECT_EQ(store.GetQuality(), QualityPreset::High);
    EXPECT_TRUE(store.GetFullscreen());
    EXPECT_EQ(WarnLines(), 1) << output.str();
}

TEST(SettingsStore, WindowSizesAreWholeNumbersOfUsableSize) {
    int w = 0, h = 0;
    EXPECT_TRUE(SettingsStore::ParseWindowSize("1024x768", w, h));
    EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 768);
    for (const char* bad : {"", "1024", "x768", "1024X768", "1024x768x2", " 1024x768", "+1024x768", "100x100",
                            "99999x768"}) {
        EXPECT_FALSE(SettingsStore::ParseWindowSize(bad, w, h)) << bad;
        EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 768) << bad;
    }
}

TEST_F(SettingsStoreTest, ADamagedFileGivesTheBackupsSettingsAndTheBackupIsNeverReplacedByLess) {
    fs::create_directories(folder);
    const std::string backup = "[graphics]\nquality = high\nfullscreen = true\n";
    WriteFile(folder / "settings.ini.bak", backup);
    WriteFile(file, "\x01");
    SettingsStore store(folder.string());
    EXPECT_EQ(store.GetQuality(), QualityPreset::High);
    EXPECT_TRUE(store.GetFullscreen());
    EXPECT_EQ(WarnLines(), 1);
    EXPECT_NE(output.str().find("the settings read from the backup " + file.string() + ".bak"), std::string::npos)
        << output.str();
    // The first change writes them all; the backup stays, no file took its place.
    store.SetWindowSize(1280, 720);
    const std::string first = backup + "window = 1280x720\n";
    EXPECT_EQ(ReadFile(file), first);
    EXPECT_EQ(ReadFile(folder / "settings.ini.bak"), backup);
    store.SetFullscreen(false);
    EXPECT_EQ(ReadFile(folder / "settings.ini.bak"), first);
    EXPECT_EQ(ReadFile(file), "[graphics]\nquality = high\nfullscreen = false\nwindow = 1280x720\n");
    EXPECT_EQ(WarnLines(), 1);
}

TEST_F(SettingsStoreTest, TwoCopiesOfTheGameKeepEachOthersKeysAndTheLastChangeOfEach) {
    SettingsStore one(folder.string());
    SettingsStore two(folder.string());
    EXPECT_FALSE(one.GetQuality());
    EXPECT_FALSE(two.GetQuality());
    one.SetQuality(QualityPreset::Low);
    two.SetFullscreen(true);  // two held no quality: the file's stays
    EXPECT_EQ(ReadFile(file), "[graphics]\nquality = low\nfullscreen = true\n");
    one.SetWindowSize(1280, 720);
    EXPECT_EQ(ReadFile(file), "[graphics]\nquality = low\nfullscreen = true\nwindow = 1280x720\n");
    EXPECT_TRUE(one.GetFullscreen()) << "read with the file before the change";
    two.SetQuality(QualityPreset::High);  // a later change of a key the other set
    one.SetFullscreen(true);              // already so in the file: nothing to write
    EXPECT_TRUE(one.Set("sound", "music_volume", "0.5"));
    EXPECT_EQ(ReadFile(file), "[graphics]\nquality = high\nfullscreen = true\nwindow = 1280x720\n"
                              "\n[sound]\nmusic_volume = 0.5\n");
    EXPECT_EQ(output.str(), "");
}

TEST_F(SettingsStoreTest, TwoProcessesSettingTheirOwnKeysAtOnceLoseNone) {
    const int changes = 20;
    SettingsStore parent(folder.string());
    EXPECT_FALSE(parent.GetQuality());
    std::cout.flush();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SettingsStore store(folder.string());
        bool all = true;
        for (int i = 1; i <= changes; ++i) all = store.Set("child", "n", std::to_string(i)) && all;
        _exit(all ? 0 : 1);
    }
    for (int i = 1; i <= changes; ++i) EXPECT_TRUE(parent.Set("parent", "n", std::to_string(i)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the child did not finish";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    SettingsStore nextRun(folder.string());
    EXPECT_EQ(nextRun.Get("parent", "n"), std::to_string(changes));
    EXPECT_EQ(nextRun.Get("child", "n"), std::to_string(changes));
}

TEST_F(SettingsStoreTest, ASettingsFileThatIsALinkIsWrittenWhereItLeadsAndStaysALink) {
    const fs::path dotfiles = root / "dotfiles" / "vantrel";
    fs::create_directories(dotfiles);
    fs::create_directories(folder);
    WriteFile(dotfiles / "settings.ini", "\xef\xbb\xbf[graphics] ; shared\nquality = low\n");
    fs::create_symlink(dotfiles / "settings.ini", file);  // an absolute one
    SettingsStore store(folder.string());
    EXPECT_EQ(store.GetQuality(), QualityPreset::Low);
    store.SetQuality(QualityPreset::Medium);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadFile(dotfiles / "settings.ini"), "\xef\xbb\xbf[graphics] ; shared\nquality = medium\n");
    EXPECT_EQ(fs::status(dotfiles / "settings.ini").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(output.str(), "");
}
