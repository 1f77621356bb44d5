#pragma once
// Rigid frames as OpenGL keeps them: 16 values, columns 0 to 2 the axes,
// column 3 the position.
#include "quat.h"

namespace vmath {

/// The frame a fraction `t` of the way from `a` to `b` (0: a, 1: b): the
/// position blended straight, the rotation by slerp, so the axes stay
/// orthonormal. Both must be rigid (no scale).
template <typename T>
void blend_frames_gl(const T a[16], const T b[16], T t, T out[16]) {
    const auto rotation = [](const T* m) {
        return mat3<T>(m[0], m[4], m[8], m[1], m[5], m[9], m[2], m[6], m[10]);
    };
    const mat3<T> r = to_mat3(slerp(to_quat(rotation(a)), to_quat(rotation(b)), t));
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) out[column * 4 + row] = r(row, column);
        out[column * 4 + 3] = T(0);
    }
    for (int row = 0; row < 3; ++row) out[12 + row] = a[12 + row] + (b[12 + row] - a[12 + row]) * t;
    out[15] = T(1);
}

}  // namespace vmath
