// Ghosts and replays in the race on the real track: a Time Trial won by the
// tests' centre-line driver becomes the car's ghost, the next start races
// it (a copy of it half a second late, for a gap of known sign and size)
// without ever touching it, the ghost is drawn see-through, and a run is
// watched again at 1x and 2x. The player's files go to a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <nodara/Camera.h>
#include <nodara/GroupNode.h>
#include <nodara/View.h>

#include "CentreLineDriver.h"
#include "GameWindow.h"
#include "cars/Car.h"
#include "cars/CarPool.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "track/TrackList.h"
#include "race/GhostRace.h"
#include "race/Replay.h"
#include "race/TrialGuests.h"
#include "race/rules/TimeTrialRules.h"
#include "showroom/ShowRoom.h"
#include "storage/GhostFile.h"
#include "storage/RecordsStore.h"
#include "storage/SettingsStore.h"

namespace {

const int Press = 0, Release = 1;
const double Frame = 1.0 / 60.0;

using vec3 = vmath::vec3<float>;

vec3 PositionOf(const vmath::mat4<float>& m) { return vec3(m[12], m[13], m[14]); }

class GhostRaceTest : public ::testing::Test {
protected:
    GhostRaceTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-ghost-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
        records = std::make_unique<RecordsStore>();
    }
    ~GhostRaceTest() override { std::filesystem::remove_all(playerFiles); }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }
    void TearDown() override { race.reset(); }

    /// A new race, as the program makes one for each start.
    bool Start(unsigned carIndex, RaceMode mode) {
        race.reset();
        race = std::make_unique<GameEngine>(handler, records.get());
        if (!race->Initialize()) return false;
        // The debug plug-in reports every object it adds.
        testing::internal::CaptureStdout();
        const bool started = race->Start(carIndex, mode);
        testing::internal::GetCapturedStdout();
        race->GetFrameStatistics().cycleTime = Frame;
        return started;
    }
    void Key(unsigned key, int state = Press) { handler.DispatchKey(key, state); }
    /// Frames of the race, the driver at the keys once the car is released,
    /// until the trial is over or `frames` have run; `each` after every one.
    template <typename Each>
    int Drive(int frames, Each each) {
        CentreLineDriver driver(*race, handler);
        int frame = 0;
        for (; frame < frames && !race->IsOver(); ++frame) {
            if (race->GetCar()->controlsEnabled) driver.Drive();
            race->Step();
            each();
        }
        for (unsigned key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT}) Key(key, Release);
        return frame;
    }
    std::filesystem::path GhostPath(unsigned carIndex) const {
        return playerFiles / "data" / "vantrel" / GhostFile::FolderName /
               (std::string(TrackDescription::OriginalTrack) + "-" + CarPool::Describe(carIndex).GetKey() + ".ghost");
    }

    std::filesystem::path playerFiles;
    std::unique_ptr<RecordsStore> records;
    EventHandler handler;
    std::unique_ptr<GameEngine> race;
};

}  // namespace

TEST_F(GhostRaceTest, AWonTrialIsTheGhostTheNextStartRacesHalfASecondLateWithoutTouchingIt) {
    // The first run: no ghost yet, the car recorded from its release.
    ASSERT_TRUE(Start(0, RaceMode::TimeTrial));
    GhostRace& first = *race->GetGhostRace();
    EXPECT_FALSE(first.HasGhost());
    std::vector<vec3> driven;  // the player's car after each frame since the release
    Drive(36000, [&] {
        if (race->GetCountdown() < 0.0f) driven.push_back(race->GetCar()->body->GetPosition());
    });
    ASSERT_TRUE(race->IsPerfect());
    const std::uint32_t takenMs = race->GetResult().GetTakenMs();
    const RecordedRun run = first.GetRun();
    EXPECT_FALSE(first.GetRecorder().IsRecording());
    EXPECT_NEAR(run.GetDurationS(), takenMs / 1000.0, 0.021);
    EXPECT_NEAR(driven.size() * Frame, takenMs / 1000.0, Frame);
    // W on the end screen watches it; Return then races nothing again, and
    // leaving it is back at the end.
    Key(GameKeys::Watch);
    ASSERT_NE(race->GetReplay(), nullptr);
    EXPECT_EQ(race->GetReplay()->GetRun().GetSampleCount(), run.GetSampleCount());
    Key(VK_RETURN);
    EXPECT_TRUE(race->IsPerfect());
    EXPECT_TRUE(race->LeaveReplay());
    EXPECT_TRUE(race->IsPerfect());

    // Kept as the car's ghost, well under a megabyte; none for the other car.
    ASSERT_TRUE(std::filesystem::is_regular_file(GhostPath(0)));
    EXPECT_LT(std::filesystem::file_size(GhostPath(0)), 1u << 20);
    EXPECT_FALSE(std::filesystem::exists(GhostPath(1)));
    const auto writtenAt = std::filesystem::last_write_time(GhostPath(0));
    EXPECT_TRUE(GhostRace::HasBestRun(TrackDescription::OriginalTrack, 0));
    EXPECT_FALSE(GhostRace::HasBestRun(TrackDescription::OriginalTrack, 1));

    // The next start reads it back and races it: one car in the world still.
    ASSERT_TRUE(Start(0, RaceMode::TimeTrial));
    GhostRace& ghosts = *race->GetGhostRace();
    ASSERT_TRUE(ghosts.HasGhost());
    ASSERT_EQ(ghosts.GetGhostRun().GetSampleCount(), run.GetSampleCount());
    EXPECT_EQ(race->GetWorld()->GetCarCount(), 1u);
    EXPECT_EQ(ghosts.GetGhostCar()->body, nullptr);

    // A ghost half a second late: its first sample held 25 samples longer.
    RecordedRun late(run.GetSampleRateHz());
    for (int i = 0; i < run.GetSampleRateHz() / 2; ++i) late.Append(run.GetSample(0));
    for (std::size_t i = 0; i < run.GetSampleCount(); ++i) late.Append(run.GetSample(i));
    ASSERT_TRUE(ghosts.SetGhost(0, late, takenMs + 500));
    const Car& ghostCar = *ghosts.GetGhostCar();

    std::size_t frame = 0;
    int gapsChecked = 0, visibleFrames = 0;
    unsigned splits = 0;
    const int lateFrames = 30;  // half a second at 60 frames a second
    Drive(36000, [&] {
        if (race->GetCountdown() >= 0.0f) return;
        ASSERT_LT(frame, driven.size());
        // Driven through the ghost, the car goes exactly where it went alone.
        const vec3 p = race->GetCar()->body->GetPosition();
        EXPECT_LT(vmath::length(p - driven[frame]), 0.001f) << "frame " << frame;
        EXPECT_EQ(race->GetWorld()->GetCarCount(), 1u);
        // The ghost is where the first run was half a second before (the
        // winning frame stops at its tick, between two frames of the first run).
        if (frame >= lateFrames && !race->IsOver()) {
            const vec3 g = PositionOf(ghostCar.node->GetTransform().GetMatrix());
            EXPECT_LT(vmath::length(g - driven[frame - lateFrames]), 0.05f) << "frame " << frame;
        }
        // Once the car has left the start, the gap is half a second ahead;
        // up to the last sample of the first run, which may fall a sample's
        // time (20 ms) short of its finish.
        if (frame > 180 && race->GetNextCheckpoint() < 5 && frame + 2 < driven.size()) {
            const std::optional<double> gap = ghosts.GetGapS();
            ASSERT_TRUE(gap.has_value()) << "frame " << frame;
            EXPECT_NEAR(*gap, -0.5, 0.025) << "frame " << frame;
            const std::string text = GhostRace::FormatGap(*gap);
            EXPECT_TRUE(text == "-0.50" || text == "-0.49" || text == "-0.51") << text;
            ++gapsChecked;
        }
        // Seen from afar, faded out when near: half a second is 10 m at 72 km/h.
        const float apart = vmath::length(p - PositionOf(ghostCar.node->GetTransform().GetMatrix()));
        if (apart > GhostRace::FadeFarM) {
            EXPECT_FLOAT_EQ(ghosts.GetOpacity(), GhostRace::MaxOpacity);
        } else if (apart < GhostRace::FadeNearM) {
            EXPECT_EQ(ghosts.GetOpacity(), 0.0f);
        }
        if (ghosts.GetOpacity() > 0.0f) ++visibleFrames;
        if (ghosts.GetSplitS() && ghosts.GetSplitCheckpoint() + 1 > splits) {
            splits = ghosts.GetSplitCheckpoint() + 1;
            EXPECT_NEAR(*ghosts.GetSplitS(), -0.5, 0.025) << "checkpoint " << splits;
        }
        ++frame;
    });
    ASSERT_TRUE(race->IsPerfect());
    EXPECT_EQ(race->GetResult().GetTakenMs(), takenMs);
    EXPECT_EQ(splits, 4u);
    EXPECT_GT(gapsChecked, 1000);
    EXPECT_GT(visibleFrames, 1000);
    // At the finish the times compare: half a second exactly.
    ASSERT_TRUE(ghosts.GetSplitS().has_value());
    EXPECT_NEAR(*ghosts.GetSplitS(), -0.5, 1e-9);
    // The map has it as a hollow dot.
    const std::vector<MapDot> dots = ghosts.MapDots();
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_TRUE(dots[0].hollow);
    // No faster than the ghost on the disk: the file stays as it was.
    EXPECT_EQ(std::filesystem::last_write_time(GhostPath(0)), writtenAt);

    // G hides the ghost, its gap and its dot, and the settings keep it.
    SettingsStore settings;
    race->SetSettings(&settings);
    Key(GameKeys::Ghost);
    Key(GameKeys::Ghost, Release);
    EXPECT_FALSE(ghosts.IsShown());
    EXPECT_TRUE(ghosts.MapDots().empty());
    EXPECT_EQ(settings.Get("race", "ghost"), std::optional<std::string>("off"));
    EXPECT_FALSE(GhostRace::ReadShown(&settings));

    // The show room offers the car's best run, and only that car's.
    race.reset();
    {
        ShowRoom room(handler, records.get());
        room.Choose(0, ShowRoom::TimeTrial);
        testing::internal::CaptureStdout();
        const bool shown = room.Initialize() && room.Load();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(shown);
        EXPECT_TRUE(room.HasBestRun());
        Key(VK_RIGHT);
        EXPECT_FALSE(room.HasBestRun());
    }

    // Watched from there: a race of its own that only the show room ends.
    ASSERT_TRUE(Start(0, RaceMode::Replay));
    ASSERT_NE(race->GetReplay(), nullptr);
    EXPECT_EQ(race->GetReplay()->GetRun().GetSampleCount(), run.GetSampleCount());
    EXPECT_FALSE(race->LeaveReplay());
    EXPECT_FALSE(Start(1, RaceMode::Replay));
}

TEST_F(GhostRaceTest, TheGhostIsDrawnSeeThroughOverTheRoadAfterTheScene) {
    ASSERT_TRUE(Start(0, RaceMode::TimeTrial));
    GhostRace& ghosts = *race->GetGhostRace();
    // The other model standing 25 m down the road from the player's car,
    // seen from the side; the player's car is out of the picture.
    const Car& player = *race->GetCar();
    vmath::mat4<float> pose = player.node->GetTransform().GetMatrix();
    const vec3 forward(pose[4], pose[5], pose[6]), side(pose[0], pose[1], pose[2]);
    const vec3 at = PositionOf(pose) + forward * 25.0f;
    pose[12] = at.x;
    pose[13] = at.y;
    pose[14] = at.z;
    RecordedRun standing;
    RecordedRun::Sample sample;
    sample.positionM = at;
    sample.orientation = RecordedRun::OrientationOfGL(pose.ptr());
    standing.Append(sample);
    standing.Append(sample);
    // The debug plug-in reports every object of the model it loads.
    testing::internal::CaptureStdout();
    ASSERT_TRUE(ghosts.SetGhost(1, standing, 1000));
    testing::internal::GetCapturedStdout();
    race->Step();
    ASSERT_FLOAT_EQ(ghosts.GetOpacity(), GhostRace::MaxOpacity);

    const vec3 eye = at + side * 9.0f + vec3(0.0f, 0.0f, 2.5f);
    race->GetEngine().GetCamera().SetView(
        View(vmath::vec3<double>(eye.x, eye.y, eye.z), vmath::vec3<double>(at.x, at.y, at.z + 0.5), {0.0, 0.0, 1.0}));
    const auto shot = [&] {
        race->RenderScene();
        return BackBuffer();
    };
    ghosts.SetShown(false);
    const BackBuffer road = shot();
    ghosts.SetShown(true);
    const BackBuffer seeThrough = shot();
    ASSERT_TRUE(race->GetCars()->SetOpacity(*ghosts.GetGhostCar(), 1.0f));
    const BackBuffer opaque = shot();

    // Where the opaque car stands out from the road, the ghost's pixel is
    // the two blended at its opacity: the road shows through it.
    const float a = GhostRace::MaxOpacity;
    int covered = 0, blended = 0, unchanged = 0;
    for (int y = 0; y < road.Height(); ++y)
        for (int x = 0; x < road.Width(); ++x) {
            const std::uint8_t *r = road.At(x, y), *g = seeThrough.At(x, y), *o = opaque.At(x, y);
            int contrast = 0;
            for (int c = 0; c < 3; ++c) contrast = std::max(contrast, std::abs(o[c] - r[c]));
            if (contrast < 40) {
                if (std::equal(r, r + 3, g)) ++unchanged;
                continue;
            }
            ++covered;
            bool near = true;
            for (int c = 0; c < 3; ++c) near = near && std::fabs(g[c] - (a * o[c] + (1.0f - a) * r[c])) <= 6.0f;
            if (near) ++blended;
        }
    EXPECT_GT(covered, road.Width() * road.Height() / 50);
    EXPECT_GT(blended, covered * 9 / 10) << blended << " of " << covered;
    // Nothing else moved: the rest of the frame is the road's, pixel for pixel.
    EXPECT_GT(unchanged, (road.Width() * road.Height() - covered) * 9 / 10);
}

// Another player's car of a network trial: see-through where its state puts
// it, faded out at the player's car, and gone from the picture when hidden.
TEST_F(GhostRaceTest, ATrialGuestIsDrawnSeeThroughWhereItsStatePutsItAndFadesAtThePlayersCar) {
    // A trial beside another player, as a network trial sets it up, at the Low preset.
    TrialGuests* shown = nullptr;
    race.reset();
    race = std::make_unique<GameEngine>(handler, records.get());
    race->SetQuality(QualityPreset::Level::Low);
    race->SetTrialGuests("Bob", {{1, "Ann", nullptr}},
                         [&](const Track& track, RecordsStore* kept, std::string key, TrialGuests& guests) {
                             shown = &guests;
                             return std::make_unique<TimeTrialRules>(track, kept, std::vector<std::string>{key});
                         });
    ASSERT_TRUE(race->Initialize());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(race->Start(0, RaceMode::TimeTrial));
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(shown && race->GetTrialGuests() == shown);
    TrialGuests& guests = *shown;
    const Car& player = *race->GetCar();
    const vmath::mat4<float> pose = player.node->GetTransform().GetMatrix();
    const vec3 forward(pose[4], pose[5], pose[6]), side(pose[0], pose[1], pose[2]);
    const vec3 at = PositionOf(pose) + forward * 25.0f;
    RecordedRun::Sample state;
    state.positionM = at;
    state.orientation = RecordedRun::OrientationOfGL(pose.ptr());
    const vec3 eye = at + side * 9.0f + vec3(0.0f, 0.0f, 2.5f);
    const View view(vmath::vec3<double>(eye.x, eye.y, eye.z), vmath::vec3<double>(at.x, at.y, at.z + 0.5),
                    {0.0, 0.0, 1.0});
    race->GetEngine().GetCamera().SetView(view);
    const auto shot = [&] {
        race->RenderScene();
        return BackBuffer();
    };
    guests.Pose(0, nullptr, PositionOf(pose));
    const BackBuffer road = shot();
    EXPECT_TRUE(guests.MapDots().empty());
    guests.Pose(0, &state, PositionOf(pose));
    const BackBuffer seeThrough = shot();
    ASSERT_EQ(guests.MapDots().size(), 1u);
    EXPECT_TRUE(guests.MapDots()[0].hollow);
    // At the player's car it fades out: nothing of it in front of the player's eyes.
    guests.Pose(0, &state, at);
    EXPECT_FALSE(guests.IsSeen(0));
    const BackBuffer faded = shot();
    int changed = 0, fadedChanged = 0;
    for (int y = 0; y < road.Height(); ++y)
        for (int x = 0; x < road.Width(); ++x) {
            const std::uint8_t *r = road.At(x, y), *g = seeThrough.At(x, y), *f = faded.At(x, y);
            if (!std::equal(r, r + 3, g)) ++changed;
            if (!std::equal(r, r + 3, f)) ++fadedChanged;
        }
    EXPECT_GT(changed, road.Width() * road.Height() / 100) << "the guest's car is not in the picture";
    EXPECT_EQ(fadedChanged, 0);
}

TEST_F(GhostRaceTest, ARunWatchedAtTwiceTheSpeedReachesTheSamePosesInHalfTheFrames) {
    // A Free Drive is recorded from the first frame.
    ASSERT_TRUE(Start(1, RaceMode::FreeDrive));
    Drive(600, [] {});
    const RecordedRun run = race->GetGhostRace()->GetRun();
    ASSERT_NEAR(run.GetDurationS(), 10.0, 0.03);
    Car& car = *race->GetCar();
    const vmath::mat4<float> before = car.node->GetTransform().GetMatrix();
    const vmath::mat4<float> wheelBefore = car.wheels[0]->GetTransform().GetMatrix();
    const double worldS = race->GetWorld()->GetTimeS();

    // At 1x: the pose after 5 s and at the end; the dials and the clock
    // show the recording.
    ASSERT_TRUE(race->Watch(run));
    const Replay& replay = *race->GetReplay();
    for (int i = 0; i < 300; ++i) race->Step();
    EXPECT_NEAR(replay.GetTimeS(), 5.0, 1e-3);
    const vmath::mat4<float> middle = car.node->GetTransform().GetMatrix();
    const RecordedRun::Sample atMiddle = run.At(replay.GetTimeS());
    EXPECT_LT(vmath::length(PositionOf(middle) - atMiddle.positionM), 1e-4f);
    EXPECT_EQ(replay.SoundDrive(true).rpm, atMiddle.engineRpm);
    // The chase camera follows the replayed car.
    const vmath::vec3<double> eye = race->GetEngine().GetCamera().GetView().GetEye();
    EXPECT_LT(vmath::length(vec3(float(eye.x), float(eye.y), float(eye.z)) - PositionOf(middle)), 30.0f);
    int frames = 300;
    for (; frames < 1200 && !replay.IsFinished(); ++frames) race->Step();
    EXPECT_NEAR(frames, 600, 2);
    const vmath::mat4<float> end = car.node->GetTransform().GetMatrix();
    // The world stood still meanwhile.
    EXPECT_EQ(race->GetWorld()->GetTimeS(), worldS);

    // Escape: the car as it was before.
    EXPECT_TRUE(race->LeaveReplay());
    EXPECT_EQ(race->GetReplay(), nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(car.node->GetTransform().GetMatrix()[i], before[i]);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(car.wheels[0]->GetTransform().GetMatrix()[i], wheelBefore[i]);

    // At 2x (Up once): the same poses in half the frames. Paused, nothing moves.
    ASSERT_TRUE(race->Watch(run));
    Key(VK_UP);
    Key(VK_UP, Release);
    EXPECT_EQ(race->GetReplay()->GetSpeed(), 2.0f);
    for (int i = 0; i < 150; ++i) race->Step();
    EXPECT_LT(vmath::length(PositionOf(car.node->GetTransform().GetMatrix()) - PositionOf(middle)), 1e-3f);
    Key(GameKeys::Pause);
    for (int i = 0; i < 30; ++i) race->Step();
    EXPECT_NEAR(race->GetReplay()->GetTimeS(), 5.0, 1e-3);
    Key(GameKeys::Pause);
    for (frames = 150; frames < 1200 && !race->GetReplay()->IsFinished(); ++frames) race->Step();
    EXPECT_NEAR(frames, 300, 2);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(car.node->GetTransform().GetMatrix()[i], end[i]);

    // Up and Down stop at 4x and a quarter.
    for (int i = 0; i < 6; ++i) Key(VK_UP);
    EXPECT_EQ(race->GetReplay()->GetSpeed(), 4.0f);
    for (int i = 0; i < 6; ++i) Key(VK_DOWN);
    EXPECT_EQ(race->GetReplay()->GetSpeed(), 0.25f);
}
