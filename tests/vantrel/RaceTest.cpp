// The race on the real game data in the application's window: starting,
// the render-option keys, spectator mode, pause, racing again and a whole
// Time Trial driven with the arrow keys by a simple driver into the player's
// records (in a temporary folder), frames on a fixed 1/60 s step without
// drawing. Skipped where the game data is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <nodara/Camera.h>
#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/StateManager.h>
#include <nodara/TransformNode.h>
#include <nodara/View.h>

#include "cars/Car.h"
#include "race/GameEngine.h"
#include "race/ViewProjection.h"
#include "track/TrackList.h"
#include "GameWindow.h"
#include "hud/Gauge.h"
#include "showroom/ShowRoom.h"
#include "CentreLineDriver.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"
#include "storage/RecordsStore.h"

namespace {

const int Press = 0, Release = 1;
const double Frame = 1.0 / 60.0;

class RaceModeTest : public ::testing::Test {
protected:
    /// The player's files go to a temporary folder, never the real home.
    RaceModeTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-race-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
        records = std::make_unique<RecordsStore>();
    }
    ~RaceModeTest() override { std::filesystem::remove_all(playerFiles); }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
        race = std::make_unique<GameEngine>(handler, records.get());
        ASSERT_TRUE(race->Initialize());
    }
    void TearDown() override { race.reset(); }
    bool Start(unsigned carIndex, bool freeDrive) {
        // The debug plug-in reports every object it adds.
        testing::internal::CaptureStdout();
        const bool started = race->Start(carIndex, freeDrive);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }
    void Key(unsigned key, int state = Press) { handler.DispatchKey(key, state); }
    /// A new race in Free Drive at `level`, its scene drawn once the chase
    /// camera has settled behind car 0.
    bool DrawnFromBehindTheCar(QualityPreset::Level level) {
        race.reset();
        race = std::make_unique<GameEngine>(handler, records.get());
        if (!race->Initialize()) return false;
        race->SetQuality(level);
        if (!Start(0, true)) return false;
        RunFrames(180);
        race->RenderScene();
        return true;
    }
    /// Calls `visit(group, lo, hi)` for each bounded group of the track
    /// (ground tiles, woods) with its box in world space; nothing below a
    /// culled group is visited, as nothing below it is drawn.
    template <typename Visit>
    void ForEachTrackGroup(Visit visit) const {
        const auto walk = [&](const auto& self, const Node& node, const vmath::mat4<float>& parent) -> void {
            vmath::mat4<float> matrix = parent;
            if (const auto* transform = dynamic_cast<const TransformNode*>(&node))
                matrix = parent * transform->GetTransform().GetMatrix();
            const auto* group = dynamic_cast<const GroupNode*>(&node);
            if (group && group->GetBoundingVolume() && node.GetType() != Node::MODEL_NODE) {
                const BoundingBox& box = *group->GetBoundingVolume();
                vmath::vec3<double> lo(1e30, 1e30, 1e30), hi(-1e30, -1e30, -1e30);
                for (int corner = 0; corner < 8; ++corner) {
                    const vmath::vec4<float> p =
                        matrix * vmath::vec4<float>(corner & 1 ? box.GetMaximum().x : box.GetMinimum().x,
                                                    corner & 2 ? box.GetMaximum().y : box.GetMinimum().y,
                                                    corner & 4 ? box.GetMaximum().z : box.GetMinimum().z, 1.0f);
                    lo = vmath::vec3<double>(std::min<double>(lo.x, p.x), std::min<double>(lo.y, p.y),
                                             std::min<double>(lo.z, p.z));
                    hi = vmath::vec3<double>(std::max<double>(hi.x, p.x), std::max<double>(hi.y, p.y),
                                             std::max<double>(hi.z, p.z));
                }
                visit(*group, lo, hi);
            }
            if (group && group->IsCulled()) return;
            for (unsigned i = 0; i < node.GetChildCount(); ++i) self(self, *node.GetChild(i), matrix);
        };
        walk(walk, *race->GetTrack().model->GetModelNode(), vmath::mat4<float>::identity());
    }

    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            race->Step();
        }
    }

    /// What the race shows of the car and the clocks, to compare across frames.
    std::vector<double> Standing() const {
        const vmath::vec3<float> p = race->GetCar()->body->GetPosition();
        return {p.x, p.y, p.z, race->GetWorld()->GetTimeS(), race->GetRemainingTime(), race->GetCountdown(),
                race->GetRaceClock().GetTakenS()};
    }

    /// A Time Trial won with the arrow keys by the tests' driver, with each
    /// of `cars` on every track and way of `tracks`, each its first record.
    /// @return the time taken, by choice and car index (0 for cars not driven)
    std::vector<std::vector<std::uint32_t>> WinEveryTrial(const TrackList& tracks, const std::vector<unsigned>& cars) {
        const std::vector<TrackList::Choice>& choices = tracks.GetChoices();
        std::vector<std::vector<std::uint32_t>> takenMs(choices.size(), std::vector<std::uint32_t>(CarPool::Count()));
        for (std::size_t c = 0; c < choices.size(); ++c) {
            const TrackDescription& track = tracks.TrackOf(choices[c]);
            const TrackDescription::Direction direction = choices[c].direction;
            const std::vector<Track::Checkpoint>& allowances = track.FindWay(direction)->checkpoints;
            for (unsigned carIndex : cars) {
                SCOPED_TRACE(tracks.Label(choices[c]) + ", car " + std::to_string(carIndex));
                if (!race) SetUp();
                race->SetTrack(track, direction);
                if (!Start(carIndex, false)) {
                    ADD_FAILURE() << "the race did not start";
                    return takenMs;
                }
                CentreLineDriver driver(*race, handler);
                // Each checkpoint's leg: the time the driver took and the time it had left.
                std::ostringstream legs;
                double legStartS = 0.0;
                unsigned reached = 0;
                int frames = 0;
                // Ten minutes at most; the allowances add up to less than six.
                for (; frames < 36000 && !race->IsPerfect() && race->GetRemainingTime() > 0.0; ++frames) {
                    if (race->GetCar()->controlsEnabled) driver.Drive();
                    race->Step();
                    if (race->GetNextCheckpoint() > reached) {
                        const double nowS = race->GetRaceClock().GetTakenS();
                        legs << " " << std::fixed << std::setprecision(1) << nowS - legStartS << "/"
                             << allowances[reached].time;
                        legStartS = nowS;
                        reached = race->GetNextCheckpoint();
                    }
                }
                const vmath::vec3<float> p = race->GetCar()->body->GetPosition();
                EXPECT_TRUE(race->IsPerfect()) << "stopped before checkpoint " << race->GetNextCheckpoint() << " at ("
                                               << p.x << ", " << p.y << ") after " << frames / 60.0 << " s";
                std::cout << tracks.Label(choices[c]) << ", car " << carIndex << ": legs (s taken/allowed)" << legs.str()
                          << "; " << GameEngine::FormatClock(race->GetRemainingTime()) << " left after "
                          << frames / 60.0 << " s" << std::endl;
                // The time runs from "Go!", four seconds after the start, and is the
                // car's first record on this track and way.
                const TrialResult& result = race->GetResult();
                if (!result.IsFinished()) {
                    ADD_FAILURE() << "the trial did not finish";
                    return takenMs;
                }
                takenMs[c][carIndex] = result.GetTakenMs();
                EXPECT_NEAR(takenMs[c][carIndex] / 1000.0, frames * Frame - GameEngine::CountdownS, 2 * Frame);
                EXPECT_TRUE(result.IsNewRecord());
                EXPECT_EQ(result.GetBestMs(), takenMs[c][carIndex]);
                const std::string time = RaceClock::FormatMs(takenMs[c][carIndex]);
                EXPECT_EQ(result.Lines(), (std::vector<std::string>{"Time: " + time, "Best: " + time, "New record!",
                                                                     TrialResult::NextKeysLine}));
                // Once perfect, the world stands still.
                if (race->IsPerfect()) {
                    const double t = race->GetWorld()->GetTimeS();
                    RunFrames(30);
                    EXPECT_EQ(race->GetWorld()->GetTimeS(), t);
                }
                race.reset();
            }
        }
        return takenMs;
    }

    std::filesystem::path playerFiles;
    std::unique_ptr<RecordsStore> records;
    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(RaceModeTest, ACarThatCannotBeMadeFailsTheStart) {
    EXPECT_FALSE(Start(CarPool::Count(), true));
    EXPECT_EQ(race->GetCar(), nullptr);
    // Frames of a race that did not start change nothing and do not crash.
    RunFrames(3);
}

TEST_F(RaceModeTest, InitializeAgainReleasesTheCarsBeforeTheirWorldAndTheRaceStartsAnew) {
    ASSERT_TRUE(Start(0, true));
    ASSERT_NE(race->GetCar(), nullptr);
    ASSERT_NE(race->GetWorld(), nullptr);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 1u);
    EXPECT_EQ(race->GetWorld()->GetStaticObjectCount(), 1u);
    // Under ASan: the old pool hands its bodies back to the old world, so
    // that world must still be there when the pool goes. Without it: the
    // race's world afterwards holds neither the old car nor the old track,
    // and the next start's car goes into it, alone.
    ASSERT_TRUE(race->Initialize());
    EXPECT_EQ(race->GetCar(), nullptr);
    ASSERT_NE(race->GetWorld(), nullptr);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 0u) << "the old car is still in the race's world";
    EXPECT_EQ(race->GetWorld()->GetStaticObjectCount(), 0u) << "the old track is still in the race's world";
    RunFrames(3);
    ASSERT_TRUE(Start(1, true));
    ASSERT_NE(race->GetCar(), nullptr);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 1u) << "the new car is not in the race's world, or not alone";
    EXPECT_EQ(race->GetWorld()->GetStaticObjectCount(), 1u);
    RunFrames(30);
    EXPECT_GT(race->GetWorld()->GetTimeS(), 0.0);
}

TEST_F(RaceModeTest, StartPutsTheCarOnTheStartLineAndHoldsItThroughTheCountdownOnEveryTrackAndWay) {
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        SCOPED_TRACE(tracks.Label(choice));
        const TrackDescription::Way& way = *tracks.TrackOf(choice).FindWay(choice.direction);
        const double heading = way.startHeadingDeg * 3.14159265358979 / 180.0;
        const vmath::vec3<float> facing(static_cast<float>(-std::sin(heading)), static_cast<float>(std::cos(heading)), 0.0f);
        if (!race) SetUp();
        race->SetTrack(tracks.TrackOf(choice), choice.direction);
        ASSERT_TRUE(Start(0, false));
        Car* car = race->GetCar();
        ASSERT_NE(car, nullptr);
        ASSERT_NE(car->body, nullptr);
        ASSERT_EQ(race->GetTrack().checkpoints.size(), 5u);
        EXPECT_EQ(race->GetTrack().checkpoints.back().x, way.checkpoints.back().x);
        EXPECT_DOUBLE_EQ(race->GetRemainingTime(), way.checkpoints[0].time);
        Key(VK_UP);
        RunFrames(200);  // 3.3 s: still counting down
        EXPECT_FALSE(car->controlsEnabled);
        EXPECT_LT(car->body->GetSpeedMs(), 0.05f);
        EXPECT_NEAR(car->body->GetPosition().x, way.startX, 0.5f);
        EXPECT_NEAR(car->body->GetPosition().y, way.startY, 0.5f);
        EXPECT_GT(vmath::dot(car->body->GetAxis(1), facing), 0.98f);
        // The clock runs from the start, countdown included.
        EXPECT_NEAR(race->GetRemainingTime(), way.checkpoints[0].time - 200 * Frame, 1e-3);
        RunFrames(120);
        EXPECT_TRUE(car->controlsEnabled);
        EXPECT_GT(car->body->GetForwardSpeedMs(), 3.0f);
        EXPECT_GT(car->speedGauge->GetNeedleAngle(), -35.0f);
        EXPECT_LT(car->speedGauge->GetNeedleAngle(), 215.0f);
        // Off the way the race runs, with the chase camera behind, and not the wrong way.
        EXPECT_GT(race->GetTrack().road.Project(car->body->GetPosition().x, car->body->GetPosition().y), 5.0);
        EXPECT_FALSE(race->GetWrongWay().IsShowing());
        // The car node and the chase camera follow the body.
        EXPECT_NEAR(car->node->GetTransform().GetMatrix()[13], car->body->GetPosition().y, 1e-4f);
        const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
        const vmath::vec3<float> p = car->body->GetPosition();
        EXPECT_LT((eye.x - p.x) * facing.x + (eye.y - p.y) * facing.y, -5.0);
        Key(VK_UP, Release);
        race.reset();
    }
}

TEST_F(RaceModeTest, SpectatorModeFreezesTheWorldAndTheClock) {
    ASSERT_TRUE(Start(1, false));
    Car* car = race->GetCar();
    Key(VK_UP);
    RunFrames(300);
    Key('S');
    ASSERT_TRUE(race->GetPlayer().IsSpectator());
    const vmath::vec3<float> position = car->body->GetPosition();
    const double clock = race->GetRemainingTime();
    const double world = race->GetWorld()->GetTimeS();
    const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
    RunFrames(60);
    EXPECT_EQ(race->GetWorld()->GetTimeS(), world);
    EXPECT_EQ(car->body->GetPosition().y, position.y);
    EXPECT_EQ(race->GetRemainingTime(), clock);
    // Up now flies the spectator camera instead.
    EXPECT_NE(race->GetEngine().GetCamera().GetView().GetEye().y, eye.y);
    Key('S');
    RunFrames(1);
    EXPECT_GT(race->GetWorld()->GetTimeS(), world);
}

TEST_F(RaceModeTest, PStopsTheWorldAndTheClocksUntilPressedAgainAndSoDoesLeavingTheWindow) {
    ASSERT_TRUE(Start(1, false));
    Key(VK_UP);
    RunFrames(120);  // half the countdown
    Key('P');
    const std::vector<double> paused = Standing();
    RunFrames(600);  // ten seconds: the countdown would be long over
    EXPECT_EQ(Standing(), paused);
    Key('P');
    RunFrames(300);  // the rest of the countdown, then three seconds of driving
    EXPECT_GT(race->GetCar()->body->GetForwardSpeedMs(), 3.0f);
    EXPECT_NEAR(race->GetRaceClock().GetTakenS(), 420 * Frame - GameEngine::CountdownS, 2 * Frame);

    // Another window takes the keyboard: the race waits, and Up, whose
    // release goes to that window, counts as released.
    handler.HandleMessage(WM_KILLFOCUS, 0, 0);
    const std::vector<double> away = Standing();
    RunFrames(120);
    EXPECT_EQ(Standing(), away);
    Key('P');
    RunFrames(1);
    EXPECT_FLOAT_EQ(race->GetCar()->throttle, 0.0f);
    EXPECT_GT(race->GetWorld()->GetTimeS(), away[3]);
}

TEST_F(RaceModeTest, ATrialThatIsOverRunsAgainFromTheStartOnReturn) {
    ASSERT_TRUE(Start(0, false));
    Car* car = race->GetCar();
    Key(VK_UP);
    RunFrames(600);  // the countdown, then six seconds at full throttle
    Key(VK_RETURN);  // a trial under way goes on
    ASSERT_GT(car->body->GetForwardSpeedMs(), 10.0f);
    race->SetRemainingTime(0.0);
    RunFrames(300);  // time is up: Up still held, but the car brakes to a stop in neutral
    ASSERT_TRUE(race->IsOver());
    EXPECT_LT(car->body->GetSpeedMs(), 0.1f);
    EXPECT_EQ(Car::GearLabel(car->body->GetCurrentGear()), "N");
    EXPECT_EQ(race->GetResult().Lines(), std::vector<std::string>{TrialResult::NextKeysLine});

    Key(VK_UP, Release);
    Key(VK_RETURN);
    EXPECT_FALSE(race->IsOver());
    EXPECT_DOUBLE_EQ(race->GetRemainingTime(), 95.0);
    EXPECT_FLOAT_EQ(race->GetCountdown(), GameEngine::CountdownS);
    EXPECT_EQ(race->GetNextCheckpoint(), 0u);
    EXPECT_EQ(race->GetRaceClock().GetTakenS(), 0.0);
    EXPECT_NEAR(car->body->GetPosition().x, 0.0f, 0.5f);
    EXPECT_NEAR(car->body->GetPosition().y, 0.0f, 0.5f);
    EXPECT_LT(car->body->GetSpeedMs(), 0.05f);
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 1u);
    // Held through the new countdown, then Down at a standstill backs it up.
    Key(VK_DOWN);
    RunFrames(400);
    EXPECT_LT(car->body->GetForwardSpeedMs(), -0.5f);
    EXPECT_EQ(Car::GearLabel(car->body->GetCurrentGear()), "R");
}

TEST_F(RaceModeTest, RenderOptionKeysCycleTheSettingsAndF1HidesTheMessage) {
    ASSERT_TRUE(Start(0, true));
    StateManager& states = race->GetEngine().GetRenderer()->GetStateManager();
    const StateManager::TextureFilter start = states.GetTextureFilter();
    for (int i = 0; i < 6; ++i) {
        Key(VK_F1 + 3);
        if (i == 0) {
            EXPECT_NE(states.GetTextureFilter(), start);
        }
    }
    EXPECT_EQ(states.GetTextureFilter(), start);
    EXPECT_EQ(race->GetMessage().rfind("Texture filtering: ", 0), 0u) << race->GetMessage();
    EXPECT_FLOAT_EQ(race->GetMessageAge(), 0.0f);
    Key(VK_F1 + 2);
    EXPECT_EQ(race->GetMessage(), "PolygonMode: Wireframe");
    Key(VK_F1 + 2);
    Key(VK_F1 + 8);
    EXPECT_TRUE(race->GetMessage() == "Render Transparencies: On" ||
                race->GetMessage() == "Render Transparencies: Off");
    Key(VK_F1);
    EXPECT_TRUE(race->IsShowingOptions());
    EXPECT_FLOAT_EQ(race->GetMessageAge(), 4.0f);
    // Releases and the free keys change nothing.
    Key(VK_F1, Release);
    Key(VK_F1 + 1);
    EXPECT_TRUE(race->IsShowingOptions());
    Key(VK_F1);
    EXPECT_FALSE(race->IsShowingOptions());
}

TEST_F(RaceModeTest, TimeTrialIsWonWithTheArrowKeysByEachCarOnEveryTrackAndWayIntoTheRecordsAndTheShowRoom) {
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    const std::vector<TrackList::Choice>& choices = tracks.GetChoices();
    const std::vector<std::vector<std::uint32_t>> takenMs = WinEveryTrial(tracks, {0, 1});
    ASSERT_FALSE(HasFailure());
    // The records file holds every time under its track and way, the
    // original track forward under the car alone as before there were
    // others; the next run reads them back and its show room shows the
    // chosen car's on the chosen track.
    std::ifstream file(playerFiles / "data" / "vantrel" / RecordsStore::FileName);
    std::stringstream text;
    text << file.rdbuf();
    RecordsStore nextRun;
    for (std::size_t c = 0; c < choices.size(); ++c) {
        const TrackDescription& track = tracks.TrackOf(choices[c]);
        for (unsigned i : {0u, 1u}) {
            const std::string key = track.RecordsKey(choices[c].direction, CarPool::Describe(i).GetKey());
            EXPECT_NE(text.str().find("[" + key + "]\nbest_ms = " + std::to_string(takenMs[c][i])), std::string::npos)
                << key << " in\n" << text.str();
            EXPECT_EQ(nextRun.BestMs(key), takenMs[c][i]);
        }
    }
    EXPECT_NE(text.str().find(std::string("[") + CarPool::Describe(0).GetKey() + "]"), std::string::npos);
    ShowRoom room(handler, &nextRun);
    room.Choose(1, ShowRoom::TimeTrial);
    room.SetTracks(&tracks, 0, nullptr);
    testing::internal::CaptureStdout();
    const bool shown = room.Initialize() && room.Load();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(shown);
    for (std::size_t c = 0; c < choices.size(); ++c) {
        SCOPED_TRACE(tracks.Label(choices[c]));
        EXPECT_EQ(room.GetTrackEntry(), "Track: " + tracks.Label(choices[c]));
        EXPECT_EQ(room.GetBestLine(), "Best: " + RaceClock::FormatMs(takenMs[c][1]));
        Key(VK_LEFT);
        EXPECT_EQ(room.GetBestLine(), "Best: " + RaceClock::FormatMs(takenMs[c][0]));
        Key(VK_RIGHT);
        room.StepTrack(1);
    }
    EXPECT_EQ(room.GetTrackEntry(), "Track: " + tracks.Label(choices[0]));
}

TEST_F(RaceModeTest, TheThirdCarWinsATimeTrialOnEveryTrackAndWayIntoTheRecords) {
    // A car the game has only as data: its Time Trials with the tests'
    // driver, each a record under its own key.
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    ASSERT_EQ(CarPool::Count(), 3u);
    const std::vector<std::vector<std::uint32_t>> takenMs = WinEveryTrial(tracks, {2});
    ASSERT_FALSE(HasFailure());
    RecordsStore nextRun;
    for (std::size_t c = 0; c < tracks.GetChoices().size(); ++c) {
        const TrackList::Choice& choice = tracks.GetChoices()[c];
        const std::string key = tracks.TrackOf(choice).RecordsKey(choice.direction, "VesperRS");
        EXPECT_EQ(nextRun.BestMs(key), takenMs[c][2]) << key;
    }
}

TEST_F(RaceModeTest, BeyondTheDrawDistanceOnlyTheCoarseGroundIsDrawnAndAtLowNotEvenThat) {
    for (QualityPreset::Level level : {QualityPreset::Low, QualityPreset::Medium}) {
        SCOPED_TRACE(QualityPreset::Name(level));
        ASSERT_TRUE(DrawnFromBehindTheCar(level));
        const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
        const vmath::vec3<float> car = race->GetCar()->body->GetPosition();
        int farCount = 0, farDrawn = 0, nearDrawn = 0, farCoarseDrawn = 0, nearCoarseDrawn = 0;
        bool underCarDrawn = false;
        ForEachTrackGroup([&](const GroupNode& group, const vmath::vec3<double>& lo, const vmath::vec3<double>& hi) {
            const double gaps[3] = {std::max({lo.x - eye.x, 0.0, eye.x - hi.x}),
                                    std::max({lo.y - eye.y, 0.0, eye.y - hi.y}),
                                    std::max({lo.z - eye.z, 0.0, eye.z - hi.z})};
            const double nearestM = std::sqrt(gaps[0] * gaps[0] + gaps[1] * gaps[1] + gaps[2] * gaps[2]);
            // Beyond the distance at the view's corners too (about 35 degrees off its axis).
            // Only the ground's coarse copies stand in for what lies far off.
            const std::string& name = group.GetName();
            const bool coarse = name.size() > 7 && name.compare(name.size() - 7, 7, " coarse") == 0;
            if (nearestM > QualityPreset::For(level).drawDistanceM / 0.8) {
                farCount += !coarse;
                farDrawn += !coarse && !group.IsCulled();
                farCoarseDrawn += coarse && !group.IsCulled();
            }
            if (nearestM < 200.0) {
                nearDrawn += !coarse && !group.IsCulled();
                nearCoarseDrawn += coarse && !group.IsCulled();
            }
            if (car.x >= lo.x && car.x <= hi.x && car.y >= lo.y && car.y <= hi.y)
                underCarDrawn = underCarDrawn || !group.IsCulled();
        });
        EXPECT_GT(farCount, 3);
        EXPECT_EQ(farDrawn, 0);
        if (QualityPreset::For(level).coarseFarGround)
            EXPECT_GT(farCoarseDrawn, 3) << "the far hills, coarse";
        else
            EXPECT_EQ(farCoarseDrawn, 0);
        EXPECT_EQ(nearCoarseDrawn, 0);
        EXPECT_TRUE(underCarDrawn) << "the ground under the car";
        EXPECT_GT(nearDrawn, 1);
    }
}

TEST_F(RaceModeTest, AtHighWhatLiesBehindTheCameraIsLeftOutAndWhatLiesAheadIsDrawnCoarseFarOff) {
    ASSERT_TRUE(DrawnFromBehindTheCar(QualityPreset::High));
    const View& view = race->GetEngine().GetCamera().GetView();
    const vmath::vec3<double> eye = view.GetEye();
    const vmath::vec3<double> ahead = vmath::normalize(view.GetCenter() - eye);
    const double coarseBeyondM = QualityPreset::For(QualityPreset::High).coarseBeyondM;
    std::map<const GroupNode*, const GroupNode*> copyOf;
    std::set<const GroupNode*> copies;
    for (const CoarseCopy& pair : race->GetTrack().coarseCopies) {
        copyOf[pair.fine] = pair.coarse;
        copies.insert(pair.coarse);
    }
    ASSERT_GT(copies.size(), 40u) << "ground tiles and woods' cells";
    int behind = 0, behindDrawn = 0, onAxis = 0, onAxisDrawn = 0, farCoarse = 0, nearFine = 0, bothDrawn = 0;
    ForEachTrackGroup([&](const GroupNode& group, const vmath::vec3<double>& lo, const vmath::vec3<double>& hi) {
        // The box's farthest reach along the view axis.
        const double reach = std::max(lo.x * ahead.x, hi.x * ahead.x) + std::max(lo.y * ahead.y, hi.y * ahead.y) +
                             std::max(lo.z * ahead.z, hi.z * ahead.z) - vmath::dot(eye, ahead);
        if (reach < 0.0) {
            ++behind;
            behindDrawn += !group.IsCulled();
        }
        if (copies.count(&group)) return;
        const auto copy = copyOf.find(&group);
        const bool hasCopy = copy != copyOf.end();
        bothDrawn += hasCopy && !group.IsCulled() && !copy->second->IsCulled();
        // Wholly beyond the distance, at the view's corners too (the copies take
        // over by depth along the view), a group is drawn from its copy (where in
        // view), within it as itself.
        const double gaps[3] = {std::max({lo.x - eye.x, 0.0, eye.x - hi.x}), std::max({lo.y - eye.y, 0.0, eye.y - hi.y}),
                                std::max({lo.z - eye.z, 0.0, eye.z - hi.z})};
        const double nearestM = std::sqrt(gaps[0] * gaps[0] + gaps[1] * gaps[1] + gaps[2] * gaps[2]);
        if (hasCopy && nearestM > coarseBeyondM / 0.8) {
            EXPECT_TRUE(group.IsCulled()) << group.GetName();
            farCoarse += !copy->second->IsCulled();
        }
        if (hasCopy && nearestM < coarseBeyondM * 0.7) {
            EXPECT_TRUE(copy->second->IsCulled()) << group.GetName();
            nearFine += !group.IsCulled();
        }
        // A box the view's axis passes through, between the near and far
        // planes, is in view: drawn, itself or from its copy.
        for (double t = 1.0; t < ViewProjection::FarPlaneM; t += 5.0) {
            const vmath::vec3<double> p = eye + ahead * t;
            if (p.x >= lo.x && p.x <= hi.x && p.y >= lo.y && p.y <= hi.y && p.z >= lo.z && p.z <= hi.z) {
                ++onAxis;
                onAxisDrawn += !group.IsCulled() || (hasCopy && !copy->second->IsCulled());
                break;
            }
        }
    });
    EXPECT_GT(behind, 0);
    EXPECT_EQ(behindDrawn, 0);
    EXPECT_GT(onAxis, 0);
    EXPECT_EQ(onAxisDrawn, onAxis);
    EXPECT_GT(farCoarse, 0);
    EXPECT_GT(nearFine, 0);
    EXPECT_EQ(bothDrawn, 0);
}

TEST_F(RaceModeTest, EveryPresetDrawsTheSkyTheRoadAndTheCar) {
    for (QualityPreset::Level level : {QualityPreset::High, QualityPreset::Medium, QualityPreset::Low}) {
        SCOPED_TRACE(QualityPreset::Name(level));
        ASSERT_TRUE(DrawnFromBehindTheCar(level));
        BackBuffer shot;
        const int w = shot.Width(), h = shot.Height();
        // Sky over the top band, grey road under the car, the blue car in the middle.
        const int sky = shot.Count(0, h - 120, w, h, [](int r, int, int b) { return b > r + 40; });
        EXPECT_GT(sky, w * 120 * 6 / 10);
        const int road = shot.Count(w / 2 - 100, 0, w / 2 + 100, 60, [](int r, int g, int b) {
            return std::abs(r - g) < 16 && std::abs(g - b) < 16 && r > 40 && r < 200;
        });
        EXPECT_GT(road, 200 * 60 * 6 / 10);
        const int car = shot.Count(w / 2 - 200, h / 6, w / 2 + 200, h / 2,
                                   [](int r, int g, int b) { return b > r + 60 && b > g + 40; });
        EXPECT_GT(car, 5000);
    }
}
