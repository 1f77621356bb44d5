#include "ScreenProjection.h"

#include <GL/glew.h>

ScreenProjection::ScreenProjection() {
    GLfloat viewport[4];
    glGetFloatv(GL_VIEWPORT, viewport);
    width = viewport[2];
    height = viewport[3];
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
