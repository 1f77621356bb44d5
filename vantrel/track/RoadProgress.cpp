#include "RoadProgress.h"

#include <cmath>

#include "RoadCentreLine.h"

void RoadProgress::Measure(const RoadCentreLine& road, double x, double y, double& s) {
    // The nearest point, then the foot on the segment from it onwards or the one before.
    nearest = road.Nearest(x, y, nearest);
    const RoadCentreLine::Point& p = road.GetPoint(nearest);
    const vmath::vec2<double> t = road.Tangent(p.s);
    const double dx = x - p.x, dy = y - p.y;
    s = p.s + dx * t.x + dy * t.y;
    offsetM = -dx * t.y + dy * t.x;
}

void RoadProgress::Start(const RoadCentreLine& road, double x, double y) {
    distanceM = offsetM = 0.0;
    if (road.IsEmpty()) return;
    // Nearest searches near its hint only: a projection on the whole loop
    // gives the hint (the points lie about evenly along the road).
    const double spacingM = road.GetLength() / static_cast<double>(road.GetPointCount());
    nearest = road.Nearest(x, y, static_cast<std::size_t>(road.Project(x, y) / spacingM));
    double s = 0.0;
    Measure(road, x, y, s);
    const double length = road.GetLength();
    s = std::fmod(s + length, length);
    distanceM = s > 0.5 * length ? s - length : s;
}

void RoadProgress::Update(const RoadCentreLine& road, double x, double y) {
    if (road.IsEmpty()) return;
    double s = 0.0;
    Measure(road, x, y, s);
    const double length = road.GetLength();
    // The step since the last frame, taken the short way round the loop.
    const double lastS = std::fmod(std::fmod(distanceM, length) + length, length);
    double step = std::fmod(s - lastS, length);
    if (step > 0.5 * length) step -= length;
    if (step < -0.5 * length) step += length;
    distanceM += step;
}
