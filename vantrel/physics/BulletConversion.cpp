#include "BulletConversion.h"

#include <cmath>

namespace physics {

bool IsFiniteMatrix(const float matrixGL[16]) {
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(matrixGL[i])) return false;
    return true;
}

bool RigidFrameFromGL(const float matrixGL[16], btTransform& frame, btVector3* scaleOut) {
    if (!IsFiniteMatrix(matrixGL)) return false;
    btVector3 axes[3];
    btVector3 scale;
    for (int i = 0; i < 3; ++i) {
        axes[i] = btVector3(matrixGL[4 * i], matrixGL[4 * i + 1], matrixGL[4 * i + 2]);
        scale[i] = axes[i].length();
        if (!(scale[i] > 1.0e-6f)) return false;
    }
    axes[0] /= scale[0];
    axes[1] -= axes[0] * axes[0].dot(axes[1]);
    if (!(axes[1].length() > 1.0e-6f)) return false;
    axes[1].normalize();
    // Keep the handedness of the source: a mirrored frame stays mirrored in
    // the scale's sign rather than in the rotation.
    btVector3 z = axes[0].cross(axes[1]);
    if (z.dot(axes[2]) < 0.0f) scale[2] = -scale[2];
    axes[2] = z;
    // Bullet's basis holds the axes as columns; the GL rows are those axes.
    frame.setBasis(btMatrix3x3(axes[0].x(), axes[1].x(), axes[2].x(),
                               axes[0].y(), axes[1].y(), axes[2].y(),
                               axes[0].z(), axes[1].z(), axes[2].z()));
    frame.setOrigin(btVector3(matrixGL[12], matrixGL[13], matrixGL[14]));
    if (scaleOut) *scaleOut = scale;
    return true;
}

}  // namespace physics
