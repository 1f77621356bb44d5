#pragma once
// Three-component vector: points, directions and normals.
#include <cmath>

namespace vmath {

template <typename T>
struct vec3 {
    T x, y, z;

    vec3() = default;  // components left unset, like the built-in types
    vec3(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}

    T& operator[](int i) { return (&x)[i]; }
    const T& operator[](int i) const { return (&x)[i]; }
    T* ptr() { return &x; }
    const T* ptr() const { return &x; }

    vec3& operator+=(const vec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    vec3& operator-=(const vec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    vec3& operator*=(T s) { x *= s; y *= s; z *= s; return *this; }
};

template <typename T> vec3<T> operator+(vec3<T> a, const vec3<T>& b) { return a += b; }
template <typename T> vec3<T> operator-(vec3<T> a, const vec3<T>& b) { return a -= b; }
template <typename T> vec3<T> operator*(vec3<T> a, T s) { return a *= s; }

template <typename T>
T dot(const vec3<T>& a, const vec3<T>& b) {
    T sum = 0;
    for (int i = 0; i < 3; ++i) sum += a[i] * b[i];
    return sum;
}

template <typename T>
vec3<T> cross(const vec3<T>& a, const vec3<T>& b) {
    return vec3<T>(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

template <typename T>
T length(const vec3<T>& a) { return std::sqrt(dot(a, a)); }

/// NOTE: no guard for the zero vector; its components become non-finite.
template <typename T>
vec3<T> normalize(const vec3<T>& a) { return a * (T(1) / length(a)); }

}  // namespace vmath
