#pragma once
// GreenValley's road centre line for the test driver: the closed cubic
// spline through the track's waypoints that tools/assets/lib/trackdesign.py
// builds the road along (start at the origin facing +y, then checkpoints 0
// to 4), as a dense polyline measured by arc length.
#include <cstddef>
#include <vector>

class RoadCentreLine {
public:
    struct Point {
        double x, y;
        double s;  ///< arc length from the start (m)
    };

    RoadCentreLine();

    double Length() const { return length; }
    /// The point at arc length `s`, wrapping around the loop.
    Point At(double s) const;
    /// Curvature at arc length `s` (1/m, positive turning left).
    double Curvature(double s) const;
    /// Index of the dense point nearest (x, y), searched from `hint` a little
    /// backwards and further forwards, as a driver moving on keeps it.
    std::size_t Nearest(double x, double y, std::size_t hint) const;
    const Point& Dense(std::size_t index) const { return points[index % points.size()]; }

private:
    std::vector<Point> points;
    double length = 0.0;
};
