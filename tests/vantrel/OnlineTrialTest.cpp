// A network Time Trial through the whole game: the game's trial begun on the
// server's release, the other player shown see-through where their states
// put them, the server's results on the end screen, and the won run checked
// and entered by the server's leaderboard. Over loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <nodara/GroupNode.h>
#include <nodara/ModelPlugin.h>
#include <nodara/PerformanceCounter.h>

#include "cars/CarPool.h"
#include "hud/HudNotice.h"
#include "input/EventHandler.h"
#include "leaderboard/RunBoard.h"
#include "net/GameServer.h"
#include "net/HeadlessClient.h"
#include "online/OnlineRace.h"
#include "online/OnlineTrialRules.h"
#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "race/GameEngine.h"
#include "race/TrialGuests.h"
#include "storage/RecordsStore.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

TEST(OnlineTrialTest, TheGamesTrialStartsOnTheServersTickShowsTheOtherAndItsRunEntersTheBoard) {
    if (!std::filesystem::exists(TrackList::DataFolder)) GTEST_SKIP() << "no game data";
    std::string folder = (std::filesystem::temp_directory_path() / "vantrel-trial-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(folder.data()));
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    const auto forward = TrackDescription::Direction::Forward;
    TrackList tracks;
    tracks.Load();
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

    auto board = std::make_shared<RunBoard>(tracks.GetTracks(), [&](const TrackDescription&) { return terrain; });
    ASSERT_TRUE(board->Open(folder + "/board.sqlite", problem)) << problem;
    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.lobby.serverName = "Trial";
    settings.lobby.gameVersion = "0.1";
    settings.lobby.choice.track = {"KestrelPass", false, checksum};
    settings.lobby.choice.mode = Protocol::Mode::TimeTrial;
    settings.track = track;
    settings.terrain = terrain;
    settings.board = board;
    GameServer server(settings);
    ASSERT_TRUE(server.Start());
    HeadlessClient bob(track, forward, *terrain);
    bob.Connect("127.0.0.1", server.GetPort(), {"Bob", "BugattiVeyron", "", "0.1"});
    NetClient ann;
    ann.Connect("127.0.0.1", server.GetPort(), {"Ann", carKey, "", "0.1"},
                [&](const std::string&, bool reverse) { return reverse ? 0u : checksum; });
    std::optional<Protocol::RaceStart> start;
    for (int i = 0; i < 3000 && !start; ++i) {
        server.Tick(GameServer::TickS, 1);
        bob.Step(GameServer::TickS, 0);
        ann.Service(0);
        if (ann.GetLobby().players.size() == 2 && ann.GetState() == NetClient::State::InLobby) {
            ann.SetReady(true);
            bob.GetNet().SetReady(true);
        }
        start = ann.TakeRaceStart();
    }
    ASSERT_TRUE(start) << "no trial started";

    // The game's race as the app starts it for the server's start. The
    // test's clocks stand still while it loads: the start counts as come now.
    OnlineRace online(ann, *start, ann.GetLobby(), PerformanceCounter::Time() + 1.0e6);
    ASSERT_EQ(online.GetMode(), RaceMode::TimeTrial);
    EventHandler handler;
    RecordsStore records;
    GameEngine race(handler, &records);
    race.SetTrack(track, forward);
    race.SetAutopilot(true);
    online.SetUp(race);
    ASSERT_TRUE(race.Initialize());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(race.Start(0, online.GetMode()));
    testing::internal::GetCapturedStdout();
    const auto* rules = dynamic_cast<const OnlineTrialRules*>(&race.GetRules());
    ASSERT_NE(rules, nullptr);
    EXPECT_FALSE(rules->CanPause());

    HudNotice notice;
    race.GetFrameStatistics().cycleTime = GameServer::TickS;
    bool waited = false, bobShown = false;
    float worstBehindS = 0.0f;
    int framesWon = 0;
    std::string verdict;
    for (int frame = 0; frame < 60 * 400 && !(online.GetResult() && !verdict.empty()); ++frame) {
        server.Tick(GameServer::TickS, 0);
        bob.Step(GameServer::TickS, 0);
        ann.Service(0);
        ASSERT_TRUE(online.Frame(race, notice, frame * GameServer::TickS)) << ann.GetLine();
        race.Step();
        waited = waited || (rules->IsWaiting() && !rules->IsReleased());
        // Bob shown where his states put him, about a tenth of a second
        // behind, and never a body in Ann's world.
        const TrialGuests* guests = race.GetTrialGuests();
        ASSERT_TRUE(guests && guests->GetCount() == 1);
        EXPECT_EQ(race.GetWorld()->GetCarCount(), 1u);
        if (race.GetRules().IsReleased() && guests->IsShown(0) && bob.GetCar() && bob.GetCar()->body && !bob.IsFinished()) {
            const float* m = guests->GetCar(0)->node->GetTransform().GetMatrix().ptr();
            const float offM = vmath::length(vmath::vec3<float>(m[12], m[13], m[14]) - bob.GetCar()->body->GetPosition());
            const float speedMs = bob.GetCar()->body->GetSpeedMs();
            if (speedMs > 10.0f) worstBehindS = std::max(worstBehindS, offM / speedMs);
            bobShown = true;
        }
        if (notice.GetText().find(" on KestrelPass") != std::string::npos) verdict = notice.GetText();
        // The check runs on the server's worker, at the wall's pace, not the test's.
        if (race.IsPerfect() && ++framesWon == 30) board->WaitIdle(30000);
    }
    EXPECT_TRUE(bobShown);
    EXPECT_LT(worstBehindS, 0.2f) << "Bob shown that far behind his car";
    std::printf("Bob shown at most %.3f s behind his car\n", worstBehindS);
    EXPECT_TRUE(waited) << "the game's countdown waited for the server's";
    EXPECT_TRUE(rules->IsCheckable());
    ASSERT_TRUE(race.IsPerfect()) << "Ann's trial is not won";
    ASSERT_TRUE(online.GetResult()) << "no results from the server";
    ASSERT_EQ(online.GetResult()->rows.size(), 2u);
    for (const Protocol::ResultRow& row : online.GetResult()->rows) EXPECT_TRUE(row.finished);
    // The server's time of Ann's run against her own: a state's interval and the link apart.
    for (const Protocol::ResultRow& row : online.GetResult()->rows) {
        if (row.id != ann.GetPlayerId()) continue;
        EXPECT_NEAR(row.timeMs, race.GetResult().GetTakenMs(), 100.0);
        std::printf("Ann's trial: %u ms by her clock, %u ms by the server's\n", race.GetResult().GetTakenMs(), row.timeMs);
    }
    EXPECT_EQ(verdict, RaceClock::Format(race.GetResult().GetTakenMs() / 1000.0) + " is 1st on KestrelPass");
    std::filesystem::remove_all(folder);
}
