#include "ViewProjection.h"

#include <GL/glew.h>
#include <GL/glu.h>

ViewProjection::ViewProjection(double verticalFieldOfViewDeg) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const double aspect = viewport[3] > 0 ? static_cast<double>(viewport[2]) / viewport[3] : 1.0;
    glGetDoublev(GL_PROJECTION_MATRIX, saved);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(verticalFieldOfViewDeg, aspect, NearPlaneM, FarPlaneM);
    glMatrixMode(GL_MODELVIEW);
}

ViewProjection::~ViewProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(saved);
    glMatrixMode(GL_MODELVIEW);
}
