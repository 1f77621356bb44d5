#include "GameWindow.h"

#include <cstdio>
#include <cstdlib>

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "TestDisplay.h"
#include "shell/VantrelApp.h"

BackBuffer::BackBuffer() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = viewport[2];
    height = viewport[3];
    pixels.resize(static_cast<std::size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
}

namespace {

class GameWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        OpenTestDisplayOrExit();
        // Exits rather than asserts: a failing global set-up is reported as
        // every test skipped.
        if (!VantrelApp::Instance().Initialize()) {
            std::fprintf(stderr, "cannot open the game window: %s\n", SDL_GetError());
            std::exit(1);
        }
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GameWindowEnvironment);

}  // namespace
