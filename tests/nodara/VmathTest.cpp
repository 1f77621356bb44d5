#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vmath/vmath.h"

using namespace vmath;

namespace {

void ExpectMatNear(const mat4<float>& a, const mat4<float>& b, float eps = 1e-6f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
}

}  // namespace

TEST(Vmath, TypesArePackedForOpenGL) {
    static_assert(sizeof(vec2<float>) == 2 * sizeof(float));
    static_assert(sizeof(vec3<float>) == 3 * sizeof(float));
    static_assert(sizeof(vec4<float>) == 4 * sizeof(float));
    static_assert(sizeof(mat4<float>) == 16 * sizeof(float));
    vec3<float> v[2] = {{1, 2, 3}, {4, 5, 6}};
    EXPECT_EQ(v[0].ptr()[4], 5.0f);  // a vector array is one flat component array
}

TEST(Vmath, VectorArithmeticAndProducts) {
    const vec3<float> a(1, 2, 3), b(4, 5, 6);
    const vec3<float> s = a + b, d = b - a, m = a * 2.0f;
    EXPECT_EQ(s.z, 9.0f);
    EXPECT_EQ(d.x, 3.0f);
    EXPECT_EQ(m.y, 4.0f);
    EXPECT_EQ(dot(a, b), 32.0f);
    const vec3<float> c = cross(vec3<float>(1, 0, 0), vec3<float>(0, 1, 0));  // right-handed: x * y = z
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(c.z, 1.0f);
    EXPECT_FLOAT_EQ(length(vec3<float>(3, 4, 12)), 13.0f);
    EXPECT_EQ(dot(vec4<float>(1, 2, 3, 4), vec4<float>(1, 1, 1, 1)), 10.0f);
    const vec3<float> dropped(vec4<float>(7, 8, 9, 10));
    EXPECT_EQ(dropped.z, 9.0f);
}

TEST(Vmath, NormalizeOfZeroIsNotFinite) {
    const vec3<float> n = normalize(vec3<float>(0, 0, 0));
    EXPECT_FALSE(std::isfinite(n.x));
    EXPECT_FLOAT_EQ(length(normalize(vec3<float>(0, 3, 4))), 1.0f);
}

TEST(Vmath, TranslationSitsInColumnThree) {
    const vec4<float> p = translation(1.0f, 2.0f, 3.0f) * vec4<float>(0, 0, 0, 1);
    EXPECT_EQ(p.x, 1.0f);
    EXPECT_EQ(p.y, 2.0f);
    EXPECT_EQ(p.z, 3.0f);
    EXPECT_EQ(p.w, 1.0f);
    const mat4<float> t = transpose(translation(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(t[12], 1.0f);
    EXPECT_EQ(t[13], 2.0f);
    EXPECT_EQ(t[14], 3.0f);
    EXPECT_EQ(t[3], 0.0f);
}

TEST(Vmath, RotationIsRightHandedAndNormalisesTheAxis) {
    const mat4<float> r = rotation(90.0f, vec3<float>(0, 0, 2));
    ExpectMatNear(r, rotation(90.0f, vec3<float>(0, 0, 1)));
    const vec4<float> x = r * vec4<float>(1, 0, 0, 0);
    EXPECT_NEAR(x.x, 0.0f, 1e-6f);
    EXPECT_NEAR(x.y, 1.0f, 1e-6f);
    // Row and column 3 stay those of the identity.
    EXPECT_EQ(r(3, 3), 1.0f);
    EXPECT_EQ(r(0, 3), 0.0f);
    EXPECT_EQ(r(3, 0), 0.0f);
    // About x, y goes to z.
    const vec4<float> y = rotation(90.0f, vec3<float>(1, 0, 0)) * vec4<float>(0, 1, 0, 0);
    EXPECT_NEAR(y.z, 1.0f, 1e-6f);
}

TEST(Vmath, ProductOrderAndIdentity) {
    mat4<float> m;
    for (int i = 0; i < 16; ++i) m[i] = float(i * i - 7);
    ExpectMatNear(mat4<float>(1.0f) * m, m, 0.0f);
    ExpectMatNear(m * mat4<float>::identity(), m, 0.0f);
    // T(1,0,0) * R(90 about z) applies the rotation first: x -> y, then +x.
    const vec4<float> p = translation(1.0f, 0.0f, 0.0f) * rotation(90.0f, vec3<float>(0, 0, 1)) *
                          vec4<float>(1, 0, 0, 1);
    EXPECT_NEAR(p.x, 1.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    mat4<float> a = translation(1.0f, 0.0f, 0.0f);
    a *= translation(0.0f, 2.0f, 0.0f);
    EXPECT_EQ(a(1, 3), 2.0f);
    EXPECT_EQ(a(0, 3), 1.0f);
}

TEST(Vmath, InverseUndoesAGeneralMatrixAndASingularOneGivesTheIdentity) {
    mat4<float> m = translation(3.0f, -2.0f, 7.5f) * rotation(35.0f, vec3<float>(1, 2, 3));
    m(0, 0) *= 2.0f;  // a scale and a projective row make it more than rigid
    m(3, 2) = 0.25f;
    ExpectMatNear(m * inverse(m), mat4<float>::identity(), 1e-5f);
    ExpectMatNear(inverse(transpose(m)), transpose(inverse(m)), 1e-5f);
    mat4<float> singular = m;
    for (int c = 0; c < 4; ++c) singular(2, c) = 2.0f * singular(1, c);
    ExpectMatNear(inverse(singular), mat4<float>::identity(), 0.0f);
}

TEST(Vmath, QuaternionsRoundTripEveryBranchOfTheMatrixConversion) {
    // A turn small enough for the trace branch, and half turns about x, y
    // and z, each of which makes its own diagonal element the largest.
    const struct {
        float degrees;
        vec3<float> axis;
    } rotations[] = {{30.0f, {1, 2, 3}}, {179.0f, {1, 0.1f, 0.2f}}, {178.0f, {0.1f, 1, -0.2f}},
                     {177.0f, {0.2f, -0.1f, 1}}, {0.0f, {0, 0, 1}}};
    for (const auto& r : rotations) {
        const mat4<float> m4 = rotation(r.degrees, r.axis);
        mat3<float> m;
        for (int row = 0; row < 3; ++row)
            for (int c = 0; c < 3; ++c) m(row, c) = m4(row, c);
        const quat<float> q = to_quat(m);
        EXPECT_NEAR(dot(q, q), 1.0f, 1e-6f);
        const mat3<float> back = to_mat3(q);
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(back[i], m[i], 2e-6f) << r.degrees << " degrees, element " << i;
        EXPECT_NEAR(angle(q, quat<float>::identity()), r.degrees * 0.017453292f, 1e-3f);
    }
}

TEST(Vmath, SlerpTurnsAtAnEvenRateTheShortWayRound) {
    const vec3<float> up(0, 0, 1);
    const auto about = [](float degrees, const vec3<float>& axis) {
        const mat4<float> m4 = rotation(degrees, axis);
        mat3<float> m;
        for (int row = 0; row < 3; ++row)
            for (int c = 0; c < 3; ++c) m(row, c) = m4(row, c);
        return to_quat(m);
    };
    const quat<float> a = about(10.0f, up), b = about(130.0f, up);
    // A quarter of the way from 10 to 130 degrees is 40 degrees.
    EXPECT_NEAR(angle(slerp(a, b, 0.25f), about(40.0f, up)), 0.0f, 1e-3f);
    EXPECT_NEAR(angle(slerp(a, b, 0.0f), a), 0.0f, 1e-3f);
    EXPECT_NEAR(angle(slerp(a, b, 1.0f), b), 0.0f, 1e-3f);
    // -b is b: the blend still takes the 120-degree way, not the 240-degree one.
    const quat<float> minusB(-b.x, -b.y, -b.z, -b.w);
    EXPECT_NEAR(angle(slerp(a, minusB, 0.5f), about(70.0f, up)), 0.0f, 1e-3f);
    // From 170 to -170 degrees about z goes through 180, not through 0.
    EXPECT_NEAR(angle(slerp(about(170.0f, up), about(-170.0f, up), 0.5f), about(180.0f, up)), 0.0f, 1e-3f);
    // Two rotations a hair apart blend without dividing by their vanishing sine.
    const quat<float> near = slerp(a, about(10.001f, up), 0.5f);
    EXPECT_TRUE(std::isfinite(near.w));
    EXPECT_NEAR(angle(near, a), 0.0f, 1e-3f);
}

TEST(Vmath, ConvexCornersOfABoxCutByPlanes) {
    using Plane = vmath::vec4<double>;
    // The unit cube, its planes of several lengths.
    std::vector<Plane> planes = {{1, 0, 0, 0}, {-2, 0, 0, 2}, {0, 3, 0, 0}, {0, -1, 0, 1}, {0, 0, 1, 0}, {0, 0, -1, 1}};
    std::vector<vmath::vec3<double>> corners = vmath::convex_corners(planes);
    ASSERT_EQ(corners.size(), 8u);
    for (const auto& c : corners)
        for (int axis = 0; axis < 3; ++axis) EXPECT_TRUE(c[axis] == 0.0 || std::fabs(c[axis] - 1.0) < 1e-12) << c[axis];

    // Its far corner cut off: seven corners left and three new ones where the cut meets the edges.
    planes.push_back({-1, -1, -1, 2.5});
    corners = vmath::convex_corners(planes);
    EXPECT_EQ(corners.size(), 10u);
    for (const auto& c : corners) EXPECT_LE(c.x + c.y + c.z, 2.5 + 1e-9);

    // A plane with the cube wholly outside it leaves nothing, as does one without a normal that excludes everything.
    EXPECT_TRUE(vmath::convex_corners(std::vector<Plane>{planes[0], planes[1], planes[2], planes[3], planes[4],
                                                        planes[5], {-1, 0, 0, -3}})
                    .empty());
    EXPECT_TRUE(vmath::convex_corners(std::vector<Plane>{planes[0], planes[2], planes[4], {0, 0, 0, -1}}).empty());
}
