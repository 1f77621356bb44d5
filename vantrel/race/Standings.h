#pragma once
// Who leads a race of several cars and by how much: positions from how far
// each racer has come along the road, gaps in seconds from when each was
// where.
#include <cstddef>
#include <optional>
#include <vector>

/// The order of a race's racers and the gaps between them. Racers are
/// numbered 0 .. count - 1 in grid order; distances are metres along the
/// road's centre line from the start line (negative on the grid behind it),
/// times seconds of race time from the start.
///
/// A finished racer ranks by its finishing time ahead of every racer still
/// running; the others rank by distance, the one further on first, and a
/// tie keeps the grid order. A racer put back on the road (a recovery) just
/// reports its new, shorter distance: its position follows.
class Standings {
public:
    /// Each racer's path is kept once every this many metres for the gaps.
    static constexpr double MarkStepM = 5.0;

    /// A new race of `count` racers at `distancesM` (one each; shorter
    /// lists start the rest at 0).
    void Reset(std::size_t count, const std::vector<double>& distancesM = {});
    /// Where `racer` is at `timeS`. Its furthest distance so far is what
    /// its marks remember; a finished racer is left alone.
    void Update(std::size_t racer, double distanceM, double timeS);
    /// `racer` crossed the finish at `timeS`; later calls change nothing.
    void Finish(std::size_t racer, double timeS);

    std::size_t GetCount() const { return racers.size(); }
    /// Racers from first to last.
    std::vector<std::size_t> Order() const;
    /// 1-based position of `racer` (0 for none).
    unsigned PositionOf(std::size_t racer) const;
    bool IsFinished(std::size_t racer) const { return racer < racers.size() && racers[racer].finishS.has_value(); }
    std::optional<double> GetFinishS(std::size_t racer) const;
    double GetDistanceM(std::size_t racer) const { return racer < racers.size() ? racers[racer].distanceM : 0.0; }

    /// Seconds `behind` trails `ahead`: how long ago `ahead` was where
    /// `behind` is now (between finishers, the difference of their times).
    /// None when `ahead` has not yet been there (it is not ahead), or
    /// either racer is unknown.
    std::optional<double> GapS(std::size_t behind, std::size_t ahead, double nowS) const;

private:
    struct Racer {
        double distanceM = 0.0;   ///< last reported
        double startM = 0.0;      ///< where its marks begin
        std::vector<float> markS; ///< race time at startM + i * MarkStepM
        std::optional<double> finishS;
    };
    /// Race time at which `racer` was at `distanceM`, from its marks.
    std::optional<double> TimeAt(const Racer& racer, double distanceM) const;
    std::vector<Racer> racers;
};
