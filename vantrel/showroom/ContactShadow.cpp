#include "ContactShadow.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Renderer.h>

namespace {

// How far the patch reaches past the car on each side (m): the light is above,
// so the shadow is hardly larger than the car.
const float MarginM = 0.5f;
// Width of the soft edge (m), over which the patch fades to nothing.
const float FadeM = 0.5f;
// Lifted this far off the ground (m), with a depth offset, so that the ground
// never shows through it.
const float LiftM = 0.01f;

}  // namespace

namespace {

// Grows `box` by every vertex drawn below `node`, in the frame `toCar` (GL
// order, as the transforms keep it) takes them to.
void ExpandBy(const Node& node, const vmath::mat4<float>& toCar, BoundingBox& box) {
    vmath::mat4<float> frame = toCar;
    if (const auto* group = dynamic_cast<const GroupNode*>(&node)) frame = group->GetTransform().GetMatrix() * toCar;
    if (const auto* meshNode = dynamic_cast<const MeshNode*>(&node)) {
        const vmath::mat4<float> apply = vmath::transpose(frame);
        for (const vmath::vec3<float>& vertex : meshNode->GetMesh().GetVertexArray())
            box.Expand(vmath::vec3<float>(apply * vmath::vec4<float>(vertex, 1.0f)));
    }
    for (unsigned int i = 0; const Node* child = node.GetChild(i); ++i) ExpandBy(*child, frame, box);
}

}  // namespace

BoundingBox ContactShadow::BoxOf(const GroupNode& car) {
    BoundingBox box;
    for (unsigned int i = 0; const Node* child = car.GetChild(i); ++i)
        ExpandBy(*child, vmath::mat4<float>::identity(), box);
    return box;
}

ContactShadow::Footprint ContactShadow::FootprintOf(const GroupNode& car) {
    const BoundingBox box = BoxOf(car);
    Footprint footprint;
    const vmath::vec3<float>& lo = box.GetMinimum();
    const vmath::vec3<float>& hi = box.GetMaximum();
    if (!(hi.x > lo.x && hi.y > lo.y) || !std::isfinite(hi.x - lo.x) || !std::isfinite(hi.y - lo.y)) return footprint;
    footprint.minX = lo.x - MarginM;
    footprint.maxX = hi.x + MarginM;
    footprint.minY = lo.y - MarginM;
    footprint.maxY = hi.y + MarginM;
    footprint.groundZ = lo.z;
    return footprint;
}

void ContactShadow::Draw(Renderer& renderer, const View& view, const vmath::mat4<float>& carMatrix,
                         const Footprint& footprint) {
    if (footprint.IsEmpty()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT |
                 GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    // Whatever unit the scene left a texture on would tint the patch.
    GLint activeUnit = GL_TEXTURE0, units = 1;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    for (GLint unit = 0; unit < units; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glActiveTexture(static_cast<GLenum>(activeUnit));
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -4.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    renderer.SetViewing(view);
    glMultMatrixf(carMatrix.ptr());

    // A 3 x 3 grid of quads: dark over the middle, its colour fading out to
    // the edge along the outer ring, so the patch has no hard border.
    const float fadeX = std::min(FadeM, 0.5f * (footprint.maxX - footprint.minX));
    const float fadeY = std::min(FadeM, 0.5f * (footprint.maxY - footprint.minY));
    const float xs[4] = {footprint.minX, footprint.minX + fadeX, footprint.maxX - fadeX, footprint.maxX};
    const float ys[4] = {footprint.minY, footprint.minY + fadeY, footprint.maxY - fadeY, footprint.maxY};
    const auto corner = [&](int i, int j) {
        const bool inner = i > 0 && i < 3 && j > 0 && j < 3;
        glColor4f(0.0f, 0.0f, 0.0f, inner ? Darkness : 0.0f);
        glVertex3f(xs[i], ys[j], footprint.groundZ + LiftM);
    };
    glBegin(GL_QUADS);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            corner(i, j);
            corner(i + 1, j);
            corner(i + 1, j + 1);
            corner(i, j + 1);
        }
    glEnd();

    glPopMatrix();
    glPopAttrib();
}
