#pragma once
// Four-component vector: RGBA colours and homogeneous points.
#include "vec3.h"

namespace vmath {

template <typename T>
struct vec4 {
    T x, y, z, w;

    vec4() = default;  // components left unset, like the built-in types
    vec4(T x_, T y_, T z_, T w_) : x(x_), y(y_), z(z_), w(w_) {}
    vec4(const vec3<T>& xyz, T w_) : x(xyz.x), y(xyz.y), z(xyz.z), w(w_) {}

    T& operator[](int i) { return (&x)[i]; }
    const T& operator[](int i) const { return (&x)[i]; }
    T* ptr() { return &x; }
    const T* ptr() const { return &x; }

    /// The first three components; w is dropped.
    explicit operator vec3<T>() const { return vec3<T>(x, y, z); }
};

template <typename T>
T dot(const vec4<T>& a, const vec4<T>& b) {
    T sum = 0;
    for (int i = 0; i < 4; ++i) sum += a[i] * b[i];
    return sum;
}

}  // namespace vmath
