#include "GameWindow.h"

#include <cstdlib>

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "VantrelApp.h"

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
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(VantrelApp::Instance().Initialize()) << SDL_GetError();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GameWindowEnvironment);

}  // namespace
