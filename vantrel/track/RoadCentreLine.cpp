#include "RoadCentreLine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <zlib.h>

Logger RoadCentreLine::logger("RoadCentreLine");

namespace {

const char* const Magic = "vantrel-road";
const int Version = 1;
// Coordinates beyond this are not a track's (m); it also keeps every sum finite.
const double MaxCoordinate = 1.0e6;

}  // namespace

bool RoadCentreLine::Load(const std::string& path) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error) return Refuse(path, "cannot be read (" + error.message() + ")");
    if (bytes > MaxFileBytes) return Refuse(path, "is larger than " + std::to_string(MaxFileBytes) + " bytes");
    std::ifstream in(path, std::ios::binary);
    if (!in) return Refuse(path, "cannot be opened");
    return Parse(in, path);
}

bool RoadCentreLine::Load(const std::string& path, std::string& why) {
    why.clear();
    refusal = &why;
    const bool loaded = Load(path);
    refusal = nullptr;
    return loaded;
}

bool RoadCentreLine::Parse(std::istream& in, const std::string& name) {
    std::string line;
    std::string magic;
    int version = 0;
    long long count = 0;
    std::getline(in, line);
    std::istringstream header(line);
    if (!(header >> magic >> version >> count) || magic != Magic)
        return Refuse(name, "does not begin with \"" + std::string(Magic) + " VERSION COUNT\"");
    if (version != Version) return Refuse(name, "has format version " + std::to_string(version) + ", not 1");
    if (count < 3 || count > static_cast<long long>(MaxPoints))
        return Refuse(name, "announces " + std::to_string(count) + " points, not 3 to " + std::to_string(MaxPoints));

    std::vector<Point> read;
    read.reserve(static_cast<std::size_t>(count));
    for (long long i = 0; i < count; ++i) {
        const std::string where = "line " + std::to_string(i + 2);
        if (!std::getline(in, line)) return Refuse(name, "ends after " + std::to_string(i) + " of its points");
        std::istringstream fields(line);
        Point p;
        std::string rest;
        if (!(fields >> p.x >> p.y) || (fields >> rest))
            return Refuse(name, where + " is not two numbers \"x y\"");
        if (!(std::fabs(p.x) <= MaxCoordinate && std::fabs(p.y) <= MaxCoordinate))
            return Refuse(name, where + " lies beyond " + std::to_string(static_cast<int>(MaxCoordinate)) + " m");
        read.push_back(p);
    }
    while (std::getline(in, line))
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            return Refuse(name, "holds more than its " + std::to_string(count) + " points");

    return Build(std::move(read), name);
}

RoadCentreLine RoadCentreLine::Reversed() const {
    RoadCentreLine reversed;
    if (points.empty()) return reversed;
    // The same start line, then the loop the other way round.
    std::vector<Point> walked{points.front()};
    for (std::size_t i = points.size() - 1; i > 0; --i) walked.push_back(points[i]);
    reversed.Build(std::move(walked), "the reversed centre line");
    return reversed;
}

bool RoadCentreLine::Build(std::vector<Point> read, const std::string& name) {
    // Arc lengths; a segment of no length would leave the road without a direction there.
    double s = 0.0;
    for (std::size_t i = 0; i < read.size(); ++i) {
        read[i].s = s;
        const Point& next = read[(i + 1) % read.size()];
        const double step = std::hypot(next.x - read[i].x, next.y - read[i].y);
        if (!(step > 1.0e-6)) return Refuse(name, "repeats the point of line " + std::to_string(i + 2));
        s += step;
    }
    points = std::move(read);
    length = s;
    runs.clear();
    for (std::size_t first = 0; first < points.size(); first += RunLength) {
        const std::size_t end = std::min(first + RunLength, points.size());
        Run run;
        run.first = first;
        // The circle round the run's points (its last segment ends on the next run's first).
        for (std::size_t i = first; i <= end; ++i) {
            run.x += GetPoint(i).x;
            run.y += GetPoint(i).y;
        }
        run.x /= static_cast<double>(end - first + 1);
        run.y /= static_cast<double>(end - first + 1);
        for (std::size_t i = first; i <= end; ++i)
            run.radius = std::max(run.radius, std::hypot(GetPoint(i).x - run.x, GetPoint(i).y - run.y));
        runs.push_back(run);
    }
    lower = upper = vmath::vec2<double>(points[0].x, points[0].y);
    for (const Point& p : points) {
        lower = vmath::vec2<double>(std::min(lower.x, p.x), std::min(lower.y, p.y));
        upper = vmath::vec2<double>(std::max(upper.x, p.x), std::max(upper.y, p.y));
    }
    checksum = ChecksumOf(points);
    return true;
}

std::uint32_t RoadCentreLine::ChecksumOf(const std::vector<Point>& points) {
    // Whole millimetres, little-endian: the same file gives the same sum
    // on every machine, whatever its last digit of a double does.
    uLong crc = crc32_z(0L, Z_NULL, 0);
    for (const Point& p : points)
        for (const double value : {p.x, p.y}) {
            const auto mm = static_cast<std::int32_t>(std::llround(value * 1000.0));
            const auto bits = static_cast<std::uint32_t>(mm);
            const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                            static_cast<unsigned char>(bits >> 16),
                                            static_cast<unsigned char>(bits >> 24)};
            crc = crc32_z(crc, bytes, sizeof bytes);
        }
    return static_cast<std::uint32_t>(crc);
}

bool RoadCentreLine::Refuse(const std::string& name, const std::string& why) {
    points.clear();
    runs.clear();
    length = 0.0;
    checksum = 0;
    lower = upper = vmath::vec2<double>(0.0, 0.0);
    if (refusal)
        *refusal = why;
    else if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream() << name << " " << why << "; the race goes without map and recovery";
    return false;
}

RoadCentreLine::Point RoadCentreLine::At(double s) const {
    if (points.empty()) return Point();
    s = std::fmod(s, length);
    if (s < 0.0) s += length;
    // The last point whose arc length is not above s starts the segment.
    const auto after = std::upper_bound(points.begin(), points.end(), s,
                                        [](double value, const Point& p) { return value < p.s; });
    const std::size_t i = static_cast<std::size_t>(after - points.begin()) - 1;
    const Point& p = points[i];
    const Point& q = GetPoint(i + 1);
    const double span = (i + 1 < points.size() ? q.s : length) - p.s;
    const double f = (s - p.s) / span;
    return {p.x + (q.x - p.x) * f, p.y + (q.y - p.y) * f, s};
}

vmath::vec2<double> RoadCentreLine::Tangent(double s) const {
    const Point a = At(s - 1.0), b = At(s + 1.0);
    const double d = std::hypot(b.x - a.x, b.y - a.y);
    return d > 0.0 ? vmath::vec2<double>((b.x - a.x) / d, (b.y - a.y) / d) : vmath::vec2<double>(0.0, 1.0);
}

double RoadCentreLine::Curvature(double s) const {
    // Directions 1 m long, 8 m apart: over a few of the file's segments.
    const double ds = 4.0;
    const Point a = At(s - ds - 0.5), b = At(s - ds + 0.5), c = At(s + ds - 0.5), d = At(s + ds + 0.5);
    const double t0 = std::atan2(b.y - a.y, b.x - a.x), t1 = std::atan2(d.y - c.y, d.x - c.x);
    return std::remainder(t1 - t0, 2.0 * M_PI) / (2.0 * ds);
}

double RoadCentreLine::Project(double x, double y) const {
    if (runs.empty()) return 0.0;
    // The run that may come nearest first, then every other run that still may.
    auto gap = [x, y](const Run& run) { return std::hypot(run.x - x, run.y - y) - run.radius; };
    const Run* closest = &runs[0];
    double closestGap = gap(runs[0]);
    for (const Run& run : runs) {
        const double g = gap(run);
        if (g < closestGap) {
            closest = &run;
            closestGap = g;
        }
    }
    double best = 0.0, bestDistance2 = INFINITY;
    ProjectOnRun(*closest, x, y, bestDistance2, best);
    for (const Run& run : runs) {
        const double g = gap(run);
        if (&run != closest && (g <= 0.0 || g * g < bestDistance2)) ProjectOnRun(run, x, y, bestDistance2, best);
    }
    return best < length ? best : 0.0;
}

void RoadCentreLine::ProjectOnRun(const Run& run, double x, double y, double& bestDistance2, double& best) const {
    const std::size_t end = std::min(run.first + RunLength, points.size());
    for (std::size_t i = run.first; i < end; ++i) {
        const Point& p = points[i];
        const Point& q = GetPoint(i + 1);
        const double ex = q.x - p.x, ey = q.y - p.y;
        const double t = std::clamp(((x - p.x) * ex + (y - p.y) * ey) / (ex * ex + ey * ey), 0.0, 1.0);
        const double dx = p.x + t * ex - x, dy = p.y + t * ey - y;
        const double distance2 = dx * dx + dy * dy;
        if (distance2 < bestDistance2) {
            bestDistance2 = distance2;
            best = p.s + t * std::sqrt(ex * ex + ey * ey);
        }
    }
}

std::size_t RoadCentreLine::Nearest(double x, double y, std::size_t hint) const {
    const std::size_t n = points.size();
    if (n == 0) return 0;
    const std::size_t back = std::min<std::size_t>(50, n), window = std::min<std::size_t>(400, n);
    std::size_t best = hint % n;
    double bestDistance = INFINITY;
    for (std::size_t k = 0; k < window; ++k) {
        const std::size_t i = (hint % n + n - back + k) % n;
        const double d = std::hypot(points[i].x - x, points[i].y - y);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}
