// Positions and gaps of a race with several cars, from scripted placements,
// and the distance along a road that carries on from lap to lap.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "race/Standings.h"
#include "track/RoadCentreLine.h"
#include "track/RoadProgress.h"

namespace {

// Racers 0 .. 2 in grid order: 0 at the front.
Standings GridOfThree() {
    Standings standings;
    standings.Reset(3, {-6.0, -10.0, -14.0});
    return standings;
}

}  // namespace

TEST(Standings, PositionsFollowDistanceTiesKeepTheGridAndFinishersLeadByTime) {
    Standings s = GridOfThree();
    EXPECT_EQ(s.Order(), (std::vector<std::size_t>{0, 1, 2}));

    // Racer 2 passes both; 0 and 1 side by side keep their grid order.
    s.Update(0, 100.0, 5.0);
    s.Update(1, 100.0, 5.0);
    s.Update(2, 120.0, 5.0);
    EXPECT_EQ(s.Order(), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(s.PositionOf(2), 1u);
    EXPECT_EQ(s.PositionOf(1), 3u);
    EXPECT_EQ(s.PositionOf(7), 0u) << "no such racer";

    // A recovery puts racer 2 back behind the spot it left the road: it
    // drops back, its path so far kept.
    s.Update(2, 90.0, 6.0);
    EXPECT_EQ(s.Order(), (std::vector<std::size_t>{0, 1, 2}));

    // Finishers rank by time ahead of anyone still running, however far.
    s.Finish(1, 60.0);
    s.Update(0, 5000.0, 61.0);
    s.Finish(2, 59.0);
    EXPECT_EQ(s.Order(), (std::vector<std::size_t>{2, 1, 0}));
    // A finisher stays where it crossed the line.
    s.Update(2, 10.0, 62.0);
    s.Finish(2, 70.0);
    EXPECT_EQ(s.GetFinishS(2), 59.0);
    EXPECT_EQ(s.PositionOf(2), 1u);
}

TEST(Standings, GapsAreHowLongAgoTheCarAheadWasWhereTheOneBehindIsNow) {
    Standings s;
    s.Reset(2, {0.0, 0.0});
    // Racer 0 at 20 m/s, racer 1 at 10 m/s, sampled every 0.1 s.
    for (int frame = 1; frame <= 100; ++frame) {
        const double t = 0.1 * frame;
        s.Update(0, 20.0 * t, t);
        s.Update(1, 10.0 * t, t);
    }
    // At 10 s racer 1 is at 100 m, where racer 0 was at 5 s.
    ASSERT_TRUE(s.GapS(1, 0, 10.0).has_value());
    EXPECT_NEAR(*s.GapS(1, 0, 10.0), 5.0, 0.11);
    // The leader trails nobody; unknown racers have no gap.
    EXPECT_FALSE(s.GapS(0, 1, 10.0).has_value());
    EXPECT_FALSE(s.GapS(0, 5, 10.0).has_value());
    // Between two finishers the gap is the difference of their times.
    s.Finish(0, 10.0);
    s.Finish(1, 14.5);
    EXPECT_DOUBLE_EQ(*s.GapS(1, 0, 20.0), 4.5);
}

TEST(Standings, BadReportsChangeNothing) {
    Standings s = GridOfThree();
    s.Update(0, NAN, 1.0);
    s.Update(1, 50.0, INFINITY);
    s.Update(9, 500.0, 1.0);
    EXPECT_EQ(s.Order(), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_DOUBLE_EQ(s.GetDistanceM(0), -6.0);
}

TEST(RoadProgress, CountsOnAcrossTheStartLineBothWaysAndStartsBehindItNegative) {
    // A square loop of 400 m, starting at (0, 0) heading +y.
    std::ostringstream text;
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 100; ++i) points.push_back({0.0, i * 1.0});
    for (int i = 0; i < 100; ++i) points.push_back({-i * 1.0, 100.0});
    for (int i = 0; i < 100; ++i) points.push_back({-100.0, 100.0 - i});
    for (int i = 0; i < 100; ++i) points.push_back({-100.0 + i, 0.0});
    text << "vantrel-road 1 " << points.size() << "\n";
    for (const auto& p : points) text << p.first << " " << p.second << "\n";
    std::istringstream in(text.str());
    RoadCentreLine road;
    ASSERT_TRUE(road.Parse(in, "square"));
    ASSERT_NEAR(road.GetLength(), 400.0, 1e-6);

    // On the grid: 8 m behind the start line, on the side that leads to it
    // (heading +x), 2 m right of the centre.
    RoadProgress progress;
    progress.Start(road, -8.0, -2.0);
    EXPECT_NEAR(progress.GetDistanceM(), -8.0, 0.01);
    EXPECT_NEAR(progress.GetOffsetM(), -2.0, 0.01);

    // Round the loop once and on, a few metres a frame.
    double last = progress.GetDistanceM();
    for (double d = -5.0; d <= 420.0; d += 3.0) {
        const double s = std::fmod(d + 400.0, 400.0);
        double x = 0.0, y = 0.0;
        if (s < 100.0) { x = 0.0; y = s; }
        else if (s < 200.0) { x = -(s - 100.0); y = 100.0; }
        else if (s < 300.0) { x = -100.0; y = 100.0 - (s - 200.0); }
        else { x = -100.0 + (s - 300.0); y = 0.0; }
        progress.Update(road, x, y);
        EXPECT_GE(progress.GetDistanceM(), last - 1.5) << "at " << d;
        last = progress.GetDistanceM();
    }
    EXPECT_NEAR(progress.GetDistanceM(), 418.0, 1.5);
    // Driven back over the line the wrong way, the lap is taken back.
    progress.Update(road, 0.0, 5.0);
    progress.Update(road, -5.0, 0.0);
    EXPECT_NEAR(progress.GetDistanceM(), 395.0, 1.5);
}
