// The racing line: on a made-up loop whose best line is known in shape, on
// the game's own road, and on roads it cannot use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/RacingDriver.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"

namespace {

const double Pi = 3.14159265358979;
const double RoadHalfWidthM = 5.5;

/// A road's centre-line file text: a square of `sideM` straights joined by
/// quarter circles of `radiusM`, anticlockwise, a point every 2 m.
std::string RoundedSquare(double sideM, double radiusM) {
    std::vector<double> xs, ys;
    double heading = 0.0;  // along +x first
    double x = 0.0, y = -radiusM;
    for (int side = 0; side < 4; ++side) {
        for (double d = 0.0; d < sideM - 1e-9; d += 2.0) {
            xs.push_back(x + d * std::cos(heading));
            ys.push_back(y + d * std::sin(heading));
        }
        x += sideM * std::cos(heading);
        y += sideM * std::sin(heading);
        const double cx = x - radiusM * std::sin(heading), cy = y + radiusM * std::cos(heading);
        const int steps = static_cast<int>(std::lround(radiusM * Pi / 2.0 / 2.0));
        for (int i = 0; i < steps; ++i) {
            const double a = heading - Pi / 2.0 + (Pi / 2.0) * i / steps;
            xs.push_back(cx + radiusM * std::cos(a));
            ys.push_back(cy + radiusM * std::sin(a));
        }
        heading += Pi / 2.0;
        x = cx + radiusM * std::cos(heading - Pi / 2.0);
        y = cy + radiusM * std::sin(heading - Pi / 2.0);
    }
    std::ostringstream text;
    text << "vantrel-road 1 " << xs.size() << "\n";
    for (std::size_t i = 0; i < xs.size(); ++i) text << xs[i] << " " << ys[i] << "\n";
    return text.str();
}

/// Distance from the point to the road's centre line (m).
double FromCentre(const RoadCentreLine& road, double x, double y) {
    const RoadCentreLine::Point foot = road.At(road.Project(x, y));
    return std::hypot(foot.x - x, foot.y - y);
}

/// Length of the line from point i to the next (m).
double Spacing(const RacingLine& line, std::size_t i) {
    const double next = i + 1 < line.GetPointCount() ? line.GetPoint(i + 1).s : line.GetLength();
    return next - line.GetPoint(i).s;
}

/// The profile within its limits: no faster than the bend or the car
/// allows, never braking or speeding up harder than it may.
void ExpectProfileWithin(const RacingLine& line, const RacingLine::Limits& limits) {
    const std::vector<double> v = line.SpeedProfile(limits);
    ASSERT_EQ(v.size(), line.GetPointCount());
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        const double k = std::fabs(line.GetPoint(i).curvature);
        ASSERT_GT(v[i], 0.0);
        EXPECT_LE(v[i], limits.topSpeedMs + 1e-9);
        EXPECT_LE(v[i] * v[i] * k, limits.lateralMs2 * (1.0 + 1e-9));
        const double next = v[(i + 1) % n], ds = Spacing(line, i);
        // Braking from here to the next point, and speeding up to it.
        EXPECT_LE((v[i] * v[i] - next * next) / (2.0 * ds), limits.brakingMs2 * (1.0 + 1e-9));
        EXPECT_LE((next * next - v[i] * v[i]) / (2.0 * ds), limits.accelerationMs2 * (1.0 + 1e-9));
    }
}

}  // namespace

TEST(RacingLineTest, CutsTheBendsOfARoundedSquareFromOutsideToApexWithinTheBand) {
    RoadCentreLine road;
    std::istringstream text(RoundedSquare(200.0, 25.0));
    ASSERT_TRUE(road.Parse(text, "square"));
    RacingLine line;
    ASSERT_TRUE(line.Compute(road, RoadHalfWidthM, 1.0, 2.0));
    const double band = RoadHalfWidthM - 1.0;
    EXPECT_DOUBLE_EQ(line.GetBandHalfWidth(), band);
    EXPECT_DOUBLE_EQ(line.GetCentreLength(), road.GetLength());
    // Cutting the bends shortens the loop.
    EXPECT_LT(line.GetLength(), road.GetLength());

    double peak = 0.0;
    for (std::size_t i = 0; i < line.GetPointCount(); ++i) {
        const RacingLine::Point& p = line.GetPoint(i);
        ASSERT_LE(std::fabs(p.offset), band + 1e-9) << i;
        ASSERT_LE(FromCentre(road, p.x, p.y), band + 0.05) << i;
        peak = std::max(peak, std::fabs(p.curvature));
    }
    // A 90 degree bend of 25 m, entered from the outside through the apex
    // and out again: its tightest radius grows by half, to about 38 m (the
    // curvature rises steadily to the apex rather than staying at its
    // least, so not to the 51 m of the widest single arc).
    EXPECT_LT(peak, 1.0 / 36.0);
    EXPECT_GT(peak, 1.0 / 51.0);

    // Mid-bend the line touches the inside (left, the loop turns left), and
    // half way along each straight it keeps to the outside, between two bends.
    const double lap = road.GetLength(), quarter = lap / 4.0;
    const double straight = 200.0, bend = 25.0 * Pi / 2.0;
    for (int side = 0; side < 4; ++side) {
        SCOPED_TRACE(side);
        const double apexS = side * quarter + straight + bend / 2.0, midS = side * quarter + straight / 2.0;
        const RacingLine::Point& apex = line.GetPoint(line.NearestAnywhere(road.At(apexS).x, road.At(apexS).y));
        const RacingLine::Point& mid = line.GetPoint(line.NearestAnywhere(road.At(midS).x, road.At(midS).y));
        EXPECT_GT(apex.offset, band - 0.3);
        EXPECT_LT(mid.offset, -band + 0.3);
        EXPECT_NEAR(apex.centreS, apexS, 6.0);
    }

    // Fast on the straights, slow through the bends, and within the limits.
    RacingLine::Limits limits;
    limits.lateralMs2 = 10.0;
    limits.brakingMs2 = 8.0;
    limits.accelerationMs2 = 4.0;
    limits.topSpeedMs = 32.0;
    ExpectProfileWithin(line, limits);
    const std::vector<double> v = line.SpeedProfile(limits);
    const double slowest = *std::min_element(v.begin(), v.end());
    EXPECT_NEAR(slowest, std::sqrt(limits.lateralMs2 / peak), 0.01);
    EXPECT_DOUBLE_EQ(*std::max_element(v.begin(), v.end()), limits.topSpeedMs);
    // Braking for the first bend starts on the straight before it.
    const std::size_t before = line.NearestAnywhere(road.At(straight - 20.0).x, road.At(straight - 20.0).y);
    EXPECT_LT(v[before], limits.topSpeedMs);
    EXPECT_GT(v[before], slowest);
    // Limits it cannot plan with give no profile.
    limits.brakingMs2 = 0.0;
    EXPECT_TRUE(line.SpeedProfile(limits).empty());

    // Sideways: the room either side adds up to the band, and an offset line
    // stops at its edge.
    for (std::size_t i = 0; i < line.GetPointCount(); i += 37) {
        EXPECT_NEAR(line.RoomLeft(i) + line.RoomRight(i), 2.0 * band, 1e-9);
        EXPECT_NEAR(line.Offset(i, 20.0).offset, band, 1e-9);
        EXPECT_NEAR(line.Offset(i, -20.0).offset, -band, 1e-9);
        const RacingLine::Point beside = line.Offset(i, -1.5);
        if (line.RoomRight(i) >= 1.5) {
            EXPECT_NEAR(std::hypot(beside.x - line.GetPoint(i).x, beside.y - line.GetPoint(i).y), 1.5, 1e-9);
            EXPECT_NEAR(line.CentreOffsetOf(i, beside.x, beside.y), line.GetPoint(i).offset - 1.5, 1e-9);
        }
        // A driver's search from a nearby hint finds what the whole-loop search finds.
        EXPECT_EQ(line.Nearest(beside.x, beside.y, i + line.GetPointCount() - 5),
                  line.NearestAnywhere(beside.x, beside.y));
    }
}

TEST(RacingLineTest, GreenValleysLineKeepsAMetreFromTheEdgesAndBendsLessThanTheCentreLine) {
    RoadCentreLine road;
    if (!road.Load(GREEN_VALLEY_ROAD)) GTEST_SKIP() << "no road file: " << GREEN_VALLEY_ROAD;
    RacingLine line;
    ASSERT_TRUE(line.Compute(road, RoadHalfWidthM));
    const double band = RoadHalfWidthM - 1.0;
    EXPECT_NEAR(line.GetLength(), road.GetLength(), 0.01 * road.GetLength());

    // Summed squared and peak curvature, of the line and of the centre line at the same places.
    double lineSum = 0.0, linePeak = 0.0, centreSum = 0.0, centrePeak = 0.0, widest = 0.0;
    for (std::size_t i = 0; i < line.GetPointCount(); ++i) {
        const RacingLine::Point& p = line.GetPoint(i);
        const double fromCentre = FromCentre(road, p.x, p.y);
        ASSERT_LE(fromCentre, band + 0.05) << "at " << p.centreS << " m";
        widest = std::max(widest, fromCentre);
        const double ds = Spacing(line, i);
        ASSERT_GT(ds, 0.0);
        ASSERT_LT(ds, 1.5 * RacingLine::DefaultStepM) << "at " << p.centreS << " m";
        const double k = road.Curvature(p.centreS);
        lineSum += p.curvature * p.curvature * ds;
        centreSum += k * k * ds;
        linePeak = std::max(linePeak, std::fabs(p.curvature));
        centrePeak = std::max(centrePeak, std::fabs(k));
    }
    // It uses the road's width, and with it bends less.
    EXPECT_GT(widest, band - 0.05);
    EXPECT_LT(linePeak, 0.95 * centrePeak);
    EXPECT_LT(lineSum, 0.98 * centreSum);
    RecordProperty("PeakCurvatureRatio", std::to_string(linePeak / centrePeak));
    RecordProperty("SummedCurvatureRatio", std::to_string(lineSum / centreSum));

    // The speed profiles the game's drivers plan with, for both cars.
    for (unsigned carIndex : {0u, 1u}) ExpectProfileWithin(line, RacingDriver::CarLimits(carIndex));
}

TEST(RacingLineTest, RoadsItCannotUseAreRefusedWithOneWarningAndLeaveItEmpty) {
    RoadCentreLine road;
    std::istringstream text(RoundedSquare(200.0, 25.0));
    ASSERT_TRUE(road.Parse(text, "square"));
    RacingLine line;
    ASSERT_TRUE(line.Compute(road, RoadHalfWidthM));
    ASSERT_FALSE(line.IsEmpty());

    struct Case {
        const char* what;
        bool emptyRoad;
        double halfWidthM, marginM, stepM;
        const char* says;
    };
    const Case cases[] = {
        // A road that did not load.
        {"empty road", true, RoadHalfWidthM, 1.0, 3.0, "the road has no centre line"},
        // Margins as wide as the road.
        {"no band", false, RoadHalfWidthM, RoadHalfWidthM, 3.0, "the margins leave no road between them"},
        {"negative margin", false, RoadHalfWidthM, -1.0, 3.0, "the margins leave no road between them"},
        {"width not a number", false, NAN, 1.0, 3.0, "the margins leave no road between them"},
        // A step as long as a side of the loop.
        {"step too long", false, RoadHalfWidthM, 1.0, 200.0, "fewer than 16 samples"},
        {"no step", false, RoadHalfWidthM, 1.0, 0.0, "fewer than 16 samples"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStdout();
        const bool computed = line.Compute(c.emptyRoad ? RoadCentreLine() : road, c.halfWidthM, c.marginM, c.stepM);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(computed);
        EXPECT_TRUE(line.IsEmpty());
        EXPECT_EQ(line.GetLength(), 0.0);
        EXPECT_TRUE(line.SpeedProfile(RacingLine::Limits()).empty());
        EXPECT_EQ(line.Nearest(0.0, 0.0, 7), 0u);
        EXPECT_NE(output.find("RacingLine - no racing line: "), std::string::npos) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        // A good road afterwards gets its line again.
        ASSERT_TRUE(line.Compute(road, RoadHalfWidthM));
    }
}
