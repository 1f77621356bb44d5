#include "RoadCentreLine.h"

#include <cmath>

namespace {

// The layout's waypoints (m), as in tools/assets/lib/trackdesign.py.
const double Waypoints[][2] = {
    {0.0, 0.0},        {0.0, 110.0},     {-45.0, 215.0},   {-170.0, 250.0},  {-300.0, 185.0},  {-388.0, 90.0},
    {-480.0, 20.0},    {-610.0, 25.0},   {-710.0, 140.0},  {-760.0, 420.0},  {-790.0, 800.0},  {-900.0, 1200.0},
    {-1080.0, 1560.0}, {-1156.0, 1884.0}, {-1070.0, 2080.0}, {-860.0, 2110.0}, {-500.0, 2000.0}, {-120.0, 1860.0},
    {300.0, 1700.0},   {757.0, 1454.0},  {1050.0, 1180.0}, {1190.0, 800.0},  {1100.0, 380.0},  {1090.0, 20.0},
    {1163.0, -333.0},  {1290.0, -760.0}, {1270.0, -1250.0}, {1150.0, -1620.0}, {1169.0, -1933.0}, {1110.0, -2220.0},
    {860.0, -2390.0},  {480.0, -2300.0}, {180.0, -1950.0}, {30.0, -1400.0},  {0.0, -800.0},    {0.0, -380.0},
    {0.0, -140.0},
};
const int SamplesPerSegment = 100;

// Solves a x = b in place by Gaussian elimination with partial pivoting.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b) {
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k < n; ++k) a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t r = n; r-- > 0;) {
        double sum = b[r];
        for (std::size_t k = r + 1; k < n; ++k) sum -= a[r][k] * x[k];
        x[r] = sum / a[r][r];
    }
    return x;
}

}  // namespace

RoadCentreLine::RoadCentreLine() {
    const std::size_t n = sizeof Waypoints / sizeof Waypoints[0];
    std::vector<double> h(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        h[i] = std::hypot(Waypoints[j][0] - Waypoints[i][0], Waypoints[j][1] - Waypoints[i][1]);
    }
    // Periodic cubic spline on chord length: second derivatives per knot.
    std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t prev = (i + n - 1) % n;
        a[i][prev] = h[prev];
        a[i][i] = 2.0 * (h[prev] + h[i]);
        a[i][(i + 1) % n] = h[i];
    }
    std::vector<double> coords[2];
    for (int dim = 0; dim < 2; ++dim) {
        std::vector<double> d(n), rhs(n);
        for (std::size_t i = 0; i < n; ++i) d[i] = (Waypoints[(i + 1) % n][dim] - Waypoints[i][dim]) / h[i];
        for (std::size_t i = 0; i < n; ++i) rhs[i] = 6.0 * (d[i] - d[(i + n - 1) % n]);
        const std::vector<double> m = Solve(a, rhs);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t i2 = (i + 1) % n;
            const double c3 = (m[i2] - m[i]) / (6.0 * h[i]), c2 = m[i] / 2.0,
                         c1 = d[i] - h[i] * (2.0 * m[i] + m[i2]) / 6.0;
            for (int k = 0; k < SamplesPerSegment; ++k) {
                const double t = h[i] * k / SamplesPerSegment;
                coords[dim].push_back(Waypoints[i][dim] + c1 * t + c2 * t * t + c3 * t * t * t);
            }
        }
    }
    double s = 0.0;
    for (std::size_t i = 0; i < coords[0].size(); ++i) {
        if (i > 0) s += std::hypot(coords[0][i] - coords[0][i - 1], coords[1][i] - coords[1][i - 1]);
        points.push_back({coords[0][i], coords[1][i], s});
    }
    length = s + std::hypot(coords[0].front() - coords[0].back(), coords[1].front() - coords[1].back());
}

RoadCentreLine::Point RoadCentreLine::At(double s) const {
    s = std::fmod(s, length);
    if (s < 0) s += length;
    // Binary search for the segment holding s.
    std::size_t lo = 0, hi = points.size();
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (points[mid].s <= s) lo = mid; else hi = mid;
    }
    const Point& p = points[lo];
    const Point& q = points[(lo + 1) % points.size()];
    const double span = (lo + 1 < points.size() ? q.s : length) - p.s;
    const double f = span > 0 ? (s - p.s) / span : 0.0;
    return {p.x + (q.x - p.x) * f, p.y + (q.y - p.y) * f, s};
}

double RoadCentreLine::Curvature(double s) const {
    const double ds = 4.0;
    const Point a = At(s - ds - 0.5), b = At(s - ds + 0.5), c = At(s + ds - 0.5), d = At(s + ds + 0.5);
    const double t0 = std::atan2(b.y - a.y, b.x - a.x), t1 = std::atan2(d.y - c.y, d.x - c.x);
    return std::remainder(t1 - t0, 2.0 * M_PI) / (2.0 * ds);
}

std::size_t RoadCentreLine::Nearest(double x, double y, std::size_t hint) const {
    const std::size_t n = points.size();
    std::size_t best = hint % n;
    double bestD = 1e300;
    for (std::size_t k = 0; k < 400; ++k) {
        const std::size_t i = (hint + n - 50 + k) % n;
        const double d = std::hypot(points[i].x - x, points[i].y - y);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}
