// A Time Trial the game drives, at the keys, is checked by driving its
// recorded inputs again where nothing is drawn: the same poses, the same
// time. Edited runs are not. A run on a server's board, fetched through the
// online page's board, is the ghost of the next trial.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include <nodara/ModelPlugin.h>

#include "CentreLineDriver.h"
#include <nodara/GroupNode.h>

#include "cars/Car.h"
#include "cars/CarPool.h"
#include "drivers/RacingDriver.h"
#include "leaderboard/RunBoard.h"
#include "leaderboard/RunCheck.h"
#include "net/GameServer.h"
#include "net/NetClient.h"
#include "online/OnlineBoard.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "race/GhostRace.h"
#include "storage/GhostFile.h"
#include "storage/RecordsStore.h"
#include "track/RacingLine.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

namespace {

class RunCheckTest : public ::testing::Test {
protected:
    RunCheckTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-check-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
    }
    ~RunCheckTest() override { std::filesystem::remove_all(playerFiles); }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }

    std::filesystem::path playerFiles;
};

/// Frames of a trial at the keys until it is won, with R pressed once on the way.
bool DriveTrial(GameEngine& race, EventHandler& handler) {
    CentreLineDriver driver(race, handler);
    for (int frame = 0; frame < 40000 && !race.IsOver(); ++frame) {
        if (race.GetCar()->controlsEnabled) driver.Drive();
        if (frame == 60 * 30) handler.DispatchKey(GameKeys::Recover, 0);
        if (frame == 60 * 30 + 1) handler.DispatchKey(GameKeys::Recover, 1);
        race.Step();
    }
    for (unsigned key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT}) handler.DispatchKey(key, 1);
    return race.IsPerfect();
}

}  // namespace

TEST_F(RunCheckTest, AWonTrialDrivesAgainToItsPosesAndTimeAndAnEditedOneDoesNot) {
    RecordsStore records;
    EventHandler handler;
    auto race = std::make_unique<GameEngine>(handler, &records);
    ASSERT_TRUE(race->Initialize());
    testing::internal::CaptureStdout();  // the debug plug-in reports every object it adds
    ASSERT_TRUE(race->Start(0, RaceMode::TimeTrial));
    testing::internal::GetCapturedStdout();
    // Uneven frames, as a loaded machine gives them.
    race->GetFrameStatistics().cycleTime = 1.0 / 47.0;
    ASSERT_TRUE(DriveTrial(*race, handler));
    const std::uint32_t timeMs = race->GetResult().GetTakenMs();

    // The run as its ghost file keeps it.
    const TrackDescription track = race->GetTrackDescription();
    const TrackDescription::Direction direction = race->GetDirection();
    const std::string carKey = CarPool::Describe(0).GetKey();
    GhostFile file(track.GhostKey(direction), carKey);
    RecordedRun run;
    GhostFile::Info info;
    ASSERT_TRUE(file.Load(track.RoadFor(direction).GetChecksum(), run, info));
    EXPECT_EQ(info.timeMs, timeMs);
    ASSERT_FALSE(run.GetInputs().IsEmpty());

    ModelPlugin plugin;
    std::string problem;
    ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem)) << problem;
    TrackTerrain terrain;
    ASSERT_TRUE(terrain.Load(plugin, track.GetModelFile(), problem)) << problem;

    const auto started = std::chrono::steady_clock::now();
    const RunCheck::Outcome genuine = RunCheck::Check(track, direction, terrain, carKey, run, timeMs);
    const double checkS = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(genuine.verdict, RunCheck::Verdict::Genuine) << genuine.why;
    EXPECT_EQ(genuine.timeMs, timeMs);
    EXPECT_EQ(genuine.deviationM, 0.0f);
    std::cout << "checked a run of " << timeMs / 1000.0 << " s (" << genuine.ticks << " ticks, "
              << run.GetInputs().Encode().size() << " bytes of input) in " << checkS << " s" << std::endl;

    // One tick's steering changed a little, the time edited, the inputs gone.
    RecordedRun edited = run;
    RunInputs changed;
    for (std::size_t k = 0; k < run.GetInputs().GetTickCount(); ++k) {
        RunInputs::Tick t = run.GetInputs().GetTick(k);
        if (k == run.GetInputs().GetTickCount() / 2) t.steering = t.steering > 0.0f ? t.steering - 0.05f : t.steering + 0.05f;
        changed.Append(t);
    }
    edited.SetInputs(changed);
    const RunCheck::Outcome steered = RunCheck::Check(track, direction, terrain, carKey, edited, timeMs);
    EXPECT_EQ(steered.verdict, RunCheck::Verdict::DoesNotDrive);

    // Sent without its poses, as over the network: their checksum is what
    // the poses driven again must have.
    RecordedRun driven;
    EXPECT_EQ(RunCheck::Check(track, direction, terrain, carKey, run.GetInputs(), timeMs, info.samplesCrc, driven)
                  .verdict,
              RunCheck::Verdict::Genuine);
    EXPECT_EQ(driven.GetSampleCount(), run.GetSampleCount());
    EXPECT_EQ(RunCheck::Check(track, direction, terrain, carKey, changed, timeMs, info.samplesCrc, driven).verdict,
              RunCheck::Verdict::DoesNotDrive);
    EXPECT_EQ(RunCheck::Check(track, direction, terrain, carKey, run, timeMs - 10).verdict,
              RunCheck::Verdict::DoesNotDrive);
    edited.SetInputs(RunInputs());
    EXPECT_EQ(RunCheck::Check(track, direction, terrain, carKey, edited, timeMs).verdict,
              RunCheck::Verdict::NoInputs);
    // Another car's description: the same inputs drive it elsewhere.
    EXPECT_EQ(RunCheck::Check(track, direction, terrain, CarPool::Describe(1).GetKey(), run, timeMs).verdict,
              RunCheck::Verdict::DoesNotDrive);

    // Raced again in the same world (Return on the end screen): the new
    // run is as checkable as the first.
    handler.DispatchKey(VK_RETURN, 0);
    handler.DispatchKey(VK_RETURN, 1);
    race->GetFrameStatistics().cycleTime = 1.0 / 60.0;
    ASSERT_TRUE(DriveTrial(*race, handler));
    RecordedRun again = race->GetGhostRace()->GetRun();
    again.SetInputs(race->GetRace().GetInputs());
    const RunCheck::Outcome second =
        RunCheck::Check(track, direction, terrain, carKey, again, race->GetResult().GetTakenMs());
    EXPECT_EQ(second.verdict, RunCheck::Verdict::Genuine) << second.why;
}

TEST_F(RunCheckTest, ARunFetchedFromAServersBoardIsTheGhostOfTheNextTrial) {
    TrackList tracks;
    tracks.Load();
    const auto forward = TrackDescription::Direction::Forward;
    const std::optional<std::size_t> choice = tracks.Find("KestrelPass", forward);
    ASSERT_TRUE(choice);
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    ModelPlugin plugin;
    std::string problem;
    auto terrain = std::make_shared<TrackTerrain>();
    ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem) && terrain->Load(plugin, track.GetModelFile(), problem))
        << problem;
    const std::uint32_t checksum = track.RoadFor(forward).GetChecksum();
    const std::string carKey = CarPool::Describe(0).GetKey();

    // Ann's run on the server's board, driven by the game's driver.
    RacingLine line;
    ASSERT_TRUE(line.Compute(track.RoadFor(forward), track.GetRoadHalfWidthM()));
    RacingDriver driver(line, RacingDriver::CarLimits(0), RacingDriver::Skill::Hard);
    RecordedRun annsRun;
    const RunCheck::Outcome driven = RunCheck::Record(track, forward, *terrain, carKey, driver, annsRun);
    ASSERT_EQ(driven.verdict, RunCheck::Verdict::Genuine) << driven.why;
    auto board = std::make_shared<RunBoard>(tracks.GetTracks(), [&](const TrackDescription&) { return terrain; });
    ASSERT_TRUE(board->Open((playerFiles / "board.sqlite").string(), problem)) << problem;
    ASSERT_TRUE(board->Submit({1, "Ann", {"KestrelPass", checksum, false, carKey}, driven.timeMs,
                               GhostFile::SamplesCrc(annsRun),
                               static_cast<std::uint32_t>(annsRun.GetInputs().GetTickCount()),
                               GhostFile::EncodeInputs(annsRun.GetInputs()), 1765400000}));
    ASSERT_TRUE(board->WaitIdle(20000));
    ASSERT_TRUE(board->TakeVerdicts().at(0).entered);
    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.lobby.serverName = "Board";
    settings.lobby.gameVersion = "0.1";
    settings.lobby.choice.track = {"KestrelPass", false, checksum};
    settings.track = track;
    settings.terrain = terrain;
    settings.board = board;
    GameServer server(settings);
    ASSERT_TRUE(server.Start());

    // Bob's page: B shows the board, Return on Ann's line makes her run his ghost.
    NetClient bob;
    bob.Connect("127.0.0.1", server.GetPort(), {"Bob", carKey, "", "0.1"},
                [&](const std::string&, bool) { return checksum; });
    OnlineBoard page(tracks);
    std::optional<GhostFetch::Ghost> ghost;
    bool asked = false, fetching = false;
    for (int i = 0; i < 2000 && !ghost; ++i) {
        server.Tick(GameServer::TickS, 5);
        bob.Service(0);
        page.Frame(&bob);
        if (bob.GetState() == NetClient::State::InLobby && !asked) asked = !page.Toggle(bob, settings.lobby.choice.track, carKey).empty();
        if (!page.Lines().empty() && !fetching) {
            EXPECT_NE(page.Lines()[0].find("Ann"), std::string::npos) << page.Lines()[0];
            fetching = !page.Fetch(bob, 0).empty();
        }
        EXPECT_FALSE(page.TakeGhostFor("GreenValley", carKey)) << "a ghost for its own track only";
        ghost = page.TakeGhostFor("KestrelPass", carKey);
    }
    ASSERT_TRUE(ghost);
    EXPECT_EQ(ghost->player, "Ann");
    EXPECT_EQ(ghost->timeMs, driven.timeMs);

    // His next Time Trial there races it: the ghost car where Ann's car was.
    EventHandler handler;
    RecordsStore records;
    GameEngine race(handler, &records);
    race.SetTrack(track, forward);
    ASSERT_TRUE(race.Initialize());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(race.Start(0, RaceMode::TimeTrial));
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(race.GetGhostRace()->SetGhost(0, ghost->run, ghost->timeMs));
    race.GetFrameStatistics().cycleTime = 1.0 / 60.0;
    handler.DispatchKey(VK_UP, 0);
    for (int frame = 0; frame < 60 * 14; ++frame) race.Step();
    const GhostRace& ghostRace = *race.GetGhostRace();
    ASSERT_TRUE(ghostRace.GetGhostCar());
    const RecordedRun::Sample at = annsRun.At(ghostRace.GetTimeS());
    const float* m = ghostRace.GetGhostCar()->node->GetTransform().GetMatrix().ptr();
    EXPECT_LT(vmath::length(vmath::vec3<float>(m[12], m[13], m[14]) - at.positionM), 0.5f);
    EXPECT_TRUE(ghostRace.GetGapS()) << "the live gap to Ann";
}
