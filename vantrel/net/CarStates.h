#pragma once
// A race car's body to and from the states the network carries.
#include <cstdint>

#include <vmath/vec3.h>

#include "Protocol.h"

struct Car;

/// The two ends of a car state: what a driven car's body says at a tick,
/// and a car driven elsewhere put where its state says.
class CarStates {
public:
    /// `car`'s state at race tick `tick`, as racer `id` having passed
    /// `checkpoints` and been put back on the road `recoveries` times.
    /// @return false when the car has no body or a value is not finite
    static bool Take(const Car& car, std::uint8_t id, std::uint32_t tick, unsigned checkpoints,
                     Protocol::CarState& state, unsigned recoveries = 0);
    /// Moves `car`'s body to `sample` going at `velocityMs`, its controls off
    /// (DynamicObjectCar::MoveTo).
    static bool Follow(Car& car, const RecordedRun::Sample& sample, const vmath::vec3<float>& velocityMs);
    /// The velocity a sample's speed gives along its forward axis.
    static vmath::vec3<float> Forward(const RecordedRun::Sample& sample);
};
