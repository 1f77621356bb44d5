#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "FileText.h"
#include "storage/IniFile.h"
#include "storage/RecordsStore.h"
#include "storage/UserFolders.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// What the logger writes to standard output meanwhile.
class CapturedOutput {
public:
    CapturedOutput() : previous(std::cout.rdbuf(text.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(previous); }
    std::string Text() const { return text.str(); }
    int WarnLines() const { return Count(text.str(), "[Warn] RecordsStore - "); }

private:
    std::ostringstream text;
    std::streambuf* previous;
};

/// A temporary folder per test as $XDG_DATA_HOME and $XDG_CONFIG_HOME; the
/// environment is put back afterwards.
class PlayerFilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-records-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        for (int i = 0; i < 3; ++i)
            if (const char* value = std::getenv(Variables[i])) saved[i] = value;
        SetDataHome(root / "data");
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    }
    void TearDown() override {
        for (int i = 0; i < 3; ++i) saved[i] ? setenv(Variables[i], saved[i]->c_str(), 1) : unsetenv(Variables[i]);
        fs::remove_all(root);
    }
    void SetDataHome(const fs::path& folder) {
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        gameFolder = folder / "vantrel";
        recordsFile = gameFolder / "records.ini";
    }

    static constexpr const char* Variables[3] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    std::optional<std::string> saved[3];
    fs::path root;
    fs::path gameFolder;   ///< $XDG_DATA_HOME/vantrel
    fs::path recordsFile;  ///< records.ini in it
};

using RecordsStoreTest = PlayerFilesTest;
using UserFoldersTest = PlayerFilesTest;

}  // namespace

TEST_F(RecordsStoreTest, KeepsTheBestTimePerCarAcrossRunsAndThePreviousFileAsBackup) {
    CapturedOutput output;
    {
        RecordsStore first;  // no file yet, and nothing to say about it
        first.Load();
        EXPECT_FALSE(first.BestMs("NissanSkyline"));
        EXPECT_TRUE(first.Submit("NissanSkyline", 90000));
    }
    for (const fs::path& folder : {gameFolder.parent_path(), gameFolder})  // both new, the user's alone
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
    // The player adds notes and a section of another program by hand.
    const std::string edited = "; my laps\n" + ReadFile(recordsFile) + "ghost = on\n\n[other]\nx = 1\n";
    WriteFile(recordsFile, edited);

    RecordsStore second;
    EXPECT_EQ(second.BestMs("NissanSkyline"), 90000u);
    // Slower, equal, zero and badly named times are no records and write nothing.
    for (auto [car, ms] : {std::pair{"NissanSkyline", 95000}, {"NissanSkyline", 90000}, {"NissanSkyline", 0},
                           {"Nissan]\n[x", 1000}})
        EXPECT_FALSE(second.Submit(car, ms)) << ms;
    EXPECT_EQ(FilesIn(gameFolder), std::vector<std::string>{"records.ini"});

    EXPECT_TRUE(second.Submit("NissanSkyline", 85000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), edited);
    const std::string afterFirst = ReadFile(recordsFile);
    EXPECT_EQ(afterFirst, "; my laps\n[NissanSkyline]\nbest_ms = 85000\nghost = on\n\n[other]\nx = 1\n");
    EXPECT_TRUE(second.Submit("BugattiVeyron", 70000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), afterFirst);
    EXPECT_EQ(FilesIn(gameFolder), (std::vector<std::string>{"records.ini", "records.ini.bak"}));

    RecordsStore third;
    EXPECT_EQ(third.BestMs("NissanSkyline"), 85000u);
    EXPECT_EQ(third.BestMs("BugattiVeyron"), 70000u);
    EXPECT_EQ(output.Text(), "");
}

TEST_F(RecordsStoreTest, SetsAnUnusableFileAsideUnderANewNameAndNeverOverwritesIt) {
    const struct {
        std::string contents;
        const char* problem;  ///< in the Warn line after the file's path
    } cases[] = {
        {std::string("\x7f" "ELF\x02\x01\0\0", 8) + "\xff\xfe", ":1: binary data"},
        {"[NissanSkyline]\nbest_ms 83456\n", ":2: neither a comment"},
        {std::string(IniFile::MaxBytes + 1, '#'), ": larger than"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        SetDataHome(root / std::to_string(&c - cases));
        fs::create_directories(gameFolder);
        WriteFile(recordsFile, c.contents);

        CapturedOutput output;
        RecordsStore store;
        store.Load();
        EXPECT_EQ(output.WarnLines(), 1);
        EXPECT_NE(output.Text().find(recordsFile.string() + c.problem), std::string::npos) << output.Text();
        EXPECT_FALSE(store.BestMs("NissanSkyline"));
        ASSERT_EQ(FilesIn(gameFolder).size(), 1u);
        const std::string aside = FilesIn(gameFolder)[0];
        EXPECT_EQ(aside.rfind("records.ini.corrupt-", 0), 0u) << aside;
        EXPECT_EQ(ReadFile(gameFolder / aside), c.contents);

        // The name is free again: a record starts a new file beside the copy.
        EXPECT_TRUE(store.Submit("NissanSkyline", 88000));
        EXPECT_EQ(ReadFile(recordsFile), "[NissanSkyline]\nbest_ms = 88000\n");
        EXPECT_EQ(output.WarnLines(), 1);

        // Broken again while the names of this second and the next two are
        // taken: it goes under a further name, and every other file stays.
        WriteFile(recordsFile, "junk\n");
        for (std::time_t second = std::time(nullptr), last = second + 2; second <= last; ++second) {
            char stamp[64];
            std::strftime(stamp, sizeof stamp, "records.ini.corrupt-%Y%m%d-%H%M%S", std::localtime(&second));
            if (!fs::exists(gameFolder / stamp)) WriteFile(gameFolder / stamp, "taken");
        }
        const size_t fileCount = FilesIn(gameFolder).size();
        store.Load();
        EXPECT_EQ(output.WarnLines(), 2);
        EXPECT_FALSE(fs::exists(recordsFile));
        ASSERT_EQ(FilesIn(gameFolder).size(), fileCount);
        for (const std::string& name : FilesIn(gameFolder)) {
            const std::string contents = ReadFile(gameFolder / name);
            if (name == aside)
                EXPECT_EQ(contents, c.contents);
            else if (contents == "junk\n")
                EXPECT_EQ(name.substr(name.size() - 2), "-2") << name;
            else
                EXPECT_EQ(contents, "taken") << name;
        }
    }
}

TEST_F(RecordsStoreTest, KeepsRecordsForTheRunWhenItsFolderCannotBeMade) {
    // A plain file where a parent folder should be stops root too; a
    // read-only mode would not.
    WriteFile(root / "blocker", "not a folder");
    SetDataHome(root / "blocker" / "data");
    CapturedOutput output;
    RecordsStore store;
    store.Load();
    EXPECT_TRUE(store.Submit("NissanSkyline", 90000));
    EXPECT_TRUE(store.Submit("NissanSkyline", 80000));
    EXPECT_FALSE(store.Submit("NissanSkyline", 85000));
    EXPECT_EQ(store.BestMs("NissanSkyline"), 80000u);
    EXPECT_EQ(output.WarnLines(), 1);
    EXPECT_NE(output.Text().find("Not a directory"), std::string::npos) << output.Text();
}

TEST(IniFile, RewriteKeepsEveryLineItDidNotChange) {
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.Parse("# by hand\r\nversion = 3\n\n[graphics]\n  width=1024   \n; height next\nheight = 768\n"
                          "[sound]\nmusic = off = really\n[unknown]\n[graphics]\nshadows = on",
                          "settings.ini", error));
    EXPECT_EQ(ini.Get("graphics", "shadows"), "on");  // under the section's second header

    EXPECT_TRUE(ini.Set("graphics", "width", "1280"));     // in place
    EXPECT_TRUE(ini.Set("sound", "volume", "80"));         // after the section's last key
    EXPECT_TRUE(ini.Set("unknown", "seen", "yes"));        // under a bare header
    EXPECT_TRUE(ini.Set("controls", "steering", "keys"));  // a new section at the end
    EXPECT_TRUE(ini.Set("", "first", "1"));                // before any section
    EXPECT_FALSE(ini.Set("graphics", "height", "1\n[evil]"));  // would not read back the same
    const std::string expected =
        "# by hand\r\nversion = 3\nfirst = 1\n\n[graphics]\nwidth = 1280\n; height next\nheight = 768\n"
        "[sound]\nmusic = off = really\nvolume = 80\n[unknown]\nseen = yes\n[graphics]\nshadows = on\n"
        "\n[controls]\nsteering = keys\n";
    EXPECT_EQ(ini.ToString(), expected);

    // Malformed input names file and line, and leaves the document alone.
    EXPECT_FALSE(ini.Parse("[a]\nx = 1\n[b\n", "settings.ini", error));
    EXPECT_EQ(error, "settings.ini:3: a section line without its closing ']'");
    EXPECT_EQ(ini.ToString(), expected);
}

TEST_F(UserFoldersTest, FollowsTheXdgRulesAndFallsBackToTheHomeFolder) {
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(UserFolders::DataFolder(), (root / "data" / "vantrel").string());
    EXPECT_EQ(UserFolders::ConfigFolder(), (root / "config" / "vantrel").string());
    // Relative and empty values are to be ignored, as unset ones.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(UserFolders::DataFolder(), "/home/player/.local/share/vantrel");
    EXPECT_EQ(UserFolders::ConfigFolder(), "/home/player/.config/vantrel");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");  // then the password database knows the home folder
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(UserFolders::ConfigFolder(), std::string(entry->pw_dir) + "/.config/vantrel");
}
