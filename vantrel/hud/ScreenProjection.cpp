#include "ScreenProjection.h"

#include <GL/glew.h>

ScreenProjection::ScreenProjection(float scale) {
    GLfloat viewport[4];
    glGetFloatv(GL_VIEWPORT, viewport);
    if (!(scale > 0.0f) || scale > 1.0f) scale = 1.0f;
    width = viewport[2] / scale;
    height = viewport[3] / scale;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

ScreenProjection::~ScreenProjection() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
