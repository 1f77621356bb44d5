// The server's check of the car states a client sends: an honest drive
// passes whole, each kind of impossible state is caught.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <sstream>

#include "net/StateCheck.h"
#include "track/RoadCentreLine.h"

namespace {

constexpr double TickS = 1.0 / 120.0;
constexpr std::uint32_t TicksPerState = 4;  // 30 states a second

/// A straight road along +x with a checkpoint every 200 m, the last the finish.
StateCheck::Limits StraightRoad() {
    StateCheck::Limits limits;
    limits.topSpeedMs = 80.0;
    limits.tickS = TickS;
    limits.worldMinM = {-100.0, -100.0, -50.0};
    limits.worldMaxM = {1200.0, 100.0, 200.0};
    for (int i = 1; i <= 5; ++i) limits.checkpointsM.push_back({200.0 * i, 0.0});
    return limits;
}

Protocol::CarState State(std::uint32_t tick, double x, double speedMs, unsigned checkpoints = 0, double y = 0.0) {
    Protocol::CarState s;
    s.tick = tick;
    s.checkpoints = static_cast<std::uint8_t>(checkpoints);
    s.sample.positionM = {static_cast<float>(x), static_cast<float>(y), 1.0f};
    s.sample.speedMs = static_cast<float>(speedMs);
    return s;
}

}  // namespace

TEST(StateCheckTest, AnHonestDriveAtTopSpeedIsAcceptedToTheFinish) {
    const StateCheck check(StraightRoad());
    StateCheck::Progress progress;
    // 78 m/s: 2.6 m a state, so the 6 m checkpoint squares are never
    // sampled inside more than twice; the path between states counts.
    const double speed = 78.0;
    unsigned claimed = 0;
    std::uint32_t tick = 0;
    for (double x = 0.0; x < 1010.0; tick += TicksPerState) {
        const unsigned before = progress.checkpoints;
        ASSERT_EQ(check.Check(progress, State(tick, x, speed, claimed), tick), StateCheck::Verdict::Accepted)
            << "x " << x;
        // The client counts a checkpoint a state after the server, as a lagging one would.
        claimed = before;
        x += speed * TicksPerState * TickS;
    }
    EXPECT_EQ(progress.checkpoints, 5u);
    EXPECT_TRUE(progress.IsFinished(check.GetLimits()));
}

TEST(StateCheckTest, ImpossibleStatesAreCaught) {
    using V = StateCheck::Verdict;
    const StateCheck check(StraightRoad());
    struct Row {
        const char* what;
        Protocol::CarState state;
        std::uint32_t serverTick;
        V verdict;
    };
    // Each row starts from an accepted state at x = 100 on tick 400.
    const std::vector<Row> rows = {
        // 88 m/s would be 8 over the top speed: just inside the margin.
        {"at the margin", State(404, 102.9, 87.9), 404, V::Accepted},
        {"faster than the car and the margin", State(404, 102.0, 88.5), 404, V::TooFast},
        // 88 m/s for 4 ticks is 2.93 m, plus 1.5 m of slack.
        {"a move of 4.4 m in 4 ticks", State(404, 104.4, 50.0), 404, V::Accepted},
        {"a move of 4.6 m in 4 ticks", State(404, 104.6, 50.0), 404, V::ImpossibleMove},
        {"a teleport along the road", State(408, 700.0, 50.0), 408, V::ImpossibleMove},
        {"sideways off the road", State(404, 100.0, 50.0, 0, 30.0), 404, V::ImpossibleMove},
        // Lost states in between: the longer time allows the longer move.
        {"after a second of lost states", State(520, 185.0, 80.0), 520, V::Accepted},
        {"below the world", [] { auto s = State(404, 101.0, 30.0); s.sample.positionM.z = -60.0f; return s; }(), 404,
         V::OutsideWorld},
        {"beyond its edge", State(404, 1300.0, 30.0), 404, V::OutsideWorld},
        {"a tick 2 s ahead of the server", State(640, 101.0, 30.0), 400, V::AheadOfClock},
        {"the same tick again", State(400, 100.0, 30.0), 400, V::Stale},
        {"an older tick", State(396, 99.0, 30.0), 400, V::Stale},
        {"a checkpoint it never passed", State(404, 101.0, 30.0, 1), 404, V::CheckpointSkipped},
        {"the finish without a checkpoint", State(404, 101.0, 30.0, 5), 404, V::CheckpointSkipped},
    };
    for (const Row& row : rows) {
        StateCheck::Progress progress;
        ASSERT_EQ(check.Check(progress, State(400, 100.0, 30.0), 400), V::Accepted);
        const StateCheck::Progress before = progress;
        EXPECT_EQ(check.Check(progress, row.state, row.serverTick), row.verdict) << row.what;
        if (row.verdict != V::Accepted) {
            // Refused: the next state is measured from the last good one.
            EXPECT_EQ(progress.tick, before.tick) << row.what;
            EXPECT_EQ(progress.positionM.x, before.positionM.x) << row.what;
        }
        EXPECT_EQ(StateCheck::IsImpossible(row.verdict),
                  row.verdict != V::Accepted && row.verdict != V::Stale && row.verdict != V::TooFast)
            << row.what;
    }
}

TEST(StateCheckTest, CheckpointsCountOnlyInOrder) {
    const StateCheck check(StraightRoad());
    StateCheck::Progress progress;
    // Round the first checkpoint outside its square (at y 10), then across
    // the second: only the first in order counts, so none.
    ASSERT_EQ(check.Check(progress, State(0, 190.0, 30.0, 0, 10.0), 0), StateCheck::Verdict::Accepted);
    std::uint32_t tick = 0;
    for (double x = 190.0; x < 420.0; x += 2.0) {
        tick += TicksPerState;
        const double y = std::clamp(390.0 - x, 0.0, 10.0);  // back on the line before 400
        ASSERT_EQ(check.Check(progress, State(tick, x, 30.0, 0, y), tick), StateCheck::Verdict::Accepted) << x;
    }
    EXPECT_EQ(progress.checkpoints, 0u) << "the second checkpoint passed before the first";
    EXPECT_EQ(check.Check(progress, State(tick + 4, 420.5, 30.0, 1), tick + 4), StateCheck::Verdict::CheckpointSkipped);
}

TEST(StateCheckTest, ACheckpointTheCarCouldHaveReachedWhileStatesWereLostCounts) {
    const StateCheck check(StraightRoad());
    // Half a second of states lost at 40 m/s while it swung 10 m out and
    // back round the first checkpoint: the straight line between the two
    // states misses its square by 7 m, but 20 m of road could have reached it.
    StateCheck::Progress progress;
    ASSERT_EQ(check.Check(progress, State(0, 190.0, 40.0, 0, 10.0), 0), StateCheck::Verdict::Accepted);
    EXPECT_EQ(check.Check(progress, State(60, 210.0, 40.0, 1, 10.0), 60), StateCheck::Verdict::Accepted);
    EXPECT_EQ(progress.checkpoints, 1u);
    // The same line with the states a tick apart could not have swung there.
    StateCheck::Progress close;
    ASSERT_EQ(check.Check(close, State(0, 199.5, 40.0, 0, 10.0), 0), StateCheck::Verdict::Accepted);
    EXPECT_EQ(check.Check(close, State(4, 200.5, 40.0, 1, 10.0), 4), StateCheck::Verdict::CheckpointSkipped);
}

TEST(StateCheckTest, ARecoveryMayJumpOntoTheRoadLevelWithTheCarButNoFurtherAndNotTwiceInASecond) {
    using V = StateCheck::Verdict;
    // A square loop 1 km a side round the straight road's first side.
    RoadCentreLine road;
    std::istringstream text("vantrel-road 1 4\n0 0\n1000 0\n1000 1000\n0 1000\n");
    ASSERT_TRUE(road.Parse(text, "square"));
    StateCheck::Limits limits = StraightRoad();
    limits.road = &road;
    limits.recoveryReachM = 6.0;
    const StateCheck check(limits);
    const auto recovered = [](Protocol::CarState s, unsigned count) {
        s.recoveries = static_cast<std::uint8_t>(count);
        return s;
    };
    StateCheck::Progress progress;
    // Off the road 40 m to the side of x = 300, crawling.
    ASSERT_EQ(check.Check(progress, State(0, 300.0, 1.0, 0, -40.0), 0), V::Accepted);
    ASSERT_EQ(check.Check(progress, State(4, 300.0, 1.0, 0, -40.0), 4), V::Accepted);
    // Put on the road level with it: a jump of 40 m that no speed allows in a state.
    EXPECT_EQ(check.Check(progress, State(8, 300.0, 0.0, 0, 0.0), 8), V::ImpossibleMove) << "no recovery said";
    StateCheck::Progress ahead = progress, aside = progress;
    EXPECT_EQ(check.Check(ahead, recovered(State(8, 500.0, 0.0), 1), 8), V::ImpossibleMove) << "put 200 m ahead";
    EXPECT_EQ(check.Check(aside, recovered(State(8, 300.0, 0.0, 0, -20.0), 1), 8), V::ImpossibleMove)
        << "not on the road";
    const unsigned passed = progress.checkpoints;
    ASSERT_EQ(check.Check(progress, recovered(State(8, 300.0, 0.0), 1), 8), V::Accepted);
    EXPECT_EQ(progress.checkpoints, passed) << "no checkpoint passed on the way";
    // Driving on from there is the usual check; the next recovery waits a second.
    ASSERT_EQ(check.Check(progress, recovered(State(12, 301.0, 5.0), 1), 12), V::Accepted);
    EXPECT_EQ(check.Check(progress, recovered(State(16, 290.0, 0.0), 2), 16), V::ImpossibleMove) << "too soon";
    EXPECT_EQ(check.Check(progress, recovered(State(140, 290.0, 0.0), 2), 140), V::Accepted);
}
