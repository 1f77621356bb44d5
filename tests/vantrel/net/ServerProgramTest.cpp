// The dedicated server as a program, on loopback only: it lobbies real
// clients and races one, lives through a flood of random packets, answers SIGTERM by
// telling every client "Server stopped" and ending with 0, and turns a bad
// command line into one line and status 2. Killed with SIGKILL amid a stream
// of leaderboard runs, it loses none it acknowledged.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include <nodara/ModelPlugin.h>

#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "drivers/RacingDriver.h"
#include "leaderboard/Leaderboard.h"
#include "leaderboard/RunCheck.h"
#include "net/HeadlessClient.h"
#include "net/NetClient.h"
#include "net/NetHost.h"
#include "net/Protocol.h"
#include "net/ServerRace.h"
#include "physics/DynamicObjectCar.h"
#include "replay/RecordedRun.h"
#include "storage/GhostFile.h"
#include "track/RacingLine.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

#ifndef SERVER_PROGRAM
#error "SERVER_PROGRAM must name the vantrel-server program"
#endif

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The program started with `args`, its output in files of a folder of its own.
class ServerProcess {
public:
    /// `env`: "NAME=value" lines that replace or join the test's environment.
    explicit ServerProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        char folder[] = "/tmp/vantrel-server-test-XXXXXX";
        dir = mkdtemp(folder) ? folder : "";
        outPath = dir + "/out.txt";
        errPath = dir + "/err.txt";
        // Made before the fork: the child only calls what is safe there.
        std::vector<std::string> lines = env;
        for (char** e = environ; *e; ++e) {
            const std::string line = *e;
            const std::string name = line.substr(0, line.find('=') + 1);
            if (std::none_of(env.begin(), env.end(), [&](const std::string& o) { return o.rfind(name, 0) == 0; }))
                lines.push_back(line);
        }
        std::vector<char*> envp;
        for (std::string& line : lines) envp.push_back(line.data());
        envp.push_back(nullptr);
        std::vector<char*> argv{const_cast<char*>(SERVER_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            execve(SERVER_PROGRAM, argv.data(), envp.data());
            _exit(127);
        }
    }
    ~ServerProcess() {
        if (pid > 0 && !waited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::remove(outPath.c_str());
        std::remove(errPath.c_str());
        rmdir(dir.c_str());
    }

    /// The port the server logged it listens on; 0 when it did not within 10 s.
    std::uint16_t WaitForPort() {
        const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 200; ++i) {
            std::smatch m;
            const std::string out = Out();
            if (std::regex_search(out, m, listening)) return static_cast<std::uint16_t>(std::stoi(m[1]));
            if (!IsRunning()) return 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }
    bool IsRunning() {
        if (waited) return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            waited = true;
            exitStatus = status;
            return false;
        }
        return true;
    }
    /// Waits up to `seconds` for the end; the wait status, or -1 when it still runs.
    int Wait(double seconds) {
        for (int i = 0; i < seconds * 100 && IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return waited ? exitStatus : -1;
    }
    void Signal(int number) { kill(pid, number); }
    pid_t GetPid() const { return pid; }
    std::string Out() const { return ReadFile(outPath); }
    std::string Err() const { return ReadFile(errPath); }

private:
    std::string dir, outPath, errPath;
    pid_t pid = -1;
    bool waited = false;
    int exitStatus = 0;
};

NetClient::TrackLookup AnyTrack() {
    return [](const std::string&, bool) { return 1u; };
}

/// Services `clients` until each is in the lobby with `players` players, at most 5 s.
bool AllInLobby(std::initializer_list<NetClient*> clients, std::size_t players) {
    for (int i = 0; i < 500; ++i) {
        bool all = true;
        for (NetClient* c : clients) {
            c->Service(i == 0 ? 0 : 5);
            all = all && c->GetState() == NetClient::State::InLobby && c->GetLobby().players.size() == players;
        }
        if (all) return true;
    }
    return false;
}

}  // namespace

TEST(ServerProgramTest, SigtermTellsEveryClientServerStoppedAndEndsWithZero) {
    ServerProcess server({"--address", "127.0.0.1", "--port", "0", "--name", "Signal test", "--track", "KestrelPass"});
    const std::uint16_t port = server.WaitForPort();
    ASSERT_NE(port, 0) << server.Out() << server.Err();
    NetClient ann, bob;
    ASSERT_TRUE(ann.Connect("127.0.0.1", port, {"Ann", "NissanSkyline", "", "0.1"}, AnyTrack()));
    ASSERT_TRUE(bob.Connect("127.0.0.1", port, {"Bob", "BugattiVeyron", "", "0.1"}, AnyTrack()));
    ASSERT_TRUE(AllInLobby({&ann, &bob}, 2)) << server.Out();
    EXPECT_EQ(ann.GetServerName(), "Signal test");
    EXPECT_EQ(ann.GetChoice().track.key, "KestrelPass");

    server.Signal(SIGTERM);
    for (int i = 0; i < 300 && (ann.GetState() != NetClient::State::Stopped ||
                                bob.GetState() != NetClient::State::Stopped); ++i) {
        ann.Service(5);
        bob.Service(5);
    }
    EXPECT_EQ(ann.GetLine(), "Server stopped");
    EXPECT_EQ(bob.GetLine(), "Server stopped");
    const int status = server.Wait(5.0);
    ASSERT_NE(status, -1) << "still running 5 s after SIGTERM";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Every line the Logger's: "[Level] name - message".
    std::istringstream lines(server.Out());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(std::regex_match(line, std::regex("\\[(Debug|Info|Warn|Error)\\] [A-Za-z]+ - .+"))) << line;
    }
    EXPECT_GE(count, 4) << "listening, two joined, stopped";
    EXPECT_NE(server.Out().find("'Ann' joined with NissanSkyline"), std::string::npos) << server.Out();
    EXPECT_TRUE(server.Err().empty()) << server.Err();
}

// The program races: its terrain read through the plug-in, the grid sent,
// its opponent driven and its states relayed to a client that races.
TEST(ServerProgramTest, ARaceStartsAndTheOpponentsStatesComeToTheClient) {
    TrackList tracks;
    tracks.Load();
    const auto choice = tracks.Find("KestrelPass", TrackDescription::Direction::Forward);
    ASSERT_TRUE(choice) << "no KestrelPass in the data";
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    ModelPlugin plugin;
    TrackTerrain terrain;
    std::string problem;
    ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem) && terrain.Load(plugin, track.GetModelFile(), problem))
        << problem;
    ServerProcess server({"--address", "127.0.0.1", "--port", "0", "--track", "KestrelPass", "--opponents", "1"});
    const std::uint16_t port = server.WaitForPort();
    ASSERT_NE(port, 0) << server.Out() << server.Err();
    HeadlessClient client(track, TrackDescription::Direction::Forward, terrain);
    ASSERT_TRUE(client.Connect("127.0.0.1", port, {"Ann", "VesperRS", "", "0.1"}));
    const auto opponent = [&] {
        const auto it = client.GetRemotes().find(Protocol::MaxPlayers);
        return it != client.GetRemotes().end() ? it->second.GetCount() : 0u;
    };
    // Lobby, countdown, the grid held while the games load, the start, a
    // second of racing: 30 s at most.
    bool readied = false;
    const std::uint32_t aSecondIn = static_cast<std::uint32_t>((ServerRace::LoadingS + 5.0) * 120);
    for (int frame = 0; frame < 30 * 60 && !(client.IsReleased() && client.GetTick() > aSecondIn && opponent() > 10);
         ++frame) {
        client.Step(1.0 / 60.0, 16);
        if (!readied && client.GetNet().GetState() == NetClient::State::InLobby &&
            !client.GetNet().GetLobby().players.empty() && client.GetNet().GetLobby().players[0].trackOk)
            readied = client.GetNet().SetReady(true);
    }
    EXPECT_TRUE(client.IsReleased()) << server.Out();
    EXPECT_GT(opponent(), 10u) << "the opponent's states";
    EXPECT_GT(client.GetCheckpoints() + client.GetCar()->body->GetSpeedMs(), 10.0f) << "not under way";
    EXPECT_NE(server.Out().find("the race starts"), std::string::npos) << server.Out();
    server.Signal(SIGTERM);
    EXPECT_NE(server.Wait(5.0), -1);
    EXPECT_TRUE(server.Err().empty()) << server.Err();
}

TEST(ServerProgramTest, TenThousandRandomPacketsLeaveItRunning) {
    ServerProcess server({"--address", "127.0.0.1", "--port", "0", "--max-players", "4"});
    const std::uint16_t port = server.WaitForPort();
    ASSERT_NE(port, 0) << server.Out() << server.Err();
    NetClient ann;
    ASSERT_TRUE(ann.Connect("127.0.0.1", port, {"Ann", "NissanSkyline", "", "0.1"}, AnyTrack()));
    ASSERT_TRUE(AllInLobby({&ann}, 1));

    std::mt19937 random(10000);
    std::uniform_int_distribution<int> byte(0, 255), length(1, 600);
    const auto noise = [&] {
        std::vector<std::uint8_t> bytes(length(random));
        for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(byte(random));
        // Half with a message type of ours, to reach past the first byte.
        if (bytes.size() % 2 == 0) bytes[0] = static_cast<std::uint8_t>(1 + byte(random) % 12);
        return bytes;
    };
    // 5000 raw datagrams at the port: ENet's own framing meets them.
    const int raw = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(raw, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 5000; ++i) {
        const std::vector<std::uint8_t> bytes = noise();
        sendto(raw, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (i % 500 == 0) ann.Service(1);
    }
    close(raw);
    // 5000 more inside ENet links, 20 links of 250 each: the decoder meets
    // them, and removes each link once it has sent too many bad ones.
    unsigned removed = 0;
    for (int link = 0; link < 20; ++link) {
        NetHost hostile;
        ASSERT_TRUE(hostile.Connect("127.0.0.1", port, Protocol::MaxMessageBytes));
        NetHost::Event event;
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) up = hostile.Service(event, 5) && event.type == NetHost::Event::Type::Connected;
        ASSERT_TRUE(up) << "link " << link;
        bool closed = false;
        const auto take = [&](std::uint32_t waitMs) {
            while (hostile.Service(event, waitMs)) closed = closed || event.type == NetHost::Event::Type::Disconnected;
        };
        for (int i = 0; i < 250; ++i) {
            hostile.Send(0, i % 2 ? NetHost::Reliable : NetHost::States, noise());
            if (i % 50 == 0) take(0);
        }
        for (int i = 0; i < 100 && !closed; ++i) take(5);
        removed += closed;
        ann.Service(0);
    }
    EXPECT_EQ(removed, 20u) << "links sending garbage are closed by the server";

    ASSERT_TRUE(server.IsRunning()) << server.Out() << server.Err();
    // Still serving: the player there is still there and a new one joins.
    NetClient bob;
    ASSERT_TRUE(bob.Connect("127.0.0.1", port, {"Bob", "NissanSkyline", "", "0.1"}, AnyTrack()));
    ASSERT_TRUE(AllInLobby({&ann, &bob}, 2)) << server.Out();
    // One line per removed link, not one per packet.
    const std::string out = server.Out();
    std::size_t warnings = 0;
    for (std::size_t at = out.find("[Warn]"); at != std::string::npos; at = out.find("[Warn]", at + 1)) ++warnings;
    EXPECT_LT(warnings, 100u);
    server.Signal(SIGTERM);
    const int status = server.Wait(5.0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ServerProgramTest, FiftyJoiningAFullServerAreEachToldItIsFull) {
    ServerProcess server({"--address", "127.0.0.1", "--port", "0", "--max-players", "8"});
    const std::uint16_t port = server.WaitForPort();
    ASSERT_NE(port, 0) << server.Out() << server.Err();
    std::vector<std::unique_ptr<NetClient>> clients;
    for (int i = 0; i < 50; ++i) {
        clients.push_back(std::make_unique<NetClient>());
        ASSERT_TRUE(clients.back()->Connect("127.0.0.1", port, {"P" + std::to_string(i), "NissanSkyline", "", "0.1"},
                                            AnyTrack()));
    }
    // All at once: the server has room for the players and a few more links,
    // and the rest try again while the refused make room (ENet retries).
    const auto settled = [&] {
        for (const auto& c : clients)
            if (c->GetState() == NetClient::State::Connecting || c->GetState() == NetClient::State::Joining) return false;
        return true;
    };
    for (int i = 0; i < 3000 && !settled(); ++i)
        for (const auto& c : clients) c->Service(0), std::this_thread::sleep_for(std::chrono::microseconds(100));
    unsigned joined = 0, full = 0;
    for (const auto& c : clients) {
        if (c->GetState() == NetClient::State::InLobby) ++joined;
        if (c->GetState() == NetClient::State::Refused) {
            ++full;
            EXPECT_EQ(c->GetLine(), "Server is full (8 / 8)");
        }
    }
    EXPECT_EQ(joined, 8u);
    EXPECT_EQ(full, 42u) << "the others: no answer at all";
    // Its memory stays that of a small program (kB, from the kernel).
    const std::string status = ReadFile("/proc/" + std::to_string(server.GetPid()) + "/status");
    const std::size_t at = status.find("VmHWM:");
    ASSERT_NE(at, std::string::npos);
    // The peak is the track's terrain being read (about 33 MB for the larger
    // track); the sanitizer's shadow of it more than doubles that.
#if defined(__SANITIZE_ADDRESS__)
    const long limitKb = 128 * 1024;
#else
    const long limitKb = 64 * 1024;
#endif
    EXPECT_LT(std::stol(status.substr(at + 6)), limitKb) << "peak resident kB";
    ASSERT_TRUE(server.IsRunning());
}

TEST(ServerProgramTest, BadCommandLineSaysWhatIsWrongAndEndsWithTwo) {
    struct Row {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Row> rows = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--port"}, "option '--port' needs a value PORT"},
        {{"--port", "65536"}, "--port takes a number from 0 to 65535, not '65536'"},
        {{"--port", "12ab"}, "--port takes a number from 0 to 65535, not '12ab'"},
        {{"--max-players", "1"}, "--max-players takes a number from 2 to 8, not '1'"},
        {{"--max-players", "9"}, "--max-players takes a number from 2 to 8, not '9'"},
        {{"--opponents", "8"}, "--opponents takes a number from 0 to 7, not '8'"},
        {{"--mode", "drift"}, "--mode takes race or timetrial, not 'drift'"},
        {{"--difficulty", "insane"}, "--difficulty takes easy, medium or hard, not 'insane'"},
        {{"--database", "/var/lib/"}, "--database takes the path of a file, not '/var/lib/'"},
        {{"--name", std::string(25, 'n')}, "--name takes 1 to 24 printable ASCII characters"},
        {{"--track", "../../etc"}, "--track takes a track's folder name"},
        {{"--track", "NoSuchTrack"}, "no track 'NoSuchTrack' (the tracks: GreenValley, KestrelPass)"},
        {{"--address", "localhost"}, "--address takes an IPv4 address such as 127.0.0.1, not 'localhost'"},
        {{"--address", "127.0.0.256"}, "--address takes an IPv4 address such as 127.0.0.1, not '127.0.0.256'"},
    };
    for (const Row& row : rows) {
        ServerProcess server(row.args);
        const int status = server.Wait(10.0);
        ASSERT_NE(status, -1) << row.args[0] << ": still running";
        ASSERT_TRUE(WIFEXITED(status)) << row.args[0];
        EXPECT_EQ(WEXITSTATUS(status), 2) << row.args[0];
        const std::string err = server.Err();
        const std::string first = err.substr(0, err.find('\n'));
        EXPECT_EQ(first.rfind("vantrel-server: ", 0), 0u) << first;
        EXPECT_NE(first.find(row.says), std::string::npos) << first;
        EXPECT_NE(err.find("--opponents N"), std::string::npos) << "the usage follows";
        EXPECT_TRUE(server.Out().empty()) << server.Out();
    }
}

// Every run the server acknowledged was committed first: a kill -9 amid a
// stream of them, with more sent and not yet answered, leaves a sound file
// that holds them all, and the server started again on it answers the same
// boards.
TEST(ServerProgramTest, KilledAmidSubmissionsItKeepsEveryRunItAcknowledged) {
    TrackList tracks;
    tracks.Load();
    const auto forward = TrackDescription::Direction::Forward;
    const auto choice = tracks.Find("KestrelPass", forward);
    ASSERT_TRUE(choice) << "no KestrelPass in the data";
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    const Protocol::TrackRef ref{"KestrelPass", false, track.RoadFor(forward).GetChecksum()};
    ModelPlugin plugin;
    TrackTerrain terrain;
    std::string problem;
    ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem) && terrain.Load(plugin, track.GetModelFile(), problem))
        << problem;
    // One genuine run per car: a board each, so every player's first run on
    // it is kept (8 players fit the board's 10 places).
    RacingLine line;
    ASSERT_TRUE(line.Compute(track.RoadFor(forward), track.GetRoadHalfWidthM()));
    std::vector<Protocol::Run> runs;
    for (unsigned car = 0; car < CarCatalogue::Count(); ++car) {
        const std::string key = CarCatalogue::Describe(car).GetKey();
        RacingDriver driver(line, RacingDriver::CarLimits(car), RacingDriver::Skill::Hard);
        RecordedRun run;
        const RunCheck::Outcome driven = RunCheck::Record(track, forward, terrain, key, driver, run);
        ASSERT_EQ(driven.verdict, RunCheck::Verdict::Genuine) << key << ": " << driven.why;
        runs.push_back({ref, key, driven.timeMs, GhostFile::SamplesCrc(run),
                        static_cast<std::uint32_t>(run.GetInputs().GetTickCount()),
                        GhostFile::EncodeInputs(run.GetInputs())});
    }
    ASSERT_GE(runs.size(), 2u);

    char pattern[] = "/tmp/vantrel-kill-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::filesystem::path folder = pattern;
    const std::unique_ptr<const std::filesystem::path, void (*)(const std::filesystem::path*)> removal(
        &folder, [](const std::filesystem::path* f) { std::filesystem::remove_all(*f); });
    const std::string database = (folder / "board.sqlite").string();
    const std::vector<std::string> args{"--address", "127.0.0.1", "--port",     "0",
                                        "--track",   "KestrelPass", "--database", database};
    const std::vector<std::string> env{"XDG_DATA_HOME=" + folder.string(), "XDG_CONFIG_HOME=" + folder.string(),
                                       "XDG_CACHE_HOME=" + folder.string(), "XDG_STATE_HOME=" + folder.string()};
    struct Acknowledged {
        std::string player, car;
        std::uint32_t timeMs;
    };
    std::vector<Acknowledged> acknowledged;
    std::size_t sent = 0, outstandingAtKill = 0;
    {
        auto server = std::make_unique<ServerProcess>(args, env);
        const std::uint16_t port = server->WaitForPort();
        ASSERT_NE(port, 0) << server->Out() << server->Err();
        std::vector<std::unique_ptr<NetClient>> clients;
        for (int i = 0; i < 8; ++i) {
            clients.push_back(std::make_unique<NetClient>());
            ASSERT_TRUE(clients.back()->Connect("127.0.0.1", port, {"P" + std::to_string(i), "NissanSkyline", "", "0.1"},
                                                AnyTrack()));
        }
        const auto inLobby = [&] {
            return std::all_of(clients.begin(), clients.end(),
                               [](const auto& c) { return c->GetState() == NetClient::State::InLobby; });
        };
        for (int i = 0; i < 1000 && !inLobby(); ++i)
            for (const auto& c : clients) c->Service(1);
        ASSERT_TRUE(inLobby()) << server->Out();

        // Each player sends each car's run once (under six a minute), at most
        // six waiting at a time, below the server's queue of eight; the kill
        // comes once a third are acknowledged, the rest still in flight.
        const std::size_t total = clients.size() * runs.size();
        const std::size_t killAfter = total / 3;
        std::vector<std::deque<std::size_t>> waiting(clients.size());  // run indices, in the order sent
        std::size_t outstanding = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (acknowledged.size() < killAfter && std::chrono::steady_clock::now() < deadline) {
            while (sent < total && outstanding < 6) {
                const std::size_t player = sent % clients.size(), run = sent / clients.size();
                ASSERT_TRUE(clients[player]->SubmitRun(runs[run]));
                waiting[player].push_back(run);
                ++sent, ++outstanding;
            }
            for (std::size_t p = 0; p < clients.size(); ++p) {
                clients[p]->Service(p == 0 ? 2 : 0);
                for (const Protocol::RunVerdict& v : clients[p]->TakeVerdicts()) {
                    ASSERT_FALSE(waiting[p].empty()) << "a verdict for nothing sent";
                    const Protocol::Run& run = runs[waiting[p].front()];
                    waiting[p].pop_front();
                    --outstanding;
                    EXPECT_TRUE(v.entered) << v.line;
                    if (v.entered) acknowledged.push_back({"P" + std::to_string(p), run.car, run.timeMs});
                }
            }
        }
        ASSERT_EQ(acknowledged.size(), killAfter) << "within 60 s\n" << server->Out();
        outstandingAtKill = outstanding;
        server->Signal(SIGKILL);
        const int status = server->Wait(5.0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        EXPECT_GT(outstandingAtKill, 0u) << "the kill came with nothing in flight";
    }

    // The file as the kill left it, through a connection of the test's own.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
        sqlite3_finalize(check);
        sqlite3_close(db);
    }
    std::map<std::string, std::vector<Leaderboard::Line>> boards;  // by car
    std::size_t found = 0;
    {
        Leaderboard board;
        ASSERT_TRUE(board.Open(database, problem)) << problem;
        EXPECT_TRUE(board.GetSetAsidePath().empty()) << problem;
        for (const Protocol::Run& run : runs) {
            const auto lines = board.Top({ref.key, ref.checksum, false, run.car}, problem);
            ASSERT_TRUE(lines) << problem;
            boards[run.car] = *lines;
            found += lines->size();
        }
    }
    for (const Acknowledged& a : acknowledged) {
        const std::vector<Leaderboard::Line>& lines = boards[a.car];
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const Leaderboard::Line& l) {
            return l.player == a.player && l.timeMs == a.timeMs;
        })) << a.player << " on " << a.car << " was acknowledged and is gone";
    }
    EXPECT_LE(found, sent);
    std::cout << "submissions sent " << sent << ", acknowledged before the kill " << acknowledged.size()
              << ", in flight at the kill " << outstandingAtKill << ", on the boards after " << found << '\n';

    // Started again on the file, the server answers the boards it holds.
    {
        ServerProcess server(args, env);
        const std::uint16_t port = server.WaitForPort();
        ASSERT_NE(port, 0) << server.Out() << server.Err();
        EXPECT_EQ(server.Out().find("set aside"), std::string::npos) << server.Out();
        NetClient ann;
        ASSERT_TRUE(ann.Connect("127.0.0.1", port, {"Ann", "NissanSkyline", "", "0.1"}, AnyTrack()));
        ASSERT_TRUE(AllInLobby({&ann}, 1)) << server.Out();
        for (const Protocol::Run& run : runs) {
            ASSERT_TRUE(ann.RequestBoard({ref, run.car}));
            std::optional<Protocol::Board> answer;
            for (int i = 0; i < 500 && !(answer = ann.TakeBoard()); ++i) ann.Service(10);
            ASSERT_TRUE(answer) << run.car << ": no board within 5 s";
            const std::vector<Leaderboard::Line>& lines = boards[run.car];
            ASSERT_EQ(answer->lines.size(), lines.size()) << run.car;
            for (std::size_t k = 0; k < lines.size(); ++k) {
                EXPECT_EQ(answer->lines[k].runId, static_cast<std::uint32_t>(lines[k].runId));
                EXPECT_EQ(answer->lines[k].player, lines[k].player);
                EXPECT_EQ(answer->lines[k].timeMs, lines[k].timeMs);
            }
        }
        server.Signal(SIGTERM);
        EXPECT_NE(server.Wait(5.0), -1);
    }
}
