#pragma once
// 3 x 3 matrix, row-major storage (element (r, c) at r*3+c), column vectors.
#include "vec3.h"

namespace vmath {

template <typename T>
struct mat3 {
    T m[9];

    mat3() = default;  // elements left unset
    explicit mat3(T s) : m{s, 0, 0, 0, s, 0, 0, 0, s} {}
    mat3(T a0, T a1, T a2, T a3, T a4, T a5, T a6, T a7, T a8)
        : m{a0, a1, a2, a3, a4, a5, a6, a7, a8} {}

    static mat3 identity() { return mat3(T(1)); }

    T& operator[](int i) { return m[i]; }
    const T& operator[](int i) const { return m[i]; }
    T& operator()(int r, int c) { return m[r * 3 + c]; }
    const T& operator()(int r, int c) const { return m[r * 3 + c]; }
    T* ptr() { return m; }
    const T* ptr() const { return m; }
};

template <typename T>
mat3<T> operator+(const mat3<T>& a, const mat3<T>& b) {
    mat3<T> r;
    for (int i = 0; i < 9; ++i) r[i] = a[i] + b[i];
    return r;
}

template <typename T>
mat3<T> operator-(const mat3<T>& a, const mat3<T>& b) {
    mat3<T> r;
    for (int i = 0; i < 9; ++i) r[i] = a[i] - b[i];
    return r;
}

template <typename T>
mat3<T> operator*(const mat3<T>& a, T s) {
    mat3<T> r;
    for (int i = 0; i < 9; ++i) r[i] = a[i] * s;
    return r;
}

/// Outer product a * b^T.
template <typename T>
mat3<T> outer(const vec3<T>& a, const vec3<T>& b) {
    mat3<T> r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r(i, j) = a[i] * b[j];
    return r;
}

}  // namespace vmath
