#include "Gauge.h"

#include <GL/glew.h>

Gauge::Gauge(unsigned int texture, float scale, std::vector<CalibrationPoint> calibration)
    : texture(texture), scale(scale), calibration(std::move(calibration)) {}

Gauge::~Gauge() {
    if (texture != 0) glDeleteTextures(1, &texture);
}

void Gauge::Draw() const {
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glActiveTexture(GL_TEXTURE3);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glScalef(scale, scale, 1.0f);
    glBegin(GL_QUADS);
    glMultiTexCoord2f(GL_TEXTURE3, 0.0f, 0.0f);
    glVertex3f(-50.0f, -50.0f, -0.5f);
    glMultiTexCoord2f(GL_TEXTURE3, 1.0f, 0.0f);
    glVertex3f(50.0f, -50.0f, -0.5f);
    glMultiTexCoord2f(GL_TEXTURE3, 1.0f, 1.0f);
    glVertex3f(50.0f, 50.0f, -0.5f);
    glMultiTexCoord2f(GL_TEXTURE3, 0.0f, 1.0f);
    glVertex3f(-50.0f, 50.0f, -0.5f);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);

    glPushAttrib(GL_LINE_BIT);
    glLineWidth(4.0f);
    glRotatef(needleAngle, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(40.0f, 0.0f, 0.0f);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}
