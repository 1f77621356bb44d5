#pragma once
#include <cstddef>
#include <vector>

#include <nodara/Logger.h>

class RoadCentreLine;

/// The line a fast driver takes round a track: computed from the road's
/// centre line and width when the track loads, so every track gets one
/// without anything placed by hand. It cuts the bends as far as the road
/// allows, keeping `margin` inside both edges, which lowers the curvature
/// and so raises the speed the tyres allow.
///
/// The centre line is first resampled at an even step; each sample then gets
/// a sideways offset along the centre line's normal. The offsets are found by
/// relaxation, coarse to fine: each point moves sideways until its curvature
/// is the mean of its neighbours', clamped to the band, so the curvature
/// spreads out over the longest stretch of road it can.
///
/// Empty until Compute succeeds; an empty line has no points.
class RacingLine {
public:
    /// One sample of the line, in race order.
    struct Point {
        double x = 0.0, y = 0.0;  ///< on the ground plane (world, m)
        double s = 0.0;           ///< arc length along the racing line from its start (m)
        double centreS = 0.0;     ///< arc length of the centre-line point it was offset from (m)
        double centreX = 0.0, centreY = 0.0;  ///< that centre-line point (m)
        double normalX = 0.0, normalY = 0.0;  ///< the centre line's unit normal there, to the left
        double offset = 0.0;      ///< from the centre line along the normal (m, positive left)
        double curvature = 0.0;   ///< of the racing line (1/m, positive turning left)
    };

    /// What a car can do, for its target speeds (m/s, m/s^2).
    struct Limits {
        double lateralMs2 = 9.0;       ///< cornering acceleration it may use
        double brakingMs2 = 8.0;       ///< deceleration it may use
        double accelerationMs2 = 4.0;  ///< the most the speed profile rises by
        double topSpeedMs = 70.0;
        /// What full brake gives the car (m/s^2): the scale a driver's brake
        /// pedal is set by, not planned with; 0 for brakingMs2.
        double fullBrakingMs2 = 0.0;
    };

    /// Default sample step (m).
    static constexpr double DefaultStepM = 3.0;

    /// Computes the line of `road` for a road `halfWidthM` wide on each side
    /// of its centre line, the line's points staying `marginM` inside the
    /// edges. On failure (an empty road, no room between the margins, a step
    /// that is not positive or leaves fewer than 16 samples) the line is
    /// empty and one warning says why.
    bool Compute(const RoadCentreLine& road, double halfWidthM, double marginM = 1.0,
                 double stepM = DefaultStepM);

    bool IsEmpty() const { return points.empty(); }
    std::size_t GetPointCount() const { return points.size(); }
    /// A point by index; the index wraps round the loop. Only on a non-empty line.
    const Point& GetPoint(std::size_t index) const { return points[index % points.size()]; }
    /// Length of the racing line round the loop (m).
    double GetLength() const { return length; }
    /// Length of the road's centre line it was computed from (m).
    double GetCentreLength() const { return centreLength; }
    /// Half the width of the band the line keeps to, about the centre line (m).
    double GetBandHalfWidth() const { return band; }
    double GetRoadHalfWidth() const { return roadHalfWidth; }

    /// Target speed at each point (m/s), same indices as the points: the
    /// cornering limit sqrt(lateral / |k|) capped by the top speed, lowered
    /// so that the car can brake from each point to every later one within
    /// `brakingMs2`, and so that it never rises faster than
    /// `accelerationMs2` allows. Empty for an empty line or limits that
    /// are not positive.
    std::vector<double> SpeedProfile(const Limits& limits) const;

    /// Index of the point nearest (x, y), searched from `hint` a little
    /// backwards and further forwards, as a driver moving on keeps it; 0 on
    /// an empty line.
    std::size_t Nearest(double x, double y, std::size_t hint) const;
    /// The same, over the whole loop: for a car put down anywhere.
    std::size_t NearestAnywhere(double x, double y) const;

    /// Sideways room from the racing line at `index` (m, >= 0): how far the
    /// line may move to the left (or right) and stay in the band.
    double RoomLeft(std::size_t index) const;
    double RoomRight(std::size_t index) const;
    /// The point `lateralM` to the left of the racing line (negative: to the
    /// right) across the road at `index`, kept inside the band. The result's
    /// `offset` is its offset from the centre line; `s` and `curvature` are
    /// the racing line's there.
    Point Offset(std::size_t index, double lateralM) const;
    /// Signed distance of (x, y) from the centre line (m, positive left),
    /// across the road at `index`.
    double CentreOffsetOf(std::size_t index, double x, double y) const;

private:
    bool Refuse(const char* why);

    std::vector<Point> points;
    double length = 0.0;
    double centreLength = 0.0;
    double band = 0.0;
    double roadHalfWidth = 0.0;

    static Logger logger;
};
