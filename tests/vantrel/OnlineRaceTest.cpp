// The game's side of a network race without a window: the server's grid in
// the game's field, the other cars following their states, the own car's
// states sent, and the server's results on the end screen; against a
// headless client and one of the server's drivers, over loopback.
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <nodara/ModelPlugin.h>

#include "cars/Car.h"
#include "cars/HeadlessCars.h"
#include "net/GameServer.h"
#include "net/HeadlessClient.h"
#include "online/OnlineRace.h"
#include "online/OnlineRaceRules.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "race/FixedTick.h"
#include "race/RaceField.h"
#include "track/RacingLine.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

TEST(OnlineRaceTest, TheGamesFieldRacesAClientAndTheServersDriverToTheServersResults) {
    const auto forward = TrackDescription::Direction::Forward;
    TrackList tracks;
    tracks.Load();
    const std::optional<std::size_t> choice = tracks.Find("KestrelPass", forward);
    ASSERT_TRUE(choice);
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    ModelPlugin plugin;
    std::string problem;
    ASSERT_TRUE(plugin.Open(ModelPlugin::DefaultName, problem)) << problem;
    auto terrain = std::make_shared<TrackTerrain>();
    ASSERT_TRUE(terrain->Load(plugin, track.GetModelFile(), problem)) << problem;
    const std::uint32_t checksum = track.RoadFor(forward).GetChecksum();

    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.lobby.serverName = "Test race";
    settings.lobby.gameVersion = "0.1";
    settings.lobby.choice.track = {"KestrelPass", false, checksum};
    settings.lobby.choice.opponents = 1;
    settings.track = track;
    settings.terrain = terrain;
    GameServer server(settings);
    ASSERT_TRUE(server.Start());
    HeadlessClient bob(track, forward, *terrain);
    bob.Connect("127.0.0.1", server.GetPort(), {"Bob", "BugattiVeyron", "", "0.1"});
    NetClient game;
    game.Connect("127.0.0.1", server.GetPort(), {"Ann", "NissanSkyline", "", "0.1"},
                 [checksum](const std::string& key, bool reverse) { return key == "KestrelPass" && !reverse ? checksum : 0u; });
    const auto step = [&] {
        server.Tick(GameServer::TickS, 0);
        bob.Step(GameServer::TickS, 0);
        game.Service(0);
    };
    const auto ready = [](const NetClient& c) {
        return c.GetState() == NetClient::State::InLobby && c.GetLobby().players.size() == 2 &&
               c.GetLobby().players[0].trackOk && c.GetLobby().players[1].trackOk;
    };
    std::optional<Protocol::RaceStart> start;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !start && std::chrono::steady_clock::now() < until;) {
        step();
        if (ready(game) && ready(bob.GetNet())) {
            game.SetReady(true);
            bob.GetNet().SetReady(true);
        }
        start = game.TakeRaceStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(start) << "no race started";

    // The game's field, as the game's race makes it: its own car first, the grid's others as guests.
    OnlineRace online(game, *start, game.GetLobby(), 0.0);
    ASSERT_EQ(online.GetGrid().size(), 3u);
    ASSERT_NE(online.GetOwn(), nullptr);
    physics::World world;
    ASSERT_TRUE(terrain->AddTo(world));
    HeadlessCars cars(world);
    const RoadCentreLine road = track.RoadFor(forward);
    RacingLine line;
    ASSERT_TRUE(line.Compute(road, track.GetRoadHalfWidthM()));
    RacingDriver ann(line, RacingDriver::CarLimits(online.GetOwn()->model), RacingDriver::Skill::Medium);
    std::vector<RaceField::Entry> entries;
    Car* own = cars.MakeCar(online.GetOwn()->model);
    entries.push_back({own, online.GetOwn()->model, &ann, online.GetOwn()->name, {1.0f, 1.0f, 1.0f}});
    for (const OnlineRace::GridCar& car : online.GetGrid())
        if (!car.own) entries.push_back({cars.MakeCar(car.model), car.model, online.DriverOf(car.id), car.name, {1, 0, 0}});
    std::vector<double> gates;
    for (const Track::Checkpoint& checkpoint : track.FindWay(forward)->checkpoints)
        gates.push_back(road.Project(checkpoint.x, checkpoint.y));
    RaceField field(cars, world, road, line, track.GetRoadHalfWidthM());
    field.SetGridOrder(online.GridNames());
    ASSERT_TRUE(field.Start(entries, 0, RacingDriver::Skill::Medium, gates));
    ann.Placed();
    std::unique_ptr<RaceRules> rules = online.MakeRules(field, 0.0);
    rules->Begin();
    EXPECT_FALSE(rules->CanPause()) << "the others race on";

    const Racer* bobInField = nullptr;
    for (const Racer& racer : field.GetRacers())
        if (racer.name == "Bob") bobInField = &racer;
    ASSERT_NE(bobInField, nullptr);
    const float tickS = static_cast<float>(FixedTick::TickS);
    for (int frame = 0; frame < 60 * 600 && !(online.GetResult() && bob.GetResult()); ++frame) {
        step();
        for (int t = 0; t < 2; ++t) {
            rules->BeforeTick(tickS);
            // As the game's race drives its player: the controls once the rules allow them.
            own->controlsEnabled = rules->AreControlsEnabled(0);
            if (own->controlsEnabled) ann.Drive(*own, tickS);
            own->ApplyControls();
            world.Step(tickS);
            rules->AfterTick(tickS, {own});
        }
    }
    ASSERT_TRUE(online.GetResult()) << "no results: Ann at checkpoint " << field.GetPlayer(0).nextCheckpoint << " of "
                                    << gates.size() << ", released " << rules->IsReleased() << ", Bob at "
                                    << bob.GetCheckpoints() << ", Bob's results " << bob.GetResult().has_value()
                                    << ", link " << static_cast<int>(game.GetState()) << " " << game.GetLine();
    EXPECT_TRUE(field.IsPlayerFinished(0));
    // Bob's car, moved here only by Bob's states, went round through the gates; the race
    // may end on the server before the state that crossed the line reaches the game.
    EXPECT_GE(bobInField->nextCheckpoint + 1, gates.size());

    // The end screen: the server's order and times, the own line marked.
    const Protocol::RaceResult& result = server.GetLastResult();
    const ResultsTable::Table table = online.Results(OnlineRace::EndKeys);
    ASSERT_EQ(table.rows.size(), result.rows.size());
    EXPECT_EQ(table.keys, OnlineRace::EndKeys);
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        EXPECT_TRUE(result.rows[i].finished);
        EXPECT_EQ(table.rows[i].result, RaceClock::Format(result.rows[i].timeMs / 1000.0));
        EXPECT_EQ(table.rows[i].player, table.rows[i].name == "Ann");
    }
    std::vector<std::string> names;
    for (const ResultsTable::Row& row : table.rows) names.push_back(row.name);
    EXPECT_NE(std::find(names.begin(), names.end(), RaceField::DriverNames[0]), names.end());
    EXPECT_EQ(online.HudLines(0.0).front().rfind("Ping ", 0), 0u);
}
