// A Race on the real track: the player, driven with the arrow keys by the
// tests' centre-line driver, against a field of the game's cars, from the
// grid to the results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "CentreLineDriver.h"
#include "championship/Championship.h"
#include "championship/SeasonStore.h"
#include "storage/RecordsStore.h"
#include "cars/Car.h"
#include "cars/CarPool.h"
#include "input/EventHandler.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"
#include "race/RaceField.h"

namespace {

const double Frame = 1.0 / 60.0;

class FieldRace : public ::testing::Test {
protected:
    FieldRace() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-field-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
    }
    ~FieldRace() override { std::filesystem::remove_all(playerFiles); }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }
    bool Start(unsigned carIndex, unsigned opponents, RacingDriver::Skill skill, const TrackDescription* track = nullptr,
               TrackDescription::Direction direction = TrackDescription::Direction::Forward) {
        race.reset();
        race = std::make_unique<GameEngine>(handler);
        if (!race->Initialize()) return false;
        if (track) race->SetTrack(*track, direction);
        race->SetOpponents(opponents, skill);
        // The debug plug-in reports every object it adds.
        testing::internal::CaptureStdout();
        const bool started = race->Start(carIndex, RaceMode::Race);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            race->Step();
        }
    }

    std::filesystem::path playerFiles;
    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(FieldRace, FiveOpponentsStartOnTheGridRaceTheLapAndTheResultsFollowThem) {
    ASSERT_TRUE(Start(1, 5, RacingDriver::Skill::Medium));
    const RaceField& field = *race->GetField();
    ASSERT_EQ(field.GetRacers().size(), 6u);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 6u);

    // The grid: two a row behind the start line, rows 8 m apart, the player
    // at the back; every car model among the opponents, each its own paint.
    const std::vector<Racer>& racers = field.GetRacers();
    for (std::size_t i = 0; i < racers.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(racers[i].progress.GetDistanceM(), 0.0);
        if (i >= 2) {
            EXPECT_NEAR(racers[i - 2].progress.GetDistanceM() - racers[i].progress.GetDistanceM(), 8.0, 0.3);
        }
        EXPECT_NEAR(std::fabs(racers[i].progress.GetOffsetM()), RaceField::GridColumnM, 0.3);
    }
    EXPECT_TRUE(racers.back().player);
    EXPECT_EQ(racers[0].model, 0u);
    EXPECT_EQ(racers[1].model, 1u);
    ASSERT_EQ(CarPool::Count(), 3u);
    EXPECT_EQ(racers[2].model, 2u) << "the third car races as an opponent";
    EXPECT_NE(racers[0].paint.x - racers[1].paint.x, 0.0f);
    EXPECT_EQ(field.PositionLine(), "Pos 6 / 6");

    // The countdown holds every car.
    Frames(120);
    for (const Racer& racer : racers) EXPECT_LT(racer.car->body->GetSpeedMs(), 0.5f);

    // Driven to the end: every car passes the first checkpoint, the field
    // within a bound of each other (no pile-up at the start), and on.
    CentreLineDriver driver(*race, handler);
    std::vector<double> firstGateS(racers.size(), -1.0);
    int frames = 0;
    for (; frames < 60 * 600 && !field.IsEveryoneFinished(); ++frames) {
        if (race->GetCar()->controlsEnabled) driver.Drive();
        Frames(1);
        for (std::size_t i = 0; i < racers.size(); ++i)
            if (firstGateS[i] < 0.0 && racers[i].nextCheckpoint >= 1) firstGateS[i] = race->GetRaceClock().GetTakenS();
        for (const Racer& racer : racers) {
            const vmath::vec3<float> p = racer.car->body->GetPosition();
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << racer.name;
        }
        // The player home, the table shows everyone, the unfinished with
        // the distance still to go.
        if (race->IsOver() && field.Results().size() == racers.size() && !field.IsEveryoneFinished()) {
            bool toGo = false;
            for (const ResultsTable::Row& row : field.Results()) toGo |= row.result.find("to go") != std::string::npos;
            EXPECT_TRUE(toGo || field.IsEveryoneFinished());
        }
    }
    ASSERT_TRUE(field.IsEveryoneFinished()) << "after " << frames / 60.0 << " s";
    const double firstS = *std::min_element(firstGateS.begin(), firstGateS.end());
    for (std::size_t i = 0; i + 1 < racers.size(); ++i) {
        SCOPED_TRACE(racers[i].name);
        ASSERT_GE(firstGateS[i], 0.0);
        EXPECT_LT(firstGateS[i] - firstS, 15.0) << "a car held up at the start";
    }

    // The results: everyone with a time, first to last in time order.
    const std::vector<ResultsTable::Row> rows = field.Results();
    ASSERT_EQ(rows.size(), racers.size());
    int players = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k].position, k + 1);
        EXPECT_EQ(rows[k].result.find("to go"), std::string::npos) << rows[k].name;
        players += rows[k].player ? 1 : 0;
        std::cout << rows[k].position << ". " << rows[k].name << " (" << rows[k].car << ") " << rows[k].result
                  << std::endl;
    }
    EXPECT_EQ(players, 1);
    const auto third = [](const ResultsTable::Row& row) { return row.car == "Vesper RS"; };
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), third), 1)
        << "the third car's opponent is in the results by its name, with its time";
    const std::vector<std::size_t> order = field.GetStandings().Order();
    for (std::size_t k = 1; k < order.size(); ++k)
        EXPECT_LE(*field.GetStandings().GetFinishS(order[k - 1]), *field.GetStandings().GetFinishS(order[k]));

    // Return races again: everyone back on the grid, the clock at nought.
    handler.DispatchKey(VK_RETURN, 0);
    EXPECT_FALSE(race->IsOver());
    EXPECT_EQ(field.PositionLine(), "Pos 6 / 6");
    for (const Racer& racer : racers) EXPECT_LT(racer.progress.GetDistanceM(), 0.0);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 6u);
}

TEST_F(FieldRace, TheGridFormsBehindTheStartLineFacingTheRaceOnEveryTrackAndWayAndTheFieldGetsAway) {
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        SCOPED_TRACE(tracks.Label(choice));
        ASSERT_TRUE(Start(0, 3, RacingDriver::Skill::Hard, &tracks.TrackOf(choice), choice.direction));
        const RaceField& field = *race->GetField();
        const RoadCentreLine& road = race->GetTrack().road;
        const std::vector<Racer>& racers = field.GetRacers();
        ASSERT_EQ(racers.size(), 4u);
        // Two a row behind the start line along the road as this way runs,
        // each facing the race, none the wrong way round.
        for (std::size_t i = 0; i < racers.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_LT(racers[i].progress.GetDistanceM(), -RaceField::GridFrontM + 0.5);
            EXPECT_GT(racers[i].progress.GetDistanceM(), -40.0);
            const vmath::vec3<float> p = racers[i].car->body->GetPosition();
            const vmath::vec2<double> along = road.Tangent(road.Project(p.x, p.y));
            const vmath::vec3<float> forward = racers[i].car->body->GetAxis(1);
            EXPECT_GT(forward.x * along.x + forward.y * along.y, 0.98);
        }
        // Away from the grid, the game's cars run on along this way.
        CentreLineDriver driver(*race, handler);
        for (int frame = 0; frame < 60 * 20; ++frame) {
            if (race->GetCar()->controlsEnabled) driver.Drive();
            Frames(1);
        }
        for (const Racer& racer : racers) EXPECT_GT(racer.progress.GetDistanceM(), 150.0) << racer.name;
        EXPECT_FALSE(race->GetWrongWay().IsShowing());
    }
}

TEST_F(FieldRace, AChampionshipScoresItsRaceKeepsItAndLinesTheNextGridUpInReverseOfTheStandings) {
    TrackList tracks;
    ASSERT_GE(tracks.Load(), 1u);
    SeasonStore store((playerFiles / "season").string());
    RecordsStore records((playerFiles / "records").string());
    Championship championship(store, &records);
    EXPECT_EQ(championship.EntryLine(), "Championship: new");
    ASSERT_EQ(championship.Begin(false, tracks, {{"You", 0, true}}, 3), "");
    const std::size_t rounds = tracks.GetChoices().size();
    ASSERT_GE(rounds, 2u) << "every track and way of the game's data";
    ASSERT_EQ(championship.GetSeason().GetRounds().size(), rounds);

    race.reset();
    race = std::make_unique<GameEngine>(handler);
    ASSERT_TRUE(race->Initialize());
    ASSERT_TRUE(championship.SetUp(*race, tracks, RacingDriver::Skill::Easy));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(race->Start(0, RaceMode::Race));
    testing::internal::GetCapturedStdout();
    race->GetFrameStatistics().cycleTime = Frame;
    ASSERT_EQ(race->GetField()->GetRacers().size(), 4u);
    CentreLineDriver driver(*race, handler);
    for (int frames = 0; frames < 60 * 600 && !race->IsOver(); ++frames) {
        driver.Drive();
        race->Step();
        championship.AfterFrame(*race);
    }
    ASSERT_TRUE(race->IsOver());
    // Return is the championship's: the race does not start again, the standings show.
    EXPECT_EQ(championship.OnReturn(*race), Championship::Next::Stay);
    handler.DispatchKey(VK_RETURN, 0);
    handler.DispatchKey(VK_RETURN, 1);
    EXPECT_TRUE(race->IsOver());
    const ResultsTable::Table standings = championship.Standings();
    EXPECT_EQ(standings.title, "Championship: race 1 of " + std::to_string(rounds));
    ASSERT_EQ(standings.rows.size(), 4u);
    EXPECT_NE(standings.rows[0].result.find("10 pts"), std::string::npos) << standings.rows[0].result;
    EXPECT_EQ(championship.OnReturn(*race), Championship::Next::NextRace);

    // The next run of the game goes on with race 2, its grid the standings reversed.
    Championship again(store, &records);
    EXPECT_EQ(again.EntryLine(), "Championship: continue (race 2 of " + std::to_string(rounds) + ")   N: new");
    ASSERT_EQ(again.Begin(false, tracks, {{"You", 0, true}}, 3), "");
    race.reset();
    race = std::make_unique<GameEngine>(handler);
    ASSERT_TRUE(race->Initialize());
    ASSERT_TRUE(again.SetUp(*race, tracks, RacingDriver::Skill::Easy));
    EXPECT_EQ(race->GetDirection(), tracks.GetChoices()[1].direction);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(race->Start(0, RaceMode::Race));
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> grid = again.GetSeason().GridOrder();
    ASSERT_EQ(grid.size(), 4u);
    const RaceField& field = *race->GetField();
    // From the front: each named racer further ahead than the next.
    std::vector<double> distances;
    for (const std::string& name : grid)
        for (const Racer& racer : field.GetRacers())
            if (racer.name == name) distances.push_back(racer.progress.GetDistanceM());
    ASSERT_EQ(distances.size(), 4u);
    for (std::size_t i = 1; i < distances.size(); ++i) EXPECT_GT(distances[i - 1], distances[i]) << grid[i];
    EXPECT_EQ(grid.back(), standings.rows[0].name) << "the leader at the back";
}
