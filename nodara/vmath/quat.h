#pragma once
// Unit quaternion: a rotation that blends smoothly and packs into four
// numbers, for poses recorded and played back between their samples.
#include <algorithm>
#include <cmath>

#include "mat3.h"

namespace vmath {

/// x, y, z: the vector part; w: the scalar part. q and -q are the same rotation.
template <typename T>
struct quat {
    T x, y, z, w;

    quat() = default;  // components left unset, like the built-in types
    quat(T x_, T y_, T z_, T w_) : x(x_), y(y_), z(z_), w(w_) {}

    static quat identity() { return quat(0, 0, 0, 1); }
};

template <typename T>
T dot(const quat<T>& a, const quat<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

/// NOTE: no guard for the zero quaternion; its components become non-finite.
template <typename T>
quat<T> normalize(const quat<T>& q) {
    const T s = T(1) / std::sqrt(dot(q, q));
    return quat<T>(q.x * s, q.y * s, q.z * s, q.w * s);
}

/// The rotation of an orthonormal matrix (column vectors, as mat3 keeps them).
/// Shepperd's method: the largest of the four squared components is taken
/// from the diagonal, so no division by a small number.
template <typename T>
quat<T> to_quat(const mat3<T>& r) {
    const T trace = r(0, 0) + r(1, 1) + r(2, 2);
    quat<T> q;
    if (trace > r(0, 0) && trace > r(1, 1) && trace > r(2, 2)) {
        const T s = std::sqrt(trace + T(1)) * T(2);  // 4 w
        q = quat<T>((r(2, 1) - r(1, 2)) / s, (r(0, 2) - r(2, 0)) / s, (r(1, 0) - r(0, 1)) / s, s / T(4));
    } else if (r(0, 0) >= r(1, 1) && r(0, 0) >= r(2, 2)) {
        const T s = std::sqrt(T(1) + r(0, 0) - r(1, 1) - r(2, 2)) * T(2);  // 4 x
        q = quat<T>(s / T(4), (r(0, 1) + r(1, 0)) / s, (r(0, 2) + r(2, 0)) / s, (r(2, 1) - r(1, 2)) / s);
    } else if (r(1, 1) >= r(2, 2)) {
        const T s = std::sqrt(T(1) + r(1, 1) - r(0, 0) - r(2, 2)) * T(2);  // 4 y
        q = quat<T>((r(0, 1) + r(1, 0)) / s, s / T(4), (r(1, 2) + r(2, 1)) / s, (r(0, 2) - r(2, 0)) / s);
    } else {
        const T s = std::sqrt(T(1) + r(2, 2) - r(0, 0) - r(1, 1)) * T(2);  // 4 z
        q = quat<T>((r(0, 2) + r(2, 0)) / s, (r(1, 2) + r(2, 1)) / s, s / T(4), (r(1, 0) - r(0, 1)) / s);
    }
    return normalize(q);
}

/// The rotation matrix of a unit quaternion.
template <typename T>
mat3<T> to_mat3(const quat<T>& q) {
    const T xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const T xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const T wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return mat3<T>(T(1) - T(2) * (yy + zz), T(2) * (xy - wz), T(2) * (xz + wy),
                   T(2) * (xy + wz), T(1) - T(2) * (xx + zz), T(2) * (yz - wx),
                   T(2) * (xz - wy), T(2) * (yz + wx), T(1) - T(2) * (xx + yy));
}

/// Blends unit quaternions at constant angular speed, `t` from 0 (a) to 1
/// (b), the short way round whatever signs they carry.
template <typename T>
quat<T> slerp(const quat<T>& a, quat<T> b, T t) {
    T cosine = dot(a, b);
    if (cosine < T(0)) {
        b = quat<T>(-b.x, -b.y, -b.z, -b.w);
        cosine = -cosine;
    }
    T wa = T(1) - t, wb = t;
    // Nearly the same rotation: the sine below vanishes, and the straight
    // blend is as good.
    if (cosine < T(0.9995)) {
        const T theta = std::acos(std::min(cosine, T(1)));
        const T sine = std::sin(theta);
        wa = std::sin((T(1) - t) * theta) / sine;
        wb = std::sin(t * theta) / sine;
    }
    return normalize(quat<T>(a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb));
}

/// The angle of the rotation from `a` to `b` (radians, 0 ... pi). From the
/// sine and cosine of the half angle both, so a small one keeps its digits
/// (an arc cosine of a dot product near 1 would not).
template <typename T>
T angle(const quat<T>& a, const quat<T>& b) {
    // The rotation between them, conj(a) * b: cosine part, then sine part.
    const T c = dot(a, b);
    const T x = a.w * b.x - b.w * a.x - (a.y * b.z - a.z * b.y);
    const T y = a.w * b.y - b.w * a.y - (a.z * b.x - a.x * b.z);
    const T z = a.w * b.z - b.w * a.z - (a.x * b.y - a.y * b.x);
    return T(2) * std::atan2(std::sqrt(x * x + y * y + z * z), std::fabs(c));
}

}  // namespace vmath
