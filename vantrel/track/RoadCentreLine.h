#pragma once
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include <nodara/Logger.h>
#include <vmath/vec2.h>

/// A track's road centre line: a closed polyline on the ground plane (world
/// coordinates, m) that runs once round the loop in the race's direction,
/// starting on the start line, measured by arc length. The asset scripts
/// write it beside the track model (tools/assets/road.py):
///
///     vantrel-road 1 N      magic, format version, point count
///     x y                   N lines, metres; the last point joins the first
///
/// Empty until a file loads; everything then answers as for a missing road
/// (length 0, no points), and the race goes without map and recovery.
class RoadCentreLine {
public:
    struct Point {
        double x = 0.0, y = 0.0;
        double s = 0.0;  ///< arc length from the start (m)
    };

    /// A file with more points than this, or more bytes than MaxFileBytes, is refused.
    static constexpr std::size_t MaxPoints = 200000;
    static constexpr std::size_t MaxFileBytes = 8u << 20;

    /// Reads a centre-line file. On failure the line is empty and one warning
    /// names the file and what is wrong with it.
    bool Load(const std::string& path);
    /// Load, the reason for a refusal given in `why` instead of a warning:
    /// for a caller that reports it in its own words.
    bool Load(const std::string& path, std::string& why);
    /// Reads the text of a centre-line file; `name` labels the warning.
    bool Parse(std::istream& in, const std::string& name);

    /// The same loop driven the other way round: the start point stays
    /// first, the others follow in the opposite order, so arc lengths,
    /// tangents, curvatures and the checksum are those of the reverse race.
    /// Empty for an empty line.
    RoadCentreLine Reversed() const;

    bool IsEmpty() const { return points.empty(); }
    /// Length of the loop (m).
    double GetLength() const { return length; }
    std::size_t GetPointCount() const { return points.size(); }
    /// The polyline's points in race order; the index wraps round the loop.
    /// Only on a non-empty line.
    const Point& GetPoint(std::size_t index) const { return points[index % points.size()]; }

    /// The point at arc length `s`, wrapping round the loop.
    Point At(double s) const;
    /// Unit direction of the race at arc length `s`.
    vmath::vec2<double> Tangent(double s) const;
    /// Curvature at arc length `s` (1/m, positive turning left).
    double Curvature(double s) const;
    /// Arc length of the line's point nearest (x, y): the foot of the
    /// perpendicular on the nearest segment, so never ahead of the point
    /// along the road. Searches the whole loop; 0 on an empty line.
    double Project(double x, double y) const;
    /// Index of the polyline point nearest (x, y), searched from `hint` a
    /// little backwards and further forwards, as a driver moving on keeps it.
    std::size_t Nearest(double x, double y, std::size_t hint) const;
    /// The smallest box round the line: its lower-left and upper-right corners.
    vmath::vec2<double> GetMin() const { return lower; }
    vmath::vec2<double> GetMax() const { return upper; }
    /// A CRC-32 of the points to the millimetre, in order: a recorded run
    /// carries it, so a run driven on other geometry is told apart. 0 on an
    /// empty line.
    std::uint32_t GetChecksum() const { return checksum; }

private:
    /// A run of consecutive segments and a circle round them: a whole run
    /// farther away than the best segment so far needs no closer look.
    struct Run {
        std::size_t first = 0;  ///< index of its first segment's start
        double x = 0.0, y = 0.0, radius = 0.0;
    };
    static constexpr std::size_t RunLength = 32;  ///< segments per run

    bool Refuse(const std::string& name, const std::string& why);
    /// Takes `read` as the line's points: arc lengths, runs, box and
    /// checksum; refused when two points in a row coincide.
    bool Build(std::vector<Point> read, const std::string& name);
    static std::uint32_t ChecksumOf(const std::vector<Point>& points);
    /// Nearest point of the segments of `run` to (x, y), if nearer than
    /// `bestDistance2` (squared, m^2): updates it and `best` (arc length).
    void ProjectOnRun(const Run& run, double x, double y, double& bestDistance2, double& best) const;

    std::vector<Point> points;
    std::vector<Run> runs;
    double length = 0.0;
    std::uint32_t checksum = 0;
    std::string* refusal = nullptr;  ///< where a quiet Load puts the reason
    vmath::vec2<double> lower{0.0, 0.0}, upper{0.0, 0.0};

    static Logger logger;
};
