#pragma once
// How far a car has come along the road, counted on from lap to lap.
#include <cstddef>

class RoadCentreLine;

/// A car's distance along a road's centre line from the start line (m),
/// unwrapped: it runs on past the loop's length, and a car on the grid
/// behind the start line is at a negative distance. It follows the car
/// frame by frame, so the nearest point is searched near the last one.
class RoadProgress {
public:
    /// Starts following a car at (x, y): just behind the start line (in the
    /// loop's second half) counts as negative.
    void Start(const RoadCentreLine& road, double x, double y);
    /// The car is now at (x, y); a jump across the start line in either
    /// direction carries the lap over. Nothing on an empty road.
    void Update(const RoadCentreLine& road, double x, double y);

    double GetDistanceM() const { return distanceM; }
    /// Sideways from the centre line (m, positive to the left of the race's way).
    double GetOffsetM() const { return offsetM; }

private:
    void Measure(const RoadCentreLine& road, double x, double y, double& s);

    std::size_t nearest = 0;
    double distanceM = 0.0;
    double offsetM = 0.0;
};
