#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

#include "FileText.h"
#include "cars/CarPool.h"
#include "input/EventHandler.h"
#include "race/RaceClock.h"
#include "race/TrialResult.h"
#include "showroom/ShowRoom.h"
#include "storage/AtomicFile.h"
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
        for (int i = 0; i < VariableCount; ++i)
            if (const char* value = std::getenv(Variables[i])) saved[i] = value;
        SetDataHome(root / "data");
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    }
    void TearDown() override {
        for (int i = 0; i < VariableCount; ++i)
            saved[i] ? setenv(Variables[i], saved[i]->c_str(), 1) : unsetenv(Variables[i]);
        fs::remove_all(root);
    }
    void SetDataHome(const fs::path& folder) {
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        gameFolder = folder / "vantrel";
        recordsFile = gameFolder / "records.ini";
    }

    static constexpr int VariableCount = 4;
    static constexpr const char* Variables[VariableCount] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "PATH"};
    std::optional<std::string> saved[VariableCount];
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
    // The lock file, made once and kept, is all there is beside it.
    EXPECT_EQ(FilesIn(gameFolder), (std::vector<std::string>{"records.ini", "records.ini.lock"}));

    EXPECT_TRUE(second.Submit("NissanSkyline", 85000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), edited);
    const std::string afterFirst = ReadFile(recordsFile);
    EXPECT_EQ(afterFirst, "; my laps\n[NissanSkyline]\nbest_ms = 85000\nghost = on\n\n[other]\nx = 1\n");
    EXPECT_TRUE(second.Submit("BugattiVeyron", 70000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), afterFirst);
    EXPECT_EQ(FilesIn(gameFolder), (std::vector<std::string>{"records.ini", "records.ini.bak", "records.ini.lock"}));

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
        EXPECT_FALSE(store.BestMs("NissanSkyline"));  // and no backup to read them from
        ASSERT_EQ(FilesIn(gameFolder).size(), 2u);
        EXPECT_EQ(FilesIn(gameFolder)[1], "records.ini.lock");
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
            if (name == "records.ini.lock")
                continue;
            else if (name == aside)
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

TEST_F(UserFoldersTest, PicturesFolderIsWhatXdgUserDirNamesElseTheHomeFoldersPictures) {
    setenv("HOME", "/home/player", 1);
    const fs::path bin = root / "bin";
    fs::create_directories(bin);
    // Only the folder with the stand-in program: no other xdg-user-dir is found.
    setenv("PATH", ("relative:" + bin.string()).c_str(), 1);
    const auto program = [&](const std::string& script) {
        std::ofstream(bin / "xdg-user-dir") << "#!/bin/sh\n" << script << "\n";
        fs::permissions(bin / "xdg-user-dir", fs::perms::owner_all);
    };
    struct Case {
        const char* what;
        std::string script;
        std::string expected;
    };
    const Case cases[] = {
        // Asked for the pictures folder, the first line counts, without its trailing slash.
        {"a set folder", "[ \"$1\" = PICTURES ] && printf '/srv/shots/\\nmore\\n'", "/srv/shots/Vantrel"},
        // The home folder itself is its answer when none is set.
        {"none set", "echo \"$HOME\"", "/home/player/Pictures/Vantrel"},
        {"a failure", "echo /srv/shots; exit 1", "/home/player/Pictures/Vantrel"},
        {"a relative answer", "echo Pictures", "/home/player/Pictures/Vantrel"},
        {"no answer", "true", "/home/player/Pictures/Vantrel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        program(c.script);
        EXPECT_EQ(UserFolders::PicturesFolder(), c.expected);
    }
    // Not executable, then not there: as no answer.
    program("echo /srv/shots");
    fs::permissions(bin / "xdg-user-dir", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(UserFolders::PicturesFolder(), "/home/player/Pictures/Vantrel");
    fs::remove(bin / "xdg-user-dir");
    EXPECT_EQ(UserFolders::PicturesFolder(), "/home/player/Pictures/Vantrel");
}

namespace {

/// The records of `times` by car index, as records.ini keeps them.
std::string RecordsText(std::initializer_list<std::uint32_t> times) {
    std::string text;
    unsigned car = 0;
    for (std::uint32_t ms : times) {
        if (car > 0) text += "\n";
        text += "[" + std::string(CarPool::Describe(car++).GetKey()) + "]\nbest_ms = " + std::to_string(ms) + "\n";
    }
    return text;
}

/// What the show room shows under each of the two original cars, whose
/// records these tests write.
std::vector<std::string> BestLines(RecordsStore& records) {
    EventHandler handler;
    ShowRoom room(handler, &records);
    std::vector<std::string> lines;
    for (unsigned car = 0; car < 2; ++car) {
        room.Choose(car, ShowRoom::TimeTrial);
        lines.push_back(room.GetBestLine());
    }
    return lines;
}

std::string Best(std::uint32_t ms) { return "Best: " + RaceClock::FormatMs(ms); }

/// Runs `work` on a thread for at most ten seconds. Should it hang there
/// (on a FIFO in `folder`), each FIFO is opened for writing until it ends,
/// so that the test can go on to say so.
bool FinishesInTime(const std::function<void()>& work, const fs::path& folder) {
    std::future<void> done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        std::error_code error;
        for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
            if (entry->is_fifo(error)) {
                const int fd = open(entry->path().c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) close(fd);
            }
    }
    return false;
}

/// Sets the file's times `ageS` seconds back.
void Age(const fs::path& file, int ageS) {
    timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= ageS;
    times[1] = times[0];
    ASSERT_EQ(utimes(file.c_str(), times), 0) << file;
}

/// The exit status of child `pid`, waiting at most `limitS` seconds (then
/// it is killed, and -1 comes back).
int ChildStatus(pid_t pid, int limitS) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitS);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(RecordsStoreTest, ADamagedFileGivesTheBackupsRecordsAndTheBackupIsNeverReplacedByLess) {
    // The sequence of issue 21: the backup holds both cars' records, the file
    // one stray byte.
    ASSERT_GE(CarPool::Count(), 2u);
    fs::create_directories(gameFolder);
    const std::string backup = RecordsText({70000, 65000});
    WriteFile(gameFolder / "records.ini.bak", backup);
    WriteFile(recordsFile, "\x01");

    CapturedOutput output;
    RecordsStore store;
    EXPECT_EQ(BestLines(store), (std::vector<std::string>{Best(70000), Best(65000)}));
    EXPECT_EQ(output.WarnLines(), 1);
    EXPECT_NE(output.Text().find(recordsFile.string() + ":1: binary data; set aside as "), std::string::npos);
    EXPECT_NE(output.Text().find("the records read from the backup " + recordsFile.string() + ".bak"),
              std::string::npos)
        << output.Text();
    EXPECT_FALSE(fs::exists(recordsFile));

    // 95 s is no record against the backup's 65 s, and writes nothing.
    TrialResult slow;
    slow.Finish(&store, CarPool::Describe(1).GetKey(), 95.0);
    EXPECT_FALSE(slow.IsNewRecord());
    EXPECT_EQ(slow.GetBestMs(), 65000u);
    EXPECT_FALSE(fs::exists(recordsFile));

    // The first won trial writes the records recovered with its own; the
    // backup stays, there was no file to take its place.
    TrialResult first;
    first.Finish(&store, CarPool::Describe(0).GetKey(), 60.0);
    EXPECT_TRUE(first.IsNewRecord());
    EXPECT_EQ(ReadFile(recordsFile), RecordsText({60000, 65000}));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), backup);
    // The second replaces the backup with that file, which holds all it did.
    TrialResult second;
    second.Finish(&store, CarPool::Describe(1).GetKey(), 64.0);
    EXPECT_TRUE(second.IsNewRecord());
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), RecordsText({60000, 65000}));
    EXPECT_EQ(ReadFile(recordsFile), RecordsText({60000, 64000}));
    EXPECT_EQ(output.WarnLines(), 1);

    RecordsStore nextRun;
    EXPECT_EQ(BestLines(nextRun), (std::vector<std::string>{Best(60000), Best(64000)}));
    EXPECT_EQ(output.WarnLines(), 1);
}

TEST_F(RecordsStoreTest, AFileThatHoldsLessThanTheRecoveredBackupNeverReplacesIt) {
    fs::create_directories(gameFolder);
    const std::string backup = RecordsText({70000, 65000});
    WriteFile(gameFolder / "records.ini.bak", backup);
    CapturedOutput output;
    RecordsStore store;  // no file, but a backup: read from it, with a word
    EXPECT_EQ(store.BestMs(CarPool::Describe(1).GetKey()), 65000u);
    EXPECT_EQ(output.WarnLines(), 1);
    EXPECT_NE(output.Text().find(recordsFile.string() + ": No such file or directory, the records read from the backup"),
              std::string::npos)
        << output.Text();

    // Meanwhile a file of one record appears (by hand, or an older game).
    WriteFile(recordsFile, RecordsText({90000}));
    EXPECT_FALSE(store.Submit(CarPool::Describe(0).GetKey(), 80000)) << "no record against the backup's 70 s";
    EXPECT_TRUE(store.Submit(CarPool::Describe(0).GetKey(), 60000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), backup) << "the one-record file holds less";
    EXPECT_EQ(ReadFile(recordsFile), RecordsText({60000, 65000})) << "the better times of both";
    EXPECT_TRUE(store.Submit(CarPool::Describe(1).GetKey(), 60000));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), RecordsText({60000, 65000}));

    // Both files unusable: the store starts empty, and each is set aside.
    WriteFile(recordsFile, "junk\n");
    WriteFile(gameFolder / "records.ini.bak", "more junk\n");
    store.Load();
    EXPECT_EQ(output.WarnLines(), 2);
    EXPECT_NE(output.Text().find("starting without the records"), std::string::npos) << output.Text();
    EXPECT_FALSE(store.BestMs(CarPool::Describe(0).GetKey()));
    int aside = 0;
    for (const std::string& name : FilesIn(gameFolder))
        aside += name.find(".corrupt-") != std::string::npos;
    EXPECT_EQ(aside, 2);
    EXPECT_FALSE(fs::exists(recordsFile));
    EXPECT_FALSE(fs::exists(gameFolder / "records.ini.bak"));
}

TEST_F(RecordsStoreTest, TwoCopiesOfTheGameKeepEachOthersRecords) {
    // Each copy sets its own car's record over and over, both at once.
    const int records = 30;
    RecordsStore parent;
    parent.Load();
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    std::cout.flush();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RecordsStore store;
        store.Load();
        char byte = 0;
        bool all = write(ready[1], "r", 1) == 1 && read(go[0], &byte, 1) == 1;
        for (int i = 0; i < records; ++i) all = store.Submit(CarPool::Describe(0).GetKey(), 100000 - i) && all;
        _exit(all ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    for (int i = 0; i < records; ++i) EXPECT_TRUE(parent.Submit(CarPool::Describe(1).GetKey(), 100000 - i)) << i;
    EXPECT_EQ(ChildStatus(child, 60), 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);

    RecordsStore nextRun;
    EXPECT_EQ(BestLines(nextRun), (std::vector<std::string>{Best(100000 - records + 1), Best(100000 - records + 1)}));
    // With its next record the parent's store learns the child's.
    EXPECT_TRUE(parent.Submit(CarPool::Describe(1).GetKey(), 50000));
    EXPECT_EQ(parent.BestMs(CarPool::Describe(0).GetKey()), 100000u - records + 1);
}

TEST_F(RecordsStoreTest, AFifoUnderAPlayerFilesNameIsSetAsideWithoutWaiting) {
    const char* const names[] = {"records.ini", "records.ini.bak", "records.ini.lock"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        SetDataHome(root / name);
        fs::create_directories(gameFolder);
        ASSERT_EQ(mkfifo((gameFolder / name).c_str(), 0600), 0);
        CapturedOutput output;
        RecordsStore store;
        EXPECT_TRUE(FinishesInTime([&] { store.Load(); }, gameFolder)) << "stopped on the FIFO";
        EXPECT_EQ(output.WarnLines(), 1);
        EXPECT_NE(output.Text().find((gameFolder / name).string() + ": not a regular file"), std::string::npos)
            << output.Text();
        EXPECT_TRUE(FinishesInTime([&] { EXPECT_TRUE(store.Submit("NissanSkyline", 90000)); }, gameFolder));
        EXPECT_EQ(ReadFile(recordsFile), "[NissanSkyline]\nbest_ms = 90000\n");
        // A FIFO read from is set aside, never overwritten; the lock's stays
        // and is done without.
        int fifos = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(gameFolder)) fifos += entry.is_fifo();
        EXPECT_EQ(fifos, 1);
        EXPECT_EQ(fs::is_fifo(gameFolder / name), std::string(name) == "records.ini.lock");
        EXPECT_EQ(output.WarnLines(), 1);
    }
}

TEST_F(RecordsStoreTest, ARecordsFileThatIsALinkIsWrittenWhereItLeads) {
    // A dotfiles set-up: the records live elsewhere, the game's folder links them.
    const fs::path dotfiles = root / "dotfiles";
    fs::create_directories(dotfiles);
    fs::create_directories(gameFolder);
    WriteFile(dotfiles / "vantrel-records.ini", RecordsText({70000}));
    const fs::path link = fs::relative(dotfiles / "vantrel-records.ini", gameFolder);
    fs::create_symlink(link, recordsFile);

    CapturedOutput output;
    RecordsStore store;
    EXPECT_EQ(store.BestMs(CarPool::Describe(0).GetKey()), 70000u);
    EXPECT_TRUE(store.Submit(CarPool::Describe(0).GetKey(), 60000));
    EXPECT_TRUE(store.Submit(CarPool::Describe(1).GetKey(), 65000));
    ASSERT_TRUE(fs::is_symlink(recordsFile));
    EXPECT_EQ(fs::read_symlink(recordsFile), link);
    EXPECT_EQ(ReadFile(dotfiles / "vantrel-records.ini"), RecordsText({60000, 65000}));
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), RecordsText({60000}));
    EXPECT_EQ(FilesIn(dotfiles), std::vector<std::string>{"vantrel-records.ini"});
    EXPECT_EQ(output.Text(), "");
}

TEST_F(RecordsStoreTest, AByteOrderMarkAndACommentAfterASectionAreNoDamage) {
    fs::create_directories(gameFolder);
    const std::string edited = "\xef\xbb\xbf; my laps\n[" + std::string(CarPool::Describe(0).GetKey()) +
                               "] ; on the pad\nbest_ms = 70000\n";
    WriteFile(recordsFile, edited);
    CapturedOutput output;
    RecordsStore store;
    EXPECT_EQ(store.BestMs(CarPool::Describe(0).GetKey()), 70000u);
    EXPECT_TRUE(store.Submit(CarPool::Describe(0).GetKey(), 60000));
    EXPECT_EQ(ReadFile(recordsFile), "\xef\xbb\xbf; my laps\n[" + std::string(CarPool::Describe(0).GetKey()) +
                                         "] ; on the pad\nbest_ms = 60000\n");
    EXPECT_EQ(ReadFile(gameFolder / "records.ini.bak"), edited);
    EXPECT_EQ(output.Text(), "");
}

TEST_F(RecordsStoreTest, StaleTemporaryFilesOfOurOwnAreRemovedWhenTheStoreOpensItsFolder) {
    fs::create_directories(gameFolder);
    const char* const stale[] = {"records.ini.tmp-Ab3xYz", "records.ini.bak.tmp-000000"};
    const char* const kept[] = {
        "records.ini.tmp-Young1",   // a minute has not passed: another copy may be writing it
        "records.ini.tmp-toolong",  // not mkostemp's six characters
        "records.ini.tmp-ab.cde",   // nor these
        "settings.ini.tmp-Ab3xYz",  // not this store's file
        "records.ini.corrupt-20240101-000000",
        "notes.txt",
    };
    for (const char* name : stale) {
        WriteFile(gameFolder / name, "half written");
        Age(gameFolder / name, 120);
    }
    for (const char* name : kept) {
        WriteFile(gameFolder / name, "x");
        if (std::string(name) != "records.ini.tmp-Young1") Age(gameFolder / name, 120);
    }
    Age(gameFolder / "records.ini.tmp-Young1", 30);
    fs::create_directory(gameFolder / "records.ini.tmp-Folder");  // no regular file
    Age(gameFolder / "records.ini.tmp-Folder", 120);

    RecordsStore store;
    store.Load();
    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    expected.push_back("records.ini.lock");
    expected.push_back("records.ini.tmp-Folder");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(gameFolder), expected);
}

TEST(IniFile, AByteOrderMarkAndCommentsAfterSectionsAreReadAndKept) {
    IniFile ini;
    std::string error;
    const std::string text = "\xef\xbb\xbf[graphics] ; by hand\nquality = low\n[sound]# off\nmusic = 0\n";
    ASSERT_TRUE(ini.Parse(text, "settings.ini", error)) << error;
    EXPECT_EQ(ini.Get("graphics", "quality"), "low");
    EXPECT_EQ(ini.Get("sound", "music"), "0");
    EXPECT_EQ(ini.ToString(), text);
    EXPECT_EQ(ini.Entries(), (std::vector<IniFile::Entry>{{"graphics", "quality", "low"}, {"sound", "music", "0"}}));
    // Anything else after the ']' is still no section line; a mark elsewhere
    // is no blank.
    EXPECT_FALSE(ini.Parse("[graphics] quality = low\n", "settings.ini", error));
    EXPECT_EQ(error, "settings.ini:1: more than a comment after a section's closing ']'");
    EXPECT_FALSE(ini.Parse("[a]\n\xef\xbb\xbf[b]\n", "settings.ini", error));
    EXPECT_EQ(ini.ToString(), text);
}

TEST_F(RecordsStoreTest, AtomicFilesBackupCopyReadsTheCurrentFileWithinTheLoadsBound) {
    fs::create_directories(gameFolder);
    const fs::path file = gameFolder / "ghost";
    std::string error;
    ASSERT_TRUE(AtomicFile::WriteKeepingBackup(file.string(), "first", 8, error)) << error;
    EXPECT_FALSE(fs::exists(gameFolder / "ghost.bak"));  // nothing to keep yet
    ASSERT_TRUE(AtomicFile::WriteKeepingBackup(file.string(), "second, longer", 8, error)) << error;
    EXPECT_EQ(ReadFile(gameFolder / "ghost.bak"), "first");
    // The current file is over the bound: it is not read whole, and nothing changes.
    EXPECT_FALSE(AtomicFile::WriteKeepingBackup(file.string(), "third", 8, error));
    EXPECT_EQ(error, file.string() + ": larger than 8 bytes");
    EXPECT_EQ(ReadFile(file), "second, longer");
    EXPECT_EQ(ReadFile(gameFolder / "ghost.bak"), "first");
    // Nor is a FIFO waited on.
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    EXPECT_TRUE(FinishesInTime([&] { EXPECT_FALSE(AtomicFile::WriteKeepingBackup(file.string(), "x", 8, error)); },
                               gameFolder));
    EXPECT_EQ(error, file.string() + ": not a regular file");
    EXPECT_TRUE(fs::is_fifo(file));
}
