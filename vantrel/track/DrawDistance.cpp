#include "DrawDistance.h"

#include <GL/glew.h>

#include <lumora/Lumora.h>
#include <nodara/GroupNode.h>

namespace {

// Runs the camera's cull traversal for a view reaching `farM` ahead (0: the
// frame's own far plane). A perspective matrix holds its planes in elements
// 10 and 14 (column major): C = -(f + n) / (f - n), D = -2 f n / (f - n).
// Only the far plane moves, so the view's sides and near plane stay the
// frame's own. False, with nothing culled, for a far plane it cannot place.
bool CullWithin(Lumora& engine, float farM) {
    if (!(farM > 0.0f)) {
        engine.CullScene();
        return true;
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const double c = projection[10], d = projection[14];
    const double nearM = d / (c - 1.0);
    const bool placed = nearM > 0.0 && farM > nearM;
    if (placed) {
        projection[10] = static_cast<GLfloat>(-(farM + nearM) / (farM - nearM));
        projection[14] = static_cast<GLfloat>(-2.0 * farM * nearM / (farM - nearM));
        glLoadMatrixf(projection);
        engine.CullScene();
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return placed;
}

// Which fine groups of `copies` the last traversal left in.
std::vector<bool> Drawn(const std::vector<CoarseCopy>& copies) {
    std::vector<bool> drawn;
    for (const CoarseCopy& pair : copies) drawn.push_back(!pair.group->IsCulled() && !pair.fine->IsCulled());
    return drawn;
}

}  // namespace

void DrawDistance::Cull(Lumora& engine, float distanceM, const std::vector<CoarseCopy>& copies, float coarseBeyondM) {
    if (copies.empty()) {
        // Without copies a distance the view cannot reach leaves the frame's own cull.
        if (!CullWithin(engine, distanceM)) engine.CullScene();
        return;
    }
    // Copies stand in beyond the draw distance where no nearer limit is set.
    const float detailM = coarseBeyondM > 0.0f ? coarseBeyondM : distanceM;
    // Where both limits are one, the draw distance's traversal tells what lies near.
    const bool oneLimit = detailM == distanceM;
    std::vector<bool> near(copies.size(), true);
    if (detailM > 0.0f && !oneLimit && CullWithin(engine, detailM)) near = Drawn(copies);
    engine.CullScene();
    const std::vector<bool> inView = Drawn(copies);
    // The last traversal's flags are the frame's: the draw distance's, or the view's own.
    if (distanceM > 0.0f && CullWithin(engine, distanceM) && oneLimit) near = Drawn(copies);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const bool fine = inView[i] && near[i] && !copies[i].group->IsCulled() && !copies[i].fine->IsCulled();
        copies[i].fine->SetCulled(!fine);
        copies[i].coarse->SetCulled(!(inView[i] && !near[i]));
    }
}
