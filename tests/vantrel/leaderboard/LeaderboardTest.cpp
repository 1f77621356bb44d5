// The server's leaderboards on files in a temporary folder: the boards'
// rules, unusable files set aside, a reader beside the writer, and a writer
// killed mid-run that loses no run it acknowledged.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "leaderboard/Leaderboard.h"

namespace fs = std::filesystem;

namespace {

const Leaderboard::Board Valley{"GreenValley", 0x1234ABCDu, false, "NissanSkyline"};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

/// The first value `sql` gives, through a connection of the test's own; the
/// error's message when it fails.
std::string Query(const fs::path& path, const char* sql) {
    sqlite3* db = nullptr;
    std::string value;
    char* error = nullptr;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        const auto first = [](void* out, int, char** values, char**) {
            auto& text = *static_cast<std::string*>(out);
            if (text.empty() && values[0]) text = values[0];
            return 0;
        };
        if (sqlite3_exec(db, sql, first, &value, &error) != SQLITE_OK) value = error ? error : "error";
    }
    sqlite3_free(error);
    sqlite3_close(db);
    return value;
}

/// A temporary folder per test, removed afterwards.
class LeaderboardTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-leaderboard-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        file = root / Leaderboard::FileName;
    }
    void TearDown() override { fs::remove_all(root); }

    void OpenWriter(Leaderboard& board) {
        std::string problem;
        ASSERT_TRUE(board.Open(file, problem)) << problem;
        EXPECT_EQ(problem, "");
    }
    /// Enters a run whose bytes name its player and time.
    static Leaderboard::Entry Enter(Leaderboard& board, const std::string& player, std::uint32_t timeMs,
                                    std::int64_t dateS = 100, const Leaderboard::Board& which = Valley) {
        std::string problem;
        const auto entry = board.Enter(which, player, timeMs, dateS, player + std::to_string(timeMs), problem);
        EXPECT_TRUE(entry) << problem;
        return entry.value_or(Leaderboard::Entry{});
    }
    static std::string Names(const Leaderboard& board, const Leaderboard::Board& which = Valley) {
        std::string problem, names;
        const auto lines = board.Top(which, problem);
        EXPECT_TRUE(lines) << problem;
        for (const Leaderboard::Line& line : lines.value_or(std::vector<Leaderboard::Line>{}))
            names += (names.empty() ? "" : " ") + line.player;
        return names;
    }
    static bool HasRun(const Leaderboard& board, std::int64_t runId) {
        std::string bytes, problem;
        return board.FetchRun(runId, bytes, nullptr, problem);
    }

    fs::path root;
    fs::path file;
};

}  // namespace

TEST_F(LeaderboardTest, EachPlayerKeepsTheirBestLineOnly) {
    Leaderboard board;
    OpenWriter(board);
    const Leaderboard::Entry first = Enter(board, "Ann", 50000);
    EXPECT_TRUE(first.kept);
    EXPECT_EQ(first.place, 1u);
    EXPECT_EQ(Enter(board, "Bob", 40000).place, 1u);
    // Slower than her own line: where it would stand, and nothing changes.
    const Leaderboard::Entry slower = Enter(board, "Ann", 60000);
    EXPECT_FALSE(slower.kept);
    EXPECT_EQ(slower.place, 3u);
    EXPECT_EQ(slower.runId, 0);
    EXPECT_FALSE(Enter(board, "Ann", 50000, 200).kept);  // the same time later
    EXPECT_FALSE(Enter(board, "Ann", 50000, 100).kept);  // the same run again
    EXPECT_TRUE(HasRun(board, first.runId));
    // Faster: her line moves up and her old run goes.
    const Leaderboard::Entry faster = Enter(board, "Ann", 30000);
    EXPECT_TRUE(faster.kept);
    EXPECT_EQ(faster.place, 1u);
    EXPECT_EQ(Names(board), "Ann Bob");
    EXPECT_FALSE(HasRun(board, first.runId));
    std::string bytes, problem;
    Leaderboard::Board where;
    ASSERT_TRUE(board.FetchRun(faster.runId, bytes, &where, problem)) << problem;
    EXPECT_EQ(bytes, "Ann30000");
    EXPECT_EQ(where.track, Valley.track);
    EXPECT_EQ(where.trackChecksum, Valley.trackChecksum);
    EXPECT_EQ(where.car, Valley.car);
}

TEST_F(LeaderboardTest, TheBoardKeepsTheTenBestAndDeletesTheRunsPushedOff) {
    Leaderboard board;
    OpenWriter(board);
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 10; ++i) ids.push_back(Enter(board, "P" + std::to_string(i), 10000 + 1000 * i).runId);
    const Leaderboard::Entry tooSlow = Enter(board, "Slow", 30000);
    EXPECT_FALSE(tooSlow.kept);
    EXPECT_EQ(tooSlow.place, 0u);
    const Leaderboard::Entry third = Enter(board, "New", 11500);
    EXPECT_TRUE(third.kept);
    EXPECT_EQ(third.place, 3u);
    EXPECT_EQ(Names(board), "P0 P1 New P2 P3 P4 P5 P6 P7 P8");
    EXPECT_FALSE(HasRun(board, ids[9]));
    EXPECT_TRUE(HasRun(board, ids[8]));
    // The slowest time of a full board, equal but later, stays out.
    EXPECT_FALSE(Enter(board, "Late", 18000, 200).kept);
    // Equal times: the earlier date first, then the one entered first.
    EXPECT_EQ(Enter(board, "Early", 12000, 50).place, 4u);
    const Leaderboard::Entry same = Enter(board, "Same", 12000, 100);
    EXPECT_EQ(same.place, 6u);
    EXPECT_EQ(Names(board), "P0 P1 New Early P2 Same P3 P4 P5 P6");
    // The newest line replaced: its id is not handed out again, so an old
    // id never fetches someone else's run.
    EXPECT_GT(Enter(board, "Same", 11900).runId, same.runId);
}

TEST_F(LeaderboardTest, BoardsAreApartByChecksumWayAndCar) {
    Leaderboard board;
    OpenWriter(board);
    Leaderboard::Board otherSum = Valley, reverse = Valley, otherCar = Valley;
    otherSum.trackChecksum += 1;
    reverse.reverse = true;
    otherCar.car = "MazdaRx7";
    const Leaderboard::Board boards[] = {Valley, otherSum, reverse, otherCar};
    for (const Leaderboard::Board& which : boards) EXPECT_EQ(Enter(board, "Ann", 50000, 100, which).place, 1u);
    for (const Leaderboard::Board& which : boards) {
        EXPECT_EQ(Names(board, which), "Ann");
        EXPECT_EQ(Enter(board, "Bob", 40000, 100, which).place, 1u);
    }
}

TEST_F(LeaderboardTest, RefusesWhatItCannotKeepAndTakesNamesAsData) {
    Leaderboard board;
    OpenWriter(board);
    std::string problem;
    EXPECT_FALSE(board.Enter(Valley, "Ann", 1000, 0, std::string(Leaderboard::MaxRunBytes + 1, 'x'), problem));
    EXPECT_NE(problem.find("bytes"), std::string::npos) << problem;
    EXPECT_FALSE(board.Enter(Valley, "Ann", 0, 0, "run", problem));
    EXPECT_FALSE(board.Enter(Valley, "", 1000, 0, "run", problem));
    EXPECT_FALSE(board.Enter(Valley, std::string(Leaderboard::MaxTextBytes + 1, 'a'), 1000, 0, "run", problem));
    EXPECT_EQ(Names(board), "");
    const std::string largest(Leaderboard::MaxRunBytes, '\0');
    const auto entry = board.Enter(Valley, "Ann", 1000, 0, largest, problem);
    ASSERT_TRUE(entry) << problem;
    std::string bytes;
    ASSERT_TRUE(board.FetchRun(entry->runId, bytes, nullptr, problem)) << problem;
    EXPECT_EQ(bytes, largest);
    const std::string quoted = "Bob'); DROP TABLE runs; --";
    Enter(board, quoted, 2000);
    Enter(board, std::string("C\0d", 3), 3000);
    EXPECT_EQ(Names(board), "Ann " + quoted + " " + std::string("C\0d", 3));
    EXPECT_FALSE(board.FetchRun(entry->runId + 100, bytes, nullptr, problem));
}

TEST_F(LeaderboardTest, AFileThatIsNoLeaderboardIsSetAsideUntouched) {
    const auto makeForeign = [](const fs::path& path, const char* sql) { ASSERT_EQ(Query(path, sql), ""); };
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
    } cases[] = {
        {"garbage", [](const fs::path& path) { WriteBytes(path, std::string(5000, '\x5a') + "no database"); }},
        {"a few bytes", [](const fs::path& path) { WriteBytes(path, "hello"); }},
        {"another schema version",
         [&](const fs::path& path) { makeForeign(path, "CREATE TABLE runs (id); PRAGMA user_version = 7"); }},
        {"another program's tables", [&](const fs::path& path) { makeForeign(path, "CREATE TABLE notes (text)"); }},
        {"damaged pages",
         [](const fs::path& path) {
             Leaderboard board;
             std::string problem;
             ASSERT_TRUE(board.Open(path, problem)) << problem;
             for (int i = 0; i < 20; ++i)
                 ASSERT_TRUE(board.Enter(Valley, "P" + std::to_string(i), 1000 + i, 0, std::string(3000, 'r'), problem));
             board = Leaderboard();  // closed: the WAL is checkpointed into the file
             std::string bytes = ReadBytes(path);
             ASSERT_GT(bytes.size(), 16384u);
             bytes.replace(4096, 8192, 8192, '\x5a');
             WriteBytes(path, bytes);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root);
        fs::create_directory(root);
        c.make(file);
        WriteBytes(file.string() + "-wal", "not a log");
        const std::string before = ReadBytes(file);
        Leaderboard board;
        std::string problem;
        ASSERT_TRUE(board.Open(file, problem)) << problem;
        const fs::path aside = board.GetSetAsidePath();
        EXPECT_NE(problem.find("set aside as " + aside.string()), std::string::npos) << problem;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        EXPECT_EQ(ReadBytes(aside), before);
        EXPECT_EQ(ReadBytes(aside.string() + "-wal"), "not a log");
        EXPECT_TRUE(Enter(board, "Ann", 1000).kept);
        EXPECT_EQ(Names(board), "Ann");
    }
}

TEST_F(LeaderboardTest, NoDatabaseWhereNoneCanBeHadAndNothingSetAside) {
    Leaderboard board;
    std::string problem;
    EXPECT_FALSE(board.Open(root / "missing" / "leaderboard.sqlite", problem));
    EXPECT_NE(problem.find("missing"), std::string::npos) << problem;
    fs::create_directory(file);
    EXPECT_FALSE(board.Open(file, problem));
    EXPECT_FALSE(board.IsOpen());
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
    EXPECT_FALSE(board.OpenReadOnly(root / "none.sqlite", problem));
    EXPECT_FALSE(board.Enter(Valley, "Ann", 1000, 0, "run", problem));
}

TEST_F(LeaderboardTest, AReaderSeesEachCommittedRunWhileTheWriterIsOpen) {
    Leaderboard writer, reader;
    OpenWriter(writer);
    const std::int64_t ann = Enter(writer, "Ann", 50000).runId;
    std::string problem, bytes;
    ASSERT_TRUE(reader.OpenReadOnly(file, problem)) << problem;
    EXPECT_EQ(Names(reader), "Ann");
    Enter(writer, "Bob", 40000);
    EXPECT_EQ(Names(reader), "Bob Ann");
    ASSERT_TRUE(reader.FetchRun(ann, bytes, nullptr, problem)) << problem;
    EXPECT_EQ(bytes, "Ann50000");
    EXPECT_FALSE(reader.Enter(Valley, "Cy", 1000, 0, "run", problem));
    EXPECT_EQ(Names(writer), "Bob Ann");
}

// A child process enters runs, each on a board of its own so none is pushed
// off, and acknowledges each once Enter has returned; it is killed mid-run.
TEST_F(LeaderboardTest, AWriterKilledMidRunLosesNoAcknowledgedRun) {
    const auto boardOf = [](int i) { return Leaderboard::Board{"T" + std::to_string(i), 7, i % 2 == 1, "Car"}; };
    const auto runOf = [](int i) { return std::string(200 + i % 3000, static_cast<char>('a' + i % 26)); };
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        Leaderboard board;
        std::string problem;
        if (!board.Open(file, problem)) _exit(2);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; i < 5000 && std::chrono::steady_clock::now() < end; ++i) {
            const auto entry = board.Enter(boardOf(i), "P" + std::to_string(i), 1000 + i, i, runOf(i), problem);
            if (!entry || !entry->kept) _exit(3);
            const std::string ack = std::to_string(i) + ' ' + std::to_string(entry->runId) + '\n';
            if (write(pipeFds[1], ack.data(), ack.size()) != static_cast<ssize_t>(ack.size())) _exit(4);
        }
        _exit(0);
    }
    close(pipeFds[1]);
    std::string acks;
    const auto readSome = [&](int waitMs) {
        pollfd ready{pipeFds[0], POLLIN, 0};
        char buffer[4096];
        const ssize_t got = poll(&ready, 1, waitMs) == 1 ? read(pipeFds[0], buffer, sizeof buffer) : 0;
        if (got > 0) acks.append(buffer, static_cast<std::size_t>(got));
        return got > 0;
    };
    while (std::count(acks.begin(), acks.end(), '\n') < 200 && readSome(20000)) {
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // What it wrote before dying was acknowledged too.
    while (readSome(1000)) {
    }
    close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended first, status " << WEXITSTATUS(status);

    EXPECT_EQ(Query(file, "PRAGMA integrity_check"), "ok");
    Leaderboard board;
    OpenWriter(board);
    std::istringstream lines(acks.substr(0, acks.rfind('\n') + 1));
    int i = 0, acknowledged = 0, found = 0;
    std::int64_t runId = 0;
    while (lines >> i >> runId) {
        ++acknowledged;
        std::string bytes, problem;
        Leaderboard::Board where;
        if (board.FetchRun(runId, bytes, &where, problem) && bytes == runOf(i) && where.track == boardOf(i).track &&
            Names(board, boardOf(i)) == "P" + std::to_string(i))
            ++found;
    }
    std::printf("acknowledged %d runs before the kill, found %d after\n", acknowledged, found);
    EXPECT_GE(acknowledged, 200);
    EXPECT_EQ(found, acknowledged);
}
