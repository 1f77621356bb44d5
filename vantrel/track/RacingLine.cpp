#include "RacingLine.h"

#include <algorithm>
#include <cmath>

#include "RoadCentreLine.h"

Logger RacingLine::logger("RacingLine");

namespace {

/// The coarsest relaxation works on every 16th sample; each finer pass halves it.
const std::size_t CoarsestStride = 16;
/// Most sweeps at the finest stride; a coarser stride of k samples may take
/// sqrt(k) times as many, since its corrections spread over longer stretches.
const int FinestSweeps = 100;
/// A stride's sweeps end once no sample moves further than this (m).
const double SettledM = 3e-3;
/// The coarsest stride is used only while it leaves this many points on the loop.
const std::size_t MinNodes = 8;

struct Vec {
    double x, y;
};

Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double Length(Vec a) { return std::hypot(a.x, a.y); }

/// Signed curvature of the circle through a, b, c (1/m, positive turning left).
double Curvature(Vec a, Vec b, Vec c) {
    const double denominator = Length(Sub(b, a)) * Length(Sub(c, b)) * Length(Sub(c, a));
    return denominator > 1e-12 ? 2.0 * Cross(Sub(b, a), Sub(c, b)) / denominator : 0.0;
}

/// The offsets being relaxed, on the resampled centre line.
class Relaxation {
public:
    Relaxation(const std::vector<Vec>& centre, const std::vector<Vec>& normal, double band)
        : centre(centre), normal(normal), offset(centre.size(), 0.0), band(band) {}

    Vec At(std::size_t i) const {
        i %= centre.size();
        return {centre[i].x + offset[i] * normal[i].x, centre[i].y + offset[i] * normal[i].y};
    }

    /// One sweep over every `stride`-th sample.
    /// @return the largest sideways move it made (m)
    double Sweep(std::size_t stride) {
        const std::size_t n = centre.size();
        double largest = 0.0;
        for (std::size_t i = 0; i < n; i += stride) {
            const std::size_t prev = (i + n - stride) % n, next = (i + stride) % n;
            const Vec p = At(prev), q = At(i), r = At(next);
            const double kPrev = Curvature(At(prev + n - stride), p, q);
            const double kNext = Curvature(q, r, At(next + stride));
            const double lPrev = Length(Sub(q, p)), lNext = Length(Sub(r, q));
            if (lPrev + lNext <= 0.0) continue;
            const double before = offset[i];
            Adjust(i, p, r, (lNext * kPrev + lPrev * kNext) / (lPrev + lNext));
            largest = std::max(largest, std::fabs(offset[i] - before));
        }
        return largest;
    }

    /// Offsets between the samples of `stride`, straight across from one to the next.
    void Interpolate(std::size_t stride) {
        const std::size_t n = centre.size();
        for (std::size_t i = 0; i < n; i += stride) {
            const double a = offset[i], b = offset[(i + stride) % n];
            for (std::size_t k = 1; k < stride && i + k < n; ++k)
                offset[i + k] = a + (b - a) * static_cast<double>(k) / static_cast<double>(stride);
        }
    }

    const std::vector<double>& GetOffsets() const { return offset; }

private:
    /// Moves sample i across the road so that the circle through p, it and r
    /// has curvature `target`. Curvature is close to linear in the sideways
    /// shift from the chord p-r, so one step from the chord gets there.
    void Adjust(std::size_t i, Vec p, Vec r, double target) {
        const Vec chord = Sub(r, p);
        const double across = Cross(normal[i], chord);
        if (std::fabs(across) < 1e-9) return;
        // Where the sample's line across the road meets the chord.
        const double onChord = Cross(Sub(p, centre[i]), chord) / across;
        const double probe = 1e-3;
        const double shifted = onChord + probe;
        const Vec moved = {centre[i].x + shifted * normal[i].x, centre[i].y + shifted * normal[i].y};
        const double perMetre = Curvature(p, moved, r) / probe;
        if (std::fabs(perMetre) < 1e-12) return;
        offset[i] = std::clamp(onChord + target / perMetre, -band, band);
    }

    const std::vector<Vec>& centre;
    const std::vector<Vec>& normal;
    std::vector<double> offset;
    double band;
};

}  // namespace

bool RacingLine::Compute(const RoadCentreLine& road, double halfWidthM, double marginM, double stepM) {
    if (road.IsEmpty()) return Refuse("the road has no centre line");
    if (!(halfWidthM - marginM > 0.0) || !(marginM >= 0.0) || !std::isfinite(halfWidthM))
        return Refuse("the margins leave no road between them");
    if (!(stepM > 0.0) || !(road.GetLength() / stepM >= 16.0))
        return Refuse("the sample step leaves fewer than 16 samples round the loop");

    // An even number of the coarsest strides round the loop, where there is room for them.
    const double samples = road.GetLength() / stepM;
    std::size_t n = static_cast<std::size_t>(std::lround(samples));
    if (samples >= static_cast<double>(CoarsestStride * MinNodes))
        n = CoarsestStride * static_cast<std::size_t>(std::lround(samples / CoarsestStride));
    const double step = road.GetLength() / static_cast<double>(n);

    std::vector<Vec> centre(n), normal(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double s = step * static_cast<double>(i);
        const RoadCentreLine::Point c = road.At(s);
        const vmath::vec2<double> t = road.Tangent(s);
        centre[i] = {c.x, c.y};
        normal[i] = {-t.y, t.x};
    }

    Relaxation relaxation(centre, normal, halfWidthM - marginM);
    for (std::size_t stride = CoarsestStride; stride >= 1; stride /= 2) {
        if (n % stride != 0 || n / stride < MinNodes) continue;
        const int sweeps = static_cast<int>(FinestSweeps * std::sqrt(static_cast<double>(stride)));
        int k = 0;
        while (k < sweeps && relaxation.Sweep(stride) > SettledM) ++k;
        if (stride > 1) relaxation.Interpolate(stride);
    }

    points.assign(n, Point());
    const std::vector<double>& offset = relaxation.GetOffsets();
    for (std::size_t i = 0; i < n; ++i) {
        Point& p = points[i];
        const Vec at = relaxation.At(i);
        p.x = at.x;
        p.y = at.y;
        p.centreS = step * static_cast<double>(i);
        p.centreX = centre[i].x;
        p.centreY = centre[i].y;
        p.normalX = normal[i].x;
        p.normalY = normal[i].y;
        p.offset = offset[i];
    }
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        points[i].s = s;
        s += Length(Sub(relaxation.At(i + 1), relaxation.At(i)));
        // Over two samples each side: the samples' own wiggle stays out of it.
        points[i].curvature = Curvature(relaxation.At(i + n - 2), relaxation.At(i), relaxation.At(i + 2));
    }
    length = s;
    centreLength = road.GetLength();
    band = halfWidthM - marginM;
    roadHalfWidth = halfWidthM;
    return true;
}

bool RacingLine::Refuse(const char* why) {
    points.clear();
    length = centreLength = band = roadHalfWidth = 0.0;
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream() << "no racing line: " << why;
    return false;
}

std::vector<double> RacingLine::SpeedProfile(const Limits& limits) const {
    if (points.empty() || !(limits.lateralMs2 > 0.0) || !(limits.brakingMs2 > 0.0) ||
        !(limits.accelerationMs2 > 0.0) || !(limits.topSpeedMs > 0.0))
        return {};
    const std::size_t n = points.size();
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double k = std::fabs(points[i].curvature);
        v[i] = k > 0.0 ? std::min(limits.topSpeedMs, std::sqrt(limits.lateralMs2 / k)) : limits.topSpeedMs;
    }
    auto spacing = [this, n](std::size_t i) {
        const double next = i + 1 < n ? points[i + 1].s : length;
        return next - points[i].s;
    };
    // Twice round the loop each way: the second round carries the limits
    // across the start line.
    for (std::size_t j = 0; j < 2 * n; ++j) {
        const std::size_t i = n - 1 - j % n;
        const double next = v[(i + 1) % n];
        v[i] = std::min(v[i], std::sqrt(next * next + 2.0 * limits.brakingMs2 * spacing(i)));
    }
    for (std::size_t j = 0; j < 2 * n; ++j) {
        const std::size_t i = j % n;
        double& next = v[(i + 1) % n];
        next = std::min(next, std::sqrt(v[i] * v[i] + 2.0 * limits.accelerationMs2 * spacing(i)));
    }
    return v;
}

std::size_t RacingLine::Nearest(double x, double y, std::size_t hint) const {
    const std::size_t n = points.size();
    if (n == 0) return 0;
    const std::size_t back = std::min<std::size_t>(20, n), window = std::min<std::size_t>(100, n);
    std::size_t best = hint % n;
    double bestDistance2 = INFINITY;
    for (std::size_t k = 0; k < window; ++k) {
        const std::size_t i = (hint % n + n - back + k) % n;
        const double dx = points[i].x - x, dy = points[i].y - y;
        if (dx * dx + dy * dy < bestDistance2) {
            bestDistance2 = dx * dx + dy * dy;
            best = i;
        }
    }
    return best;
}

std::size_t RacingLine::NearestAnywhere(double x, double y) const {
    std::size_t best = 0;
    double bestDistance2 = INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double dx = points[i].x - x, dy = points[i].y - y;
        if (dx * dx + dy * dy < bestDistance2) {
            bestDistance2 = dx * dx + dy * dy;
            best = i;
        }
    }
    return best;
}

double RacingLine::RoomLeft(std::size_t index) const {
    return points.empty() ? 0.0 : std::max(0.0, band - GetPoint(index).offset);
}

double RacingLine::RoomRight(std::size_t index) const {
    return points.empty() ? 0.0 : std::max(0.0, band + GetPoint(index).offset);
}

RacingLine::Point RacingLine::Offset(std::size_t index, double lateralM) const {
    if (points.empty()) return Point();
    Point p = GetPoint(index);
    p.offset = std::clamp(p.offset + lateralM, -band, band);
    p.x = p.centreX + p.offset * p.normalX;
    p.y = p.centreY + p.offset * p.normalY;
    return p;
}

double RacingLine::CentreOffsetOf(std::size_t index, double x, double y) const {
    if (points.empty()) return 0.0;
    const Point& p = GetPoint(index);
    return (x - p.centreX) * p.normalX + (y - p.centreY) * p.normalY;
}
