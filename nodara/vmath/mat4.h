#pragma once
// 4 x 4 matrix, row-major storage (element (r, c) at r*4+c) with column
// vectors: a translation sits at flat indices 3, 7 and 11.
// WARNING: OpenGL reads matrices in the transposed order; transpose a vmath
// matrix before handing it to glMultMatrixf/glLoadMatrixf.
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
