#pragma once
// Corners of a convex region given by the planes that bound it: the part of
// one frustum that lies inside a box and another frustum, say, whose extent
// on screen a renderer wants to know.
#include <cmath>
#include <vector>

#include "vec3.h"
#include "vec4.h"

namespace vmath {

/// The corners of the region where a·x + b·y + c·z + d >= 0 for every plane
/// (a, b, c, d): each point where three of the planes meet that lies inside
/// all of them, to within `tolerance` (in the units of the points; the planes
/// need not be of unit length). A corner where more than three planes meet
/// comes once for each triple. Empty when the region is empty or has no
/// corners (not bounded on every side). Cubic in the number of planes: meant
/// for the few of a frustum or a box.
template <typename T>
std::vector<vec3<T>> convex_corners(const std::vector<vec4<T>>& planes, T tolerance = T(1e-5)) {
    std::vector<vec4<T>> unit;
    unit.reserve(planes.size());
    for (const vec4<T>& plane : planes) {
        const T size = length(vec3<T>(plane));
        // A plane without a normal bounds nothing, or everything when its d is negative.
        if (!(size > T(0))) {
            if (plane.w < T(0)) return {};
            continue;
        }
        unit.emplace_back(plane.x / size, plane.y / size, plane.z / size, plane.w / size);
    }
    std::vector<vec3<T>> corners;
    const std::size_t n = unit.size();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            for (std::size_t k = j + 1; k < n; ++k) {
                const vec3<T> a(unit[i]), b(unit[j]), c(unit[k]);
                const vec3<T> bc = cross(b, c), ca = cross(c, a), ab = cross(a, b);
                const T determinant = dot(a, bc);
                // Two of the three (nearly) parallel: they meet in no single point.
                if (std::fabs(determinant) < T(1e-9)) continue;
                const vec3<T> point = (bc * unit[i].w + ca * unit[j].w + ab * unit[k].w) * (T(-1) / determinant);
                bool inside = true;
                for (std::size_t m = 0; m < n && inside; ++m)
                    inside = dot(vec3<T>(unit[m]), point) + unit[m].w >= -tolerance;
                if (inside) corners.push_back(point);
            }
    return corners;
}

}  // namespace vmath
