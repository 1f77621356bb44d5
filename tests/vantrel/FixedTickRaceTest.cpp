// The race steps at a fixed tick: the same inputs give the same race, bit
// for bit, whatever the frames, and drawing changes nothing of it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "CentreLineDriver.h"
#include <nodara/GroupNode.h>

#include "cars/Car.h"
#include "input/EventHandler.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"
#include "race/GameEngine.h"
#include "race/RaceField.h"
#include "track/TrackList.h"

namespace {

using Pose = std::array<float, 16>;

/// Every car's frame, as the world holds it and as its node is drawn.
std::vector<Pose> PosesOf(const GameEngine& race) {
    std::vector<Pose> poses;
    for (const Racer& racer : race.GetField()->GetRacers()) {
        Pose body, node;
        racer.car->body->GetMatrixGL(body.data());
        std::memcpy(node.data(), racer.car->node->GetTransform().GetMatrix().ptr(), sizeof node);
        poses.push_back(body);
        poses.push_back(node);
    }
    return poses;
}

class FixedTickRace : public ::testing::Test {
protected:
    FixedTickRace() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-tick-XXXXXX").string();
        if (mkdtemp(pattern.data())) playerFiles = pattern;
        setenv("XDG_DATA_HOME", (playerFiles / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (playerFiles / "config").c_str(), 1);
    }
    ~FixedTickRace() override { std::filesystem::remove_all(playerFiles); }
    void SetUp() override {
        ASSERT_FALSE(playerFiles.empty());
        if (!std::filesystem::exists(TrackList::DataFolder))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
    }
    std::unique_ptr<GameEngine> StartRace(EventHandler& handler) {
        auto race = std::make_unique<GameEngine>(handler);
        if (!race->Initialize()) return nullptr;
        race->SetOpponents(3, RacingDriver::Skill::Hard);
        testing::internal::CaptureStdout();  // the debug plug-in reports every object it adds
        const bool started = race->Start(0, RaceMode::Race);
        testing::internal::GetCapturedStdout();
        return started ? std::move(race) : nullptr;
    }

    std::filesystem::path playerFiles;
};

}  // namespace

TEST_F(FixedTickRace, TheSameInputsGiveTheSameRaceBitForBitAtAnyFrameRate) {
    // Frames of uneven lengths, as a loaded machine gives them, none a
    // multiple of the tick.
    const double frames[] = {1.0 / 60.0, 1.0 / 47.0, 1.0 / 144.0, 1.0 / 31.0, 1.0 / 75.0};

    // Twice the same frames and inputs: every car's frame, body and node,
    // the same to the bit after every frame of a minute's race.
    const auto run = [&](std::vector<std::vector<Pose>>& out) {
        EventHandler handler;
        std::unique_ptr<GameEngine> race = StartRace(handler);
        ASSERT_TRUE(race);
        CentreLineDriver driver(*race, handler);
        double elapsed = 0.0;
        for (int i = 0; elapsed < 60.0; ++i) {
            race->GetFrameStatistics().cycleTime = frames[i % 5];
            elapsed += frames[i % 5];
            race->Step();
            if (race->GetCar()->controlsEnabled) driver.Drive();
            out.push_back(PosesOf(*race));
        }
        EXPECT_GT(race->GetField()->GetRacers().back().progress.GetDistanceM(), 500.0) << "the player drove";
    };
    std::vector<std::vector<Pose>> first, second;
    run(first);
    run(second);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t frame = 0; frame < first.size(); ++frame)
        for (std::size_t car = 0; car < first[frame].size(); ++car)
            ASSERT_EQ(std::memcmp(first[frame][car].data(), second[frame][car].data(), sizeof(Pose)), 0)
                << "frame " << frame << ", pose " << car;
}

TEST_F(FixedTickRace, TheWorldAtATickIsTheSameWhateverTheFramesAndHowOftenTheHudIsDrawn) {
    // Full throttle from before the first frame: the input of every tick is
    // the same, however the frames fall. One run at 60 frames a second, one
    // at 144 drawing the HUD three times a frame, one at uneven frames.
    const long target = 1800;  // 4 s of countdown, then 11 s of driving
    const auto worldAt = [&](const std::vector<double>& frames, int hudDraws, float& goTimeSeen) {
        EventHandler handler;
        std::unique_ptr<GameEngine> race = StartRace(handler);
        EXPECT_TRUE(race);
        if (!race) return std::vector<Pose>();
        handler.DispatchKey(VK_UP, 0);
        for (std::size_t i = 0; race->GetTick().GetTickCount() < target; ++i) {
            race->GetFrameStatistics().cycleTime = frames[i % frames.size()];
            race->Step();
            // Drawing reads the race; it must not move "Go!" along.
            const float goTime = race->GetGoTime();
            for (int d = 0; d < hudDraws; ++d) race->DrawHud();
            EXPECT_EQ(race->GetGoTime(), goTime);
            if (race->GetTick().GetTickCount() == 4 * 120 + 120) goTimeSeen = goTime;
        }
        EXPECT_EQ(race->GetTick().GetTickCount(), target);
        std::vector<Pose> poses = PosesOf(*race);
        for (std::size_t p = 0; p < poses.size(); p += 2) poses[p + 1] = poses[p];  // the drawn pose is blended
        return poses;
    };
    float go60 = -1.0f, go144 = -1.0f, goUneven = -1.0f;
    const std::vector<Pose> at60 = worldAt({1.0 / 60.0}, 0, go60);
    const std::vector<Pose> at144 = worldAt({1.0 / 144.0}, 3, go144);
    const std::vector<Pose> uneven = worldAt({1.0 / 120.0, 1.0 / 120.0, 1.0 / 40.0}, 1, goUneven);
    ASSERT_FALSE(at60.empty());
    ASSERT_EQ(at60.size(), at144.size());
    ASSERT_EQ(at60.size(), uneven.size());
    for (std::size_t car = 0; car < at60.size(); car += 2) {
        EXPECT_EQ(std::memcmp(at60[car].data(), at144[car].data(), sizeof(Pose)), 0) << "car " << car / 2;
        EXPECT_EQ(std::memcmp(at60[car].data(), uneven[car].data(), sizeof(Pose)), 0) << "car " << car / 2;
    }
    // One second after the start "Go!" has one second left, however it was drawn.
    EXPECT_NEAR(go60, 1.0f, 0.01f);
    EXPECT_EQ(go60, go144);
}
