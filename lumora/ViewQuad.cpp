#include "ViewQuad.h"

#include <GL/glew.h>

ViewQuad::ViewQuad(unsigned int program, bool keepScissor) {
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TEXTURE_BIT | GL_POLYGON_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    if (!keepScissor) glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(program);
}

ViewQuad::~ViewQuad() {
    glUseProgram(static_cast<GLuint>(previousProgram));
    glPopAttrib();
}

void ViewQuad::Draw(float z) const {
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, z);
    glVertex3f(1.0f, -1.0f, z);
    glVertex3f(1.0f, 1.0f, z);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
}
