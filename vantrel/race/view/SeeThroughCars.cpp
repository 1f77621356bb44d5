#include "SeeThroughCars.h"

#include <GL/glew.h>

#include <nodara/Renderer.h>
#include <nodara/GroupNode.h>

#include "cars/Car.h"

void SeeThroughCars::Draw(Renderer& renderer, const View& view, const std::vector<const Car*>& cars) {
    if (cars.empty()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT |
                 GL_LIGHTING_BIT);
    // The effect pass leaves its shadow and environment maps on units 0 and
    // 1; the car's own textures come on unit 2.
    for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1}) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
        for (GLenum coordinate : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
            glDisable(coordinate);
    }
    glUseProgram(0);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    renderer.SetViewing(view);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const Car* car : cars) {
        if (!car || !car->node) continue;
        // Its depth alone first, then its colour only where it is the
        // nearest surface: one layer of car blended over the road, not every
        // panel behind it as well.
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        car->node->Render(renderer);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        car->node->Render(renderer);
    }
    glPopMatrix();
    glPopAttrib();
}
