#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vmath/vec3.h"

/// Splits one polygon into triangles given its corner positions. Convex
/// polygons become fans (what every exporter expects); concave ones are ear
/// clipped, because a fan over a concave outline covers area outside it.
/// The ear clipper tolerates repeated vertices (outlines that bridge to a hole
/// come and go through the same point) and always yields n - 2 triangles,
/// finishing with a fan if it finds no more ears. Winding is kept.
class DaePolygonTriangulator {
public:
    /// Above this many corners a polygon is fanned: ear clipping is quadratic.
    static constexpr std::size_t MaxEarClippingCorners = 256;

    /// Appends the corner-index triples (0-based within the polygon) of a
    /// polygon of `count` >= 3 corners to `triangles`.
    void Triangulate(const vmath::vec3<double>* points, std::size_t count, std::vector<std::uint32_t>& triangles);

    /// Appends the fan (0, i, i + 1) of a polygon of `count` corners.
    static void Fan(std::size_t count, std::vector<std::uint32_t>& triangles);

private:
    bool IsEar(std::size_t previous, std::size_t current, std::size_t next, bool allowFlat) const;

    std::vector<double> u, v;              ///< the corners projected onto the polygon's plane
    std::vector<std::uint32_t> remaining;  ///< corners not yet clipped, in outline order
    double orientation = 1.0;              ///< sign of the projected outline's area
};
