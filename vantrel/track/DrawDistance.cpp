#include "DrawDistance.h"

#include <GL/glew.h>

#include <lumora/Lumora.h>
#include <nodara/GroupNode.h>

void DrawDistance::Cull(Lumora& engine, float distanceM, const std::vector<TerrainTiles::FarTile>& farTiles) {
    if (!(distanceM > 0.0f)) {
        // No limit: only what lies outside the frame's own view is left out,
        // which changes no pixel and spares the vertices behind the camera.
        engine.CullScene();
        return;
    }
    // What the frame's own view holds, for the coarse copies.
    std::vector<bool> inView;
    if (!farTiles.empty()) {
        engine.CullScene();
        for (const TerrainTiles::FarTile& pair : farTiles) inView.push_back(!pair.tile->IsCulled());
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // A perspective matrix holds its planes in elements 10 and 14 (column
    // major): C = -(f + n) / (f - n), D = -2 f n / (f - n). Only the far plane
    // moves, so the view's sides and near plane stay the frame's own.
    const double c = projection[10], d = projection[14];
    const double nearM = d / (c - 1.0);
    const double farM = distanceM;
    if (nearM > 0.0 && farM > nearM) {
        projection[10] = static_cast<GLfloat>(-(farM + nearM) / (farM - nearM));
        projection[14] = static_cast<GLfloat>(-2.0 * farM * nearM / (farM - nearM));
        glLoadMatrixf(projection);
        engine.CullScene();
        for (std::size_t i = 0; i < farTiles.size(); ++i)
            farTiles[i].coarse->SetCulled(!(inView[i] && farTiles[i].tile->IsCulled()));
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
