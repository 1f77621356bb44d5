#include "DaePolygonTriangulator.h"

#include <cmath>

namespace {

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

}  // namespace

void DaePolygonTriangulator::Fan(std::size_t count, std::vector<std::uint32_t>& triangles) {
    for (std::size_t i = 1; i + 1 < count; ++i) {
        triangles.push_back(0);
        triangles.push_back(static_cast<std::uint32_t>(i));
        triangles.push_back(static_cast<std::uint32_t>(i + 1));
    }
}

void DaePolygonTriangulator::Triangulate(const vmath::vec3<double>* points, std::size_t count,
                                         std::vector<std::uint32_t>& triangles) {
    if (count < 3) return;
    if (count == 3 || count > MaxEarClippingCorners) {
        Fan(count, triangles);
        return;
    }
    // Newell's normal: robust for non-planar and partly degenerate outlines.
    double nx = 0, ny = 0, nz = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const vmath::vec3<double>& a = points[i];
        const vmath::vec3<double>& b = points[(i + 1) % count];
        nx += (a.y - b.y) * (a.z + b.z);
        ny += (a.z - b.z) * (a.x + b.x);
        nz += (a.x - b.x) * (a.y + b.y);
    }
    // Project by dropping the normal's largest axis.
    const double ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
    const int dropped = ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
    u.resize(count);
    v.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        u[i] = points[i][dropped == 0 ? 1 : 0];
        v[i] = points[i][dropped == 2 ? 1 : 2];
    }
    double area = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        area += Cross(u[i], v[i], u[j], v[j]);
    }
    if (!(std::fabs(area) > 0)) {  // flat, degenerate or NaN: nothing better than a fan
        Fan(count, triangles);
        return;
    }
    orientation = area > 0 ? 1.0 : -1.0;

    bool convex = true;
    for (std::size_t i = 0; i < count && convex; ++i) {
        const std::size_t p = (i + count - 1) % count, n = (i + 1) % count;
        convex = Cross(u[i] - u[p], v[i] - v[p], u[n] - u[i], v[n] - v[i]) * orientation >= 0;
    }
    if (convex) {
        Fan(count, triangles);
        return;
    }

    remaining.resize(count);
    for (std::size_t i = 0; i < count; ++i) remaining[i] = static_cast<std::uint32_t>(i);
    std::size_t at = 0, misses = 0;
    bool allowFlat = false;
    while (remaining.size() > 3) {
        const std::size_t size = remaining.size();
        at %= size;
        const std::size_t p = remaining[(at + size - 1) % size], c = remaining[at], n = remaining[(at + 1) % size];
        if (IsEar(p, c, n, allowFlat)) {
            triangles.push_back(static_cast<std::uint32_t>(p));
            triangles.push_back(static_cast<std::uint32_t>(c));
            triangles.push_back(static_cast<std::uint32_t>(n));
            remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(at));
            at = at == 0 ? 0 : at - 1;  // the previous corner may have become an ear
            misses = 0;
            allowFlat = false;
        } else if (++misses >= size) {
            if (allowFlat) break;  // no ear at all (self-intersecting outline)
            allowFlat = true;      // second round: clip flat (zero-area) ears too
            misses = 0;
        } else {
            ++at;
        }
    }
    // Whatever is left (a triangle, or an outline without ears) becomes a fan.
    for (std::size_t i = 1; i + 1 < remaining.size(); ++i) {
        triangles.push_back(remaining[0]);
        triangles.push_back(remaining[i]);
        triangles.push_back(remaining[i + 1]);
    }
}

bool DaePolygonTriangulator::IsEar(std::size_t p, std::size_t c, std::size_t n, bool allowFlat) const {
    const double turn = Cross(u[c] - u[p], v[c] - v[p], u[n] - u[c], v[n] - v[c]) * orientation;
    if (allowFlat ? turn < 0 : turn <= 0) return false;
    for (std::uint32_t k : remaining) {
        if (k == p || k == c || k == n) continue;
        // A repeated vertex sits on a corner of the ear and does not block it.
        if ((u[k] == u[p] && v[k] == v[p]) || (u[k] == u[c] && v[k] == v[c]) || (u[k] == u[n] && v[k] == v[n]))
            continue;
        const double d1 = Cross(u[c] - u[p], v[c] - v[p], u[k] - u[p], v[k] - v[p]) * orientation;
        const double d2 = Cross(u[n] - u[c], v[n] - v[c], u[k] - u[c], v[k] - v[c]) * orientation;
        const double d3 = Cross(u[p] - u[n], v[p] - v[n], u[k] - u[n], v[k] - v[n]) * orientation;
        if (d1 >= 0 && d2 >= 0 && d3 >= 0) return false;  // inside or on the ear
    }
    return true;
}
