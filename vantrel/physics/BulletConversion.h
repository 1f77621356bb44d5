#pragma once
// Conversions between the interface's types and Bullet's; private to the
// physics component (it includes Bullet).
#include <LinearMath/btTransform.h>

#include <vmath/vec3.h>

namespace physics {

inline btVector3 ToBullet(const vmath::vec3<float>& v) { return btVector3(v.x, v.y, v.z); }
inline vmath::vec3<float> FromBullet(const btVector3& v) { return vmath::vec3<float>(v.x(), v.y(), v.z()); }

/// True when all 16 values are finite.
bool IsFiniteMatrix(const float matrixGL[16]);

/// The rigid part of a matrix in OpenGL's order: its rotation rows made
/// orthonormal (Gram-Schmidt, row 0 first) and its translation.
/// @param scaleOut receives the lengths of the three rotation rows when not null
/// @return false when a row has no length or the rows are parallel
bool RigidFrameFromGL(const float matrixGL[16], btTransform& frame, btVector3* scaleOut = nullptr);

}  // namespace physics
