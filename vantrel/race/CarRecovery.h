#pragma once

#include <cstddef>

#include <vmath/vec2.h>

#include "input/GameKeys.h"
#include "track/TrackDescription.h"

struct Car;
class RoadCentreLine;

namespace physics {
class World;
}

/// Puts a car that left the road, or lies on its roof, back on the road: on
/// the centre line level with it (never ahead of it along the road), facing
/// the race's way, upright and at rest on the ground there, with the chase
/// camera straight behind it. The race decides when it may be used.
class CarRecovery {
public:
    /// The key that asks for it ('R').
    static constexpr unsigned Key = GameKeys::Recover;

    /// @return false, with the car left alone, when the road is empty, the
    ///         car has no body or there is no ground under the road there
    static bool Recover(Car& car, physics::World& world, const RoadCentreLine& road);
    /// Puts `car` down on the road at arc length `s`, `lateralM` to the left
    /// of the centre line (negative: right), facing the race's way, at rest
    /// with the chase camera straight behind it: a recovery, or a place on
    /// the starting grid.
    /// @return false, with the car left alone, as for Recover
    static bool PlaceOnRoad(Car& car, physics::World& world, const RoadCentreLine& road, double s, double lateralM);
    /// Puts `car` down on the ground at (x, y), facing `along` (a unit
    /// vector on the ground plane), at rest, no pedals or steering; the
    /// chase camera is left to run in: the start of a Time Trial or a Free Drive.
    /// @return false, with the car left alone, when the car has no body or
    ///         there is no ground there
    static bool PlaceAt(Car& car, physics::World& world, double x, double y, const vmath::vec2<double>& along);
    /// Puts `car` on place `place` of `way`'s start as PlaceAt does: the first
    /// on its mark, the others beside and behind it.
    static bool PlaceAtStart(Car& car, physics::World& world, const TrackDescription::Way& way, std::size_t place);
};
