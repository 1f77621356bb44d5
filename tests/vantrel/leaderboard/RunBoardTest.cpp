// The server's leaderboard over loopback: a Time Trial one of the game's
// drivers drove enters the board, the same run edited is refused, the board
// and the run come back to another player, who drives it again as a ghost,
// and a flood of garbage leaves the server answering.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <nodara/ModelPlugin.h>

#include "drivers/RacingDriver.h"
#include "leaderboard/RunBoard.h"
#include "leaderboard/RunCheck.h"
#include "net/GameServer.h"
#include "net/NetClient.h"
#include "replay/RecordedRun.h"
#include "storage/GhostFile.h"
#include "track/RacingLine.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

namespace {

const char* const TrackKey = "KestrelPass";
const char* const CarKey = "NissanSkyline";
const auto Forward = TrackDescription::Direction::Forward;

/// A server with a leaderboard in a folder of its own, and the clients of a test.
class RunBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-board-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        folder = pattern;
        tracks.Load();
        const auto choice = tracks.Find(TrackKey, Forward);
        ASSERT_TRUE(choice);
        track = &tracks.TrackOf(tracks.GetChoices()[*choice]);
        ModelPlugin plugin;
        std::string problem;
        terrain = std::make_shared<TrackTerrain>();
        ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem) && terrain->Load(plugin, track->GetModelFile(), problem))
            << problem;
        checksum = track->RoadFor(Forward).GetChecksum();

        auto board = std::make_shared<RunBoard>(tracks.GetTracks(), [this](const TrackDescription&) { return terrain; });
        ASSERT_TRUE(board->Open((folder / "board.sqlite").string(), problem)) << problem;
        GameServer::Settings settings;
        settings.address = "127.0.0.1";
        settings.port = 0;
        settings.lobby.serverName = "Board";
        settings.lobby.gameVersion = "0.1";
        settings.lobby.choice.track = {TrackKey, false, checksum};
        settings.track = *track;
        settings.terrain = terrain;
        settings.board = board;
        server = std::make_unique<GameServer>(settings);
        ASSERT_TRUE(server->Start());
    }
    void TearDown() override {
        server.reset();
        std::filesystem::remove_all(folder);
    }

    /// A client joined as `name`.
    std::unique_ptr<NetClient> Join(const std::string& name) {
        auto client = std::make_unique<NetClient>();
        client->Connect("127.0.0.1", server->GetPort(), {name, CarKey, "", "0.1"},
                        [this](const std::string&, bool) { return checksum; });
        Until([&] { return client->GetState() == NetClient::State::InLobby; }, {client.get()});
        return client;
    }
    /// Ticks the server and `clients` until `done`, at most 30 s.
    template <typename Done>
    bool Until(Done done, std::initializer_list<NetClient*> clients) {
        for (int i = 0; i < 3000; ++i) {
            if (done()) return true;
            server->Tick(GameServer::TickS, 5);
            for (NetClient* c : clients) c->Service(0);
        }
        return false;
    }
    Protocol::RunVerdict Submit(NetClient& client, const Protocol::Run& run) {
        EXPECT_TRUE(client.SubmitRun(run));
        std::vector<Protocol::RunVerdict> verdicts;
        Until([&] {
            for (const Protocol::RunVerdict& v : client.TakeVerdicts()) verdicts.push_back(v);
            return !verdicts.empty();
        }, {&client});
        return verdicts.empty() ? Protocol::RunVerdict{false, 0, "no answer"} : verdicts.front();
    }

    std::filesystem::path folder;
    TrackList tracks;
    const TrackDescription* track = nullptr;
    std::shared_ptr<TrackTerrain> terrain;
    std::uint32_t checksum = 0;
    std::unique_ptr<GameServer> server;
};

}  // namespace

TEST_F(RunBoardTest, AGenuineRunEntersEditedOnesAreRefusedAndAnotherPlayerRacesIt) {
    // A trial driven by the game's driver, as the game records it.
    RacingLine line;
    ASSERT_TRUE(line.Compute(track->RoadFor(Forward), track->GetRoadHalfWidthM()));
    RacingDriver driver(line, RacingDriver::CarLimits(0), RacingDriver::Skill::Hard);
    RecordedRun run;
    const RunCheck::Outcome driven = RunCheck::Record(*track, Forward, *terrain, CarKey, driver, run);
    ASSERT_EQ(driven.verdict, RunCheck::Verdict::Genuine) << driven.why;
    const Protocol::Run genuine{{TrackKey, false, checksum}, CarKey, driven.timeMs, GhostFile::SamplesCrc(run),
                                static_cast<std::uint32_t>(run.GetInputs().GetTickCount()),
                                GhostFile::EncodeInputs(run.GetInputs())};

    std::unique_ptr<NetClient> ann = Join("Ann");
    ASSERT_EQ(ann->GetState(), NetClient::State::InLobby);
    const Protocol::RunVerdict entered = Submit(*ann, genuine);
    EXPECT_TRUE(entered.entered) << entered.line;
    EXPECT_EQ(entered.place, 1u);
    EXPECT_NE(entered.line.find("1st on KestrelPass"), std::string::npos) << entered.line;

    // Its time edited, one input changed, other poses, another version of the track.
    Protocol::Run edited = genuine;
    edited.timeMs -= 100;
    EXPECT_EQ(Submit(*ann, edited).line, "Refused: the run does not drive to its time");
    RunInputs changed;
    for (std::size_t k = 0; k < run.GetInputs().GetTickCount(); ++k) {
        RunInputs::Tick t = run.GetInputs().GetTick(k);
        if (k == run.GetInputs().GetTickCount() / 3) t.throttle = t.throttle > 0.5f ? 0.0f : 1.0f;
        changed.Append(t);
    }
    edited = genuine;
    edited.inputs = GhostFile::EncodeInputs(changed);
    EXPECT_EQ(Submit(*ann, edited).line, "Refused: the run does not drive to its time");
    edited = genuine;
    edited.samplesCrc ^= 1;
    EXPECT_EQ(Submit(*ann, edited).line, "Refused: the run does not drive to its time");
    edited = genuine;
    edited.track.checksum ^= 1;
    EXPECT_EQ(Submit(*ann, edited).line, "Refused: another version of KestrelPass");
    // Not better than her own line; then beyond the rate, refused before any check.
    EXPECT_EQ(Submit(*ann, genuine).line, "02:17.10 is not better than your best on KestrelPass");
    EXPECT_EQ(Submit(*ann, genuine).line, "Refused: at most 6 runs a minute");

    // Bob sees the board, fetches Ann's run and drives it again as his ghost.
    std::unique_ptr<NetClient> bob = Join("Bob");
    ASSERT_TRUE(bob->RequestBoard({{TrackKey, false, checksum}, CarKey}));
    std::optional<Protocol::Board> board;
    ASSERT_TRUE(Until([&] { return (board = bob->TakeBoard()).has_value(); }, {bob.get()}));
    ASSERT_EQ(board->lines.size(), 1u);
    EXPECT_EQ(board->lines[0].player, "Ann");
    EXPECT_EQ(board->lines[0].timeMs, driven.timeMs);
    ASSERT_TRUE(bob->FetchRun(board->lines[0].runId));
    std::optional<Protocol::FetchedRun> fetched;
    ASSERT_TRUE(Until([&] { return (fetched = bob->TakeFetchedRun()).has_value(); }, {bob.get()}));
    EXPECT_EQ(fetched->player, "Ann");
    RunInputs inputs;
    std::string problem;
    ASSERT_TRUE(GhostFile::DecodeInputs(fetched->run.inputs, fetched->run.inputTicks, inputs, problem)) << problem;
    RecordedRun ghost;
    EXPECT_EQ(RunCheck::Check(*track, Forward, *terrain, CarKey, inputs, fetched->run.timeMs, fetched->run.samplesCrc,
                              ghost)
                  .verdict,
              RunCheck::Verdict::Genuine);
    EXPECT_EQ(ghost.GetSampleCount(), run.GetSampleCount());
}

TEST_F(RunBoardTest, TenThousandRandomSubmissionsAreRefusedAndLeaveTheServerAnswering) {
    // Straight to the board, past the link's rate: random bytes for inputs,
    // and now and then random inputs that do inflate and drive, nowhere.
    RunBoard board(tracks.GetTracks(), [this](const TrackDescription&) { return terrain; });
    std::string problem;
    ASSERT_TRUE(board.Open((folder / "random.sqlite").string(), problem)) << problem;
    std::mt19937 random(41);
    std::size_t refused = 0;
    for (std::uint64_t i = 0; i < 10000; ++i) {
        RunBoard::Submission s;
        s.ticket = i;
        s.player = "Mallory";
        s.board = {TrackKey, checksum, false, CarKey};
        s.timeMs = 1 + random() % 300000;
        s.samplesCrc = static_cast<std::uint32_t>(random());
        s.inputTicks = 1 + random() % 30000;
        if (i % 1000 == 0) {
            RunInputs inputs;
            for (std::uint32_t k = 0; k < 2000; ++k)
                inputs.Append({(random() % 100) / 100.0f, (random() % 4) / 4.0f, (random() % 200) / 100.0f - 1.0f,
                               false, false, false});
            s.inputTicks = 2000;
            s.inputs = GhostFile::EncodeInputs(inputs);
        } else {
            s.inputs.resize(1 + random() % 400);
            for (char& c : s.inputs) c = static_cast<char>(random());
        }
        while (!board.Submit(s)) ASSERT_TRUE(board.WaitIdle(10000));
        for (const RunBoard::Verdict& v : board.TakeVerdicts()) refused += !v.entered;
    }
    ASSERT_TRUE(board.WaitIdle(30000));
    for (const RunBoard::Verdict& v : board.TakeVerdicts()) refused += !v.entered;
    EXPECT_EQ(refused, 10000u);
    EXPECT_TRUE(board.Top({TrackKey, checksum, false, CarKey}, problem)->empty());

    // Through a link of its own, a peer sending garbage as runs is removed;
    // a player beside it is still answered.
    NetHost hostile;
    ASSERT_TRUE(hostile.Connect("127.0.0.1", server->GetPort(), Protocol::MaxRunMessageBytes));
    std::unique_ptr<NetClient> ann = Join("Ann");
    for (int i = 0; i < 200; ++i) {
        std::vector<std::uint8_t> bytes(1 + random() % 300);
        for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
        bytes[0] = static_cast<std::uint8_t>(Protocol::Type::SubmitRun);
        hostile.Send(0, NetHost::Reliable, bytes);
        NetHost::Event event;
        while (hostile.Service(event, 0)) {}
        server->Tick(GameServer::TickS, 0);
    }
    ASSERT_TRUE(ann->RequestBoard({{TrackKey, false, checksum}, CarKey}));
    std::optional<Protocol::Board> answer;
    EXPECT_TRUE(Until([&] { return (answer = ann->TakeBoard()).has_value(); }, {ann.get()}));
}
