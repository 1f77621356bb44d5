#pragma once
// Two-component vector: texture coordinates, tiling and offsets, screen points.

namespace vmath {

template <typename T>
struct vec2 {
    T x, y;

    vec2() = default;  // components left unset, like the built-in types
    vec2(T x_, T y_) : x(x_), y(y_) {}

    T& operator[](int i) { return (&x)[i]; }
    const T& operator[](int i) const { return (&x)[i]; }
    T* ptr() { return &x; }
    const T* ptr() const { return &x; }
};

}  // namespace vmath
