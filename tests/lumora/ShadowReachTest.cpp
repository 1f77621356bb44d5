// Where a moving body's shadow can reach, in the view: pure geometry, no GL.
#include <gtest/gtest.h>

#include <cmath>

#include <lumora/ShadowReach.h>
#include <nodara/BoundingBox.h>

namespace {

using mat4 = vmath::mat4<float>;
using vec3 = vmath::vec3<float>;

// GL's projection and view, as vmath's row-major matrices.
mat4 Perspective(float fovyDeg, float aspect, float nearM, float farM) {
    const float f = 1.0f / std::tan(fovyDeg * 3.14159265f / 360.0f);
    mat4 m(0.0f);
    m(0, 0) = f / aspect;
    m(1, 1) = f;
    m(2, 2) = (farM + nearM) / (nearM - farM);
    m(2, 3) = 2.0f * farM * nearM / (nearM - farM);
    m(3, 2) = -1.0f;
    return m;
}

mat4 LookAt(vec3 eye, vec3 centre, vec3 up) {
    const vec3 f = vmath::normalize(centre - eye), s = vmath::normalize(vmath::cross(f, up)), u = vmath::cross(s, f);
    mat4 m = mat4::identity();
    const vec3 rows[3] = {s, u, f * -1.0f};
    for (int r = 0; r < 3; ++r) {
        m(r, 0) = rows[r].x, m(r, 1) = rows[r].y, m(r, 2) = rows[r].z;
        m(r, 3) = -vmath::dot(rows[r], eye);
    }
    return m;
}

double WindowDepth(const mat4& clip, vec3 p) {
    const vmath::vec4<float> c = clip * vmath::vec4<float>(p.x, p.y, p.z, 1.0f);
    return c.z / c.w * 0.5 + 0.5;
}

}  // namespace

TEST(ShadowReach, TheShadowsFarthestDepthLiesBeyondTheFloorUnderTheBodyAndBeforeTheWallBehind) {
    // The camera looks down at a box standing over a floor, a wall far
    // behind it; the light hangs straight above the box.
    const mat4 camera = Perspective(60.0f, 4.0f / 3.0f, 0.5f, 50.0f) * LookAt({0, -10, 4}, {0, 0, 0}, {0, 0, 1});
    const mat4 light = Perspective(85.0f, 1.0f, 1.0f, 20.0f) * LookAt({0, 0, 6}, {0, 0, 0}, {0, 1, 0});
    const BoundingBox body({-1, -1, 0.5f}, {1, 1, 1.5f});
    ShadowReach reach(camera);
    reach.AddBody(body, mat4::identity());
    EXPECT_EQ(reach.FarthestShadowDepth(), 0.0) << "without a shadow map there is no shadow";

    reach.SetShadowMap(light, 1024);
    reach.AddReceiver(BoundingBox({-10, -10, -0.1f}, {10, 10, 0}), mat4::identity());
    reach.AddReceiver(BoundingBox({-10, 9, 0}, {10, 9.5f, 6}), mat4::identity());
    const double farthest = reach.FarthestShadowDepth();
    // The floor under the box's far edge, and a little beyond (the light
    // above widens the shadow), is within reach; the wall is not.
    EXPECT_GT(farthest, WindowDepth(camera, {0, 1.2f, 0}));
    EXPECT_LT(farthest, WindowDepth(camera, {0, 9, 1}));
    EXPECT_LT(farthest, WindowDepth(camera, {0, 3, 0}));

    // Level with the light, the box's shadow has no bound: all of the view.
    ShadowReach beside(camera);
    beside.SetShadowMap(light, 1024);
    beside.AddBody(BoundingBox({-1, -1, 5.5f}, {1, 1, 7}), mat4::identity());
    EXPECT_EQ(beside.FarthestShadowDepth(), 1.0);
}
