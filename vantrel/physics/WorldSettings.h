#pragma once
#include <vmath/vec3.h>

namespace physics {

/// Settings of the physics world.
struct WorldSettings {
    float halfExtentM = 8000.0f;  ///< bounds: a cube of this half-extent centred at the origin (m)
    vmath::vec3<float> gravityMs2{0.0f, 0.0f, -9.81f};  ///< (m/s^2), z up
    /// Longest substep (s): a frame is split into the fewest equal substeps
    /// no longer than this.
    float maxSubstepS = 1.0f / 120.0f;
    /// Most substeps in one World::Step; time beyond them is dropped, so a
    /// frame of a second or more slows the world down instead of
    /// destabilising it.
    int maxSubstepsPerStep = 120;
};

}  // namespace physics
