#include <lumora/ShadowReach.h>

#include <algorithm>
#include <cmath>

#include "vmath/convex.h"

namespace {

using Plane = vmath::vec4<double>;
using Point = vmath::vec3<double>;

vmath::mat4<double> ToDouble(const vmath::mat4<float>& m) {
    vmath::mat4<double> out;
    for (int i = 0; i < 16; ++i) out.m[i] = m.m[i];
    return out;
}

// Row `r` of `m` as a plane acting on homogeneous points.
Plane Row(const vmath::mat4<double>& m, int r) { return Plane(m(r, 0), m(r, 1), m(r, 2), m(r, 3)); }

Plane Combine(const Plane& a, double s, const Plane& b) {
    return Plane(a.x + s * b.x, a.y + s * b.y, a.z + s * b.z, a.w + s * b.w);
}

// The plane `clipPlane` of clip space, as a plane of the world `clip` maps from.
Plane ToWorld(const Plane& clipPlane, const vmath::mat4<double>& clip) {
    Plane world(0.0, 0.0, 0.0, 0.0);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) world[j] += clipPlane[i] * clip(i, j);
    return world;
}

void AddFrustum(const vmath::mat4<double>& clip, std::vector<Plane>& planes) {
    const Plane w = Row(clip, 3);
    for (int axis = 0; axis < 3; ++axis) {
        planes.push_back(Combine(w, 1.0, Row(clip, axis)));
        planes.push_back(Combine(w, -1.0, Row(clip, axis)));
    }
}

void AddBox(const std::vector<vmath::vec3<float>>& points, std::vector<Plane>& planes) {
    Point lo(points[0].x, points[0].y, points[0].z), hi = lo;
    for (const vmath::vec3<float>& p : points)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], static_cast<double>(p[axis]));
            hi[axis] = std::max(hi[axis], static_cast<double>(p[axis]));
        }
    for (int axis = 0; axis < 3; ++axis) {
        Plane low(0.0, 0.0, 0.0, -lo[axis]), high(0.0, 0.0, 0.0, hi[axis]);
        low[axis] = 1.0;
        high[axis] = -1.0;
        planes.push_back(low);
        planes.push_back(high);
    }
}

void AddCorners(const BoundingBox& box, const vmath::mat4<float>& model, std::vector<vmath::vec3<float>>& out) {
    const vmath::vec3<float>& lo = box.GetMinimum();
    const vmath::vec3<float>& hi = box.GetMaximum();
    for (int i = 0; i < 8; ++i) {
        const vmath::vec4<float> corner((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z, 1.0f);
        out.push_back(vmath::vec3<float>(model * corner));
    }
}

}  // namespace

void ShadowReach::SetShadowMap(const vmath::mat4<float>& clip, unsigned texels, float filter) {
    lightClip = clip;
    mapTexels = texels;
    filterTexels = filter;
}

void ShadowReach::AddBody(const BoundingBox& box, const vmath::mat4<float>& model) {
    AddCorners(box, model, bodyCorners);
}

void ShadowReach::AddReceiver(const BoundingBox& box, const vmath::mat4<float>& model) {
    AddCorners(box, model, receiverCorners);
}

double ShadowReach::Tolerance() const {
    // A corner dropped by rounding would shrink the rectangle.
    double scale = 1.0;
    for (const auto* corners : {&bodyCorners, &receiverCorners})
        for (const vmath::vec3<float>& p : *corners)
            scale = std::max({scale, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
    return 1e-6 * scale;
}

bool ShadowReach::AddShadowCorners(double tolerance, std::vector<Point>& corners) const {
    if (mapTexels == 0) return true;
    // The map's frustum behind the body.
    const vmath::mat4<double> light = ToDouble(lightClip);
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL, z0 = HUGE_VAL;
    for (const vmath::vec3<float>& p : bodyCorners) {
        const vmath::vec4<double> c = light * vmath::vec4<double>(p.x, p.y, p.z, 1.0);
        // Level with or behind the light the projection folds over.
        if (!(c.w > 1e-9)) return false;
        x0 = std::min(x0, c.x / c.w), x1 = std::max(x1, c.x / c.w);
        y0 = std::min(y0, c.y / c.w), y1 = std::max(y1, c.y / c.w);
        z0 = std::min(z0, c.z / c.w);
    }
    // What lies beyond the far plane is not in the map; what lies nearer
    // than its near plane is cut off at it.
    z0 = std::max(z0, -1.0);
    if (z0 >= 1.0) return true;
    const double pad = 2.0 * filterTexels / mapTexels;
    std::vector<Plane> planes;
    AddFrustum(ToDouble(cameraClip), planes);
    for (const Plane& p : {Plane(1, 0, 0, -(x0 - pad)), Plane(-1, 0, 0, x1 + pad), Plane(0, 1, 0, -(y0 - pad)),
                           Plane(0, -1, 0, y1 + pad), Plane(0, 0, 1, -z0), Plane(0, 0, -1, 1)})
        planes.push_back(ToWorld(p, light));
    if (!receiverCorners.empty()) AddBox(receiverCorners, planes);
    const std::vector<Point> shadow = vmath::convex_corners(planes, tolerance);
    corners.insert(corners.end(), shadow.begin(), shadow.end());
    return true;
}

bool ShadowReach::Region(int width, int height, int rect[4]) const {
    rect[0] = rect[1] = 0;
    rect[2] = width;
    rect[3] = height;
    if (bodyCorners.empty()) return false;
    const vmath::mat4<double> camera = ToDouble(cameraClip);
    const double tolerance = Tolerance();
    // The body itself, then its shadow.
    std::vector<Plane> planes;
    AddFrustum(camera, planes);
    AddBox(bodyCorners, planes);
    std::vector<Point> corners = vmath::convex_corners(planes, tolerance);
    if (!AddShadowCorners(tolerance, corners)) return false;

    if (corners.empty()) {
        rect[2] = rect[3] = 0;
        return true;
    }
    double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
    for (const Point& p : corners) {
        const vmath::vec4<double> c = camera * vmath::vec4<double>(p, 1.0);
        // Inside the view's frustum w is positive; a corner on the eye itself
        // says nothing of where it lands.
        if (!(c.w > 1e-12)) {
            rect[2] = width, rect[3] = height;
            return true;
        }
        const double x = (c.x / c.w * 0.5 + 0.5) * width, y = (c.y / c.w * 0.5 + 0.5) * height;
        left = std::min(left, x), right = std::max(right, x);
        bottom = std::min(bottom, y), top = std::max(top, y);
    }
    const int x = std::clamp(static_cast<int>(std::floor(left)) - 1, 0, width);
    const int y = std::clamp(static_cast<int>(std::floor(bottom)) - 1, 0, height);
    rect[0] = x;
    rect[1] = y;
    rect[2] = std::clamp(static_cast<int>(std::ceil(right)) + 1, x, width) - x;
    rect[3] = std::clamp(static_cast<int>(std::ceil(top)) + 1, y, height) - y;
    return true;
}

double ShadowReach::FarthestShadowDepth() const {
    std::vector<Point> corners;
    if (bodyCorners.empty() || !AddShadowCorners(Tolerance(), corners)) return 1.0;
    const vmath::mat4<double> camera = ToDouble(cameraClip);
    double farthest = 0.0;
    for (const Point& p : corners) {
        const vmath::vec4<double> c = camera * vmath::vec4<double>(p, 1.0);
        if (!(c.w > 1e-12)) return 1.0;
        farthest = std::max(farthest, c.z / c.w * 0.5 + 0.5);
    }
    return std::min(1.0, farthest);
}
