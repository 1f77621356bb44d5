#pragma once
#include <limits>

#include "vmath/vec3.h"

/// Axis-aligned box. The empty box has its minimum at the largest finite
/// float and its maximum at the lowest, so the first point expanded into it
/// becomes both corners.
class BoundingBox {
public:
    BoundingBox()
        : minimum(Largest(), Largest(), Largest()), maximum(-Largest(), -Largest(), -Largest()) {}
    /// The corners are stored as given.
    BoundingBox(const vmath::vec3<float>& minimum, const vmath::vec3<float>& maximum)
        : minimum(minimum), maximum(maximum) {}

    const vmath::vec3<float>& GetMinimum() const { return minimum; }
    const vmath::vec3<float>& GetMaximum() const { return maximum; }
    void SetMinimum(const vmath::vec3<float>& value) { minimum = value; }
    void SetMaximum(const vmath::vec3<float>& value) { maximum = value; }

    /// Grows the box on each axis independently to include `point`.
    void Expand(const vmath::vec3<float>& point);
    /// Grows the box by both corners of `box`.
    void Expand(const BoundingBox& box);

private:
    static constexpr float Largest() { return std::numeric_limits<float>::max(); }

    vmath::vec3<float> minimum;
    vmath::vec3<float> maximum;
};
