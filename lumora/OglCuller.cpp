#include <lumora/OglCuller.h>

#include <GL/glew.h>

#include <cmath>

#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>

void OglCuller::Cull(GroupNode& group) {
    const BoundingBox* box = group.GetBoundingVolume();
    if (!box) return;

    // Both matrices arrive column-major: element (row r, column c) at c*4+r.
    GLfloat modelView[16];
    GLfloat projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    float clip[4][4];  // clip[r][c] of P * M
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += projection[k * 4 + r] * modelView[c * 4 + k];
            clip[r][c] = sum;
        }

    // Left, right, bottom, top, near, far: r4 +/- r1, r2, r3. Normals point inwards.
    const vmath::vec3<float>& lo = box->GetMinimum();
    const vmath::vec3<float>& hi = box->GetMaximum();
    bool culled = false;
    for (int plane = 0; plane < 6 && !culled; ++plane) {
        const int row = plane / 2;
        const float sign = (plane % 2 == 0) ? 1.0f : -1.0f;
        float p[4];
        for (int c = 0; c < 4; ++c) p[c] = clip[3][c] + sign * clip[row][c];
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        // A degenerate plane (singular matrices) rejects nothing.
        if (!(length > 0.0f)) continue;
        // The corner farthest along the normal: if even it is outside, all are.
        const float x = p[0] < 0.0f ? lo.x : hi.x;
        const float y = p[1] < 0.0f ? lo.y : hi.y;
        const float z = p[2] < 0.0f ? lo.z : hi.z;
        culled = (p[0] * x + p[1] * y + p[2] * z + p[3]) / length < 0.0f;
    }
    group.SetCulled(culled);
}
