#pragma once
// 4 x 4 matrix, row-major storage (element (r, c) at r*4+c) with column
// vectors: a translation sits at flat indices 3, 7 and 11.
// WARNING: OpenGL reads matrices in the transposed order; transpose a vmath
// matrix before handing it to glMultMatrixf/glLoadMatrixf.
#include <cmath>

#include "mat3.h"
#include "vec4.h"

namespace vmath {

template <typename T>
struct mat4 {
    T m[16];

    mat4() = default;  // elements left unset
    explicit mat4(T s) : m{s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, s} {}
    /// The 3 x 3 block in the upper left, identity elsewhere.
    explicit mat4(const mat3<T>& a) : mat4(T(1)) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) (*this)(r, c) = a(r, c);
    }

    static mat4 identity() { return mat4(T(1)); }

    T& operator[](int i) { return m[i]; }
    const T& operator[](int i) const { return m[i]; }
    T& operator()(int r, int c) { return m[r * 4 + c]; }
    const T& operator()(int r, int c) const { return m[r * 4 + c]; }
    T* ptr() { return m; }
    const T* ptr() const { return m; }

    mat4& operator*=(const mat4& b) { return *this = *this * b; }

    friend mat4 operator*(const mat4& a, const mat4& b) {
        mat4 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                T sum = 0;
                for (int k = 0; k < 4; ++k) sum += a(i, k) * b(k, j);
                r(i, j) = sum;
            }
        return r;
    }
};

template <typename T>
vec4<T> operator*(const mat4<T>& a, const vec4<T>& v) {
    vec4<T> r;
    for (int i = 0; i < 4; ++i) r[i] = a(i, 0) * v.x + a(i, 1) * v.y + a(i, 2) * v.z + a(i, 3) * v.w;
    return r;
}

template <typename T>
mat4<T> transpose(const mat4<T>& a) {
    mat4<T> r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r(i, j) = a(j, i);
    return r;
}

/// Inverse as adjugate over determinant, worked in double; a singular matrix
/// gives the identity. The same in either storage order: the inverse of the
/// transpose is the transpose of the inverse.
template <typename T>
mat4<T> inverse(const mat4<T>& m) {
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = static_cast<double>(m.m[i]);
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det)) return mat4<T>::identity();
    mat4<T> r;
    for (int i = 0; i < 16; ++i) r.m[i] = static_cast<T>(inv[i] / det);
    return r;
}

template <typename T>
mat4<T> translation(T x, T y, T z) {
    mat4<T> r(T(1));
    r(0, 3) = x;
    r(1, 3) = y;
    r(2, 3) = z;
    return r;
}

/// Right-handed rotation by `angle` degrees about `axis` (normalised here).
template <typename T>
mat4<T> rotation(T angle, const vec3<T>& axis) {
    const T theta = angle * T(0.017453292);
    const vec3<T> a = normalize(axis);
    const mat3<T> aat = outer(a, a);
    const mat3<T> skew(0, -a.z, a.y,
                       a.z, 0, -a.x,
                       -a.y, a.x, 0);
    const mat3<T> r = aat + (mat3<T>::identity() - aat) * T(std::cos(theta)) + skew * T(std::sin(theta));
    return mat4<T>(r);
}

}  // namespace vmath
