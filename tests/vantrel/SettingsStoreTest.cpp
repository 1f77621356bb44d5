#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

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
