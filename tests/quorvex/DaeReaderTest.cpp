// The document reader's building blocks: numbers, file references and
// polygon triangulation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "DaeFilePath.h"
#include "DaePolygonTriangulator.h"
#include "DaeTextParser.h"
#include "QuorvexTestSupport.h"

using Point = vmath::vec3<double>;

TEST(DaeTextParser, FloatsAsExportersWriteThem) {
    std::vector<float> values;
    const std::size_t bad = DaeTextParser::ParseFloats("  1 -2.5e-006\n+3\t34,693176 7E2\r\n", values, 100);
    EXPECT_EQ(bad, 0u);
    ASSERT_EQ(values.size(), 5u);
    EXPECT_FLOAT_EQ(values[0], 1.0f);
    EXPECT_FLOAT_EQ(values[1], -2.5e-6f);
    EXPECT_FLOAT_EQ(values[2], 3.0f);
    EXPECT_FLOAT_EQ(values[3], 34.693176f);  // comma as the decimal point
    EXPECT_FLOAT_EQ(values[4], 700.0f);
}

TEST(DaeTextParser, NonNumbersReadAsZeroAndAreCounted) {
    std::vector<float> values;
    const std::size_t bad = DaeTextParser::ParseFloats("1 abc 2 1.#QNAN 1e999", values, 100);
    EXPECT_EQ(bad, 2u);  // "abc" and the prefix-only "1.#QNAN"
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[1], 0.0f);
    EXPECT_EQ(values[3], 1.0f);  // the number in front is kept
    EXPECT_EQ(values[4], 0.0f);  // out of range
}

TEST(DaeTextParser, StopsAtTheCountAsked) {
    std::vector<float> values;
    DaeTextParser::ParseFloats("1 2 3 4", values, 2);
    EXPECT_EQ(values.size(), 2u);
    float fixed[4] = {9, 9, 9, 9};
    EXPECT_EQ(DaeTextParser::ParseFixed("0.5 0.25", fixed, 4), 2u);
    EXPECT_EQ(fixed[2], 9.0f);  // missing values stay as they were
}

TEST(DaeTextParser, IndicesOutsideTheUnsignedRangeAreMarked) {
    std::vector<std::uint32_t> values;
    DaeTextParser::ParseIndices("0 -1 4294967295 4294967294 12x +7 99999999999999999999", values, 100);
    const std::uint32_t bad = DaeTextParser::InvalidIndex;
    EXPECT_EQ(values, (std::vector<std::uint32_t>{0, bad, bad, 4294967294u, bad, 7, bad}));
}

TEST(DaeTextParser, CountsFallBackAndSaturate) {
    EXPECT_EQ(DaeTextParser::ParseCount(nullptr, 5, 100), 5u);
    EXPECT_EQ(DaeTextParser::ParseCount("-3", 5, 100), 5u);
    EXPECT_EQ(DaeTextParser::ParseCount(" 42 ", 5, 100), 42u);
    EXPECT_EQ(DaeTextParser::ParseCount("4000000000000000000000", 5, 100), 100u);
}

TEST(DaeFilePath, DecodesUrisAsExportersWriteThem) {
    struct Row {
        const char* uri;
        const char* path;
    } rows[] = {
        {"duck%20zaeCM.png", "duck zaeCM.png"},                   // escapes decoded
        {"file:///C:/textures/a.png", "C:/textures/a.png"},       // drive letter kept
        {"file:///home/me/a.png", "/home/me/a.png"},              // absolute
        {"file://localhost/home/me/a.png", "/home/me/a.png"},     // host dropped
        {"file://..\\LWO\\a.jpg", "..\\LWO\\a.jpg"},              // relative after the scheme
        {"FILE:textures/a.png", "textures/a.png"},                // scheme case ignored
        {"bad%zzescape%00.png", "bad%zzescape%00.png"},           // no invalid or null escapes
    };
    for (const Row& row : rows) EXPECT_EQ(DaeFilePath::DecodeUri(row.uri), row.path) << row.uri;
}

TEST(DaeFilePath, NormalizesSeparatorsAndDotSegments) {
    EXPECT_EQ(DaeFilePath::Normalize(".\\textures\\\\a.png"), "textures/a.png");
    EXPECT_EQ(DaeFilePath::Normalize("a/b/../c/./d.png"), "a/c/d.png");
    EXPECT_EQ(DaeFilePath::Normalize("../../x.png"), "../../x.png");  // stays relative to the document
    EXPECT_EQ(DaeFilePath::Normalize("/../x.png"), "/x.png");         // nothing above the root
    EXPECT_TRUE(DaeFilePath::IsAbsolute("C:/x.png"));
    EXPECT_FALSE(DaeFilePath::IsAbsolute("x/C:.png"));
}

TEST(DaeFilePath, FindsFilesIgnoringCase) {
    TempFolder folder;
    folder.Write("Textures/Wood.PNG", "x");
    const std::string root = folder.GetPath() + "/";
    EXPECT_EQ(DaeFilePath::FindExisting(root, "Textures/Wood.PNG"), root + "Textures/Wood.PNG");
    EXPECT_EQ(DaeFilePath::FindExisting(root, "textures/wood.png"), root + "Textures/Wood.PNG");
    EXPECT_EQ(DaeFilePath::FindExisting(root, "textures/stone.png"), "");
    EXPECT_EQ(DaeFilePath::FindExisting(root, "textures"), "");  // folders are no files
}

namespace {

double SignedArea(const std::vector<Point>& p, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return 0.5 * ((p[b].x - p[a].x) * (p[c].y - p[a].y) - (p[c].x - p[a].x) * (p[b].y - p[a].y));
}

/// Triangulates a polygon in the z = 0 plane; checks n - 2 triangles, each
/// wound like the outline, and returns the summed area.
double TriangulatedArea(const std::vector<Point>& points, std::vector<std::uint32_t>* out = nullptr) {
    DaePolygonTriangulator triangulator;
    std::vector<std::uint32_t> triangles;
    triangulator.Triangulate(points.data(), points.size(), triangles);
    EXPECT_EQ(triangles.size(), 3 * (points.size() - 2));
    double total = 0;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const double area = SignedArea(points, triangles[t], triangles[t + 1], triangles[t + 2]);
        EXPECT_GE(area, -1e-12) << "triangle " << t / 3 << " is wound backwards";
        total += area;
    }
    if (out) *out = triangles;
    return total;
}

}  // namespace

TEST(DaePolygonTriangulator, ConvexPolygonsBecomeFans) {
    std::vector<std::uint32_t> triangles;
    const double area = TriangulatedArea({{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 2, 0}, {-1, 1, 0}}, &triangles);
    EXPECT_EQ(triangles, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    EXPECT_NEAR(area, 5.0, 1e-9);
}

TEST(DaePolygonTriangulator, ConcavePolygonsAreCoveredExactly) {
    // An arrow head whose fan from corner 0 would reach outside the outline
    // (and count the notch twice, once backwards).
    EXPECT_NEAR(TriangulatedArea({{0, 0, 0}, {4, 2, 0}, {0, 4, 0}, {1, 2, 0}}), 6.0, 1e-9);
    // An L shape starting at its reflex corner.
    EXPECT_NEAR(TriangulatedArea({{1, 1, 0}, {1, 2, 0}, {0, 2, 0}, {0, 0, 0}, {2, 0, 0}, {2, 1, 0}}), 3.0, 1e-9);
}

TEST(DaePolygonTriangulator, OutlinesBridgedToAHoleKeepTheHoleOpen) {
    // A 4 x 4 square with a 2 x 2 hole, joined by a bridge that visits two
    // points twice, as exporters write polygons with holes.
    const std::vector<Point> outline = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0},
                                        {1, 1, 0}, {1, 3, 0}, {3, 3, 0}, {3, 1, 0}, {1, 1, 0}};
    EXPECT_NEAR(TriangulatedArea(outline), 12.0, 1e-9);
}

TEST(DaePolygonTriangulator, WorksInAnyPlaneAndForEitherWinding) {
    // The arrow head in the x-z plane, wound the other way round.
    const std::vector<Point> points = {{0, 0, 0}, {1, 0, 2}, {0, 0, 4}, {4, 0, 2}};
    DaePolygonTriangulator triangulator;
    std::vector<std::uint32_t> triangles;
    triangulator.Triangulate(points.data(), points.size(), triangles);
    ASSERT_EQ(triangles.size(), 6u);
    double area = 0;
    for (std::size_t t = 0; t < 6; t += 3) {
        const Point& a = points[triangles[t]];
        const Point& b = points[triangles[t + 1]];
        const Point& c = points[triangles[t + 2]];
        area += 0.5 * ((b.z - a.z) * (c.x - a.x) - (c.z - a.z) * (b.x - a.x));
    }
    EXPECT_NEAR(std::fabs(area), 6.0, 1e-9);
}

TEST(DaePolygonTriangulator, DegenerateOutlinesStillGiveNMinus2Triangles) {
    EXPECT_NEAR(TriangulatedArea({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}), 0.0, 1e-12);  // collinear
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DaePolygonTriangulator triangulator;
    std::vector<std::uint32_t> triangles;
    const std::vector<Point> broken = {{0, 0, 0}, {nan, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 0}};
    triangulator.Triangulate(broken.data(), broken.size(), triangles);
    EXPECT_EQ(triangles.size(), 9u);
    std::vector<Point> big(DaePolygonTriangulator::MaxEarClippingCorners + 1);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = Point(std::cos(i * 0.01), std::sin(i * 0.01) * (i % 2 ? 0.5 : 1.0), 0);
    triangles.clear();
    triangulator.Triangulate(big.data(), big.size(), triangles);
    EXPECT_EQ(triangles.size(), 3 * (big.size() - 2));
}

TEST(DaeTextParser, FastPathRoundsExactlyLikeFromChars) {
    // Every form exporters print, with random digits: the one-pass reader must
    // give the very float the general conversion gives.
    std::mt19937 random(42);
    const char* const formats[] = {"%.6g", "%.7f", "%.3e", "%.8g", "%.1f", "%.9g", "%.0f", "%.12f"};
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    char text[64];
    for (int i = 0; i < 200000; ++i) {
        const double number = mantissa(random) * std::pow(10.0, exponent(random));
        std::snprintf(text, sizeof(text), formats[i % std::size(formats)], number);
        std::vector<float> fast;
        ASSERT_EQ(DaeTextParser::ParseFloats(text, fast, 1), 0u) << text;
        float general = 0;
        ASSERT_TRUE(DaeTextParser::TokenToFloat(text, text + std::strlen(text), general)) << text;
        ASSERT_EQ(fast.size(), 1u);
        ASSERT_EQ(std::memcmp(&fast[0], &general, sizeof(float)), 0) << text << ": " << fast[0] << " vs " << general;
    }
    for (const char* odd : {".", "-", "+.", "e5", "1e", "--1", "0x10", "1.5.3", "0.", "-.5", "00.001", "-0"}) {
        std::vector<float> values;
        const std::size_t bad = DaeTextParser::ParseFloats(odd, values, 1);
        float general = 0;
        const bool number = DaeTextParser::TokenToFloat(odd, odd + std::strlen(odd), general);
        EXPECT_EQ(bad == 0, number) << odd;
        if (number) {
            EXPECT_EQ(values.at(0), general) << odd;
        }
    }
}
