#include "GlContext.h"
#include "TestDisplay.h"

#include <SDL2/SDL.h>
#include <GL/gl.h>
#include <dlfcn.h>
#include <glob.h>
#include <link.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Keeps Mesa's DRI driver loaded until the process ends. SDL unloads the GL
// library, and with it the driver, whenever its last GL window goes; the
// driver's own global blocks are then no longer reachable from its data, and
// LeakSanitizer reports them from an unknown module that no suppression can
// name. Pinned, they stay reachable and are not reported.
void PinLoadedDriver() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "/dri/"))
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

/// Loads and pins Mesa's software driver, which the tests render with, before
/// any context exists, as preloading it would: this covers the test programs
/// whose contexts the game itself makes and whose windows come and go. No
/// throwaway context: the threads of one that came and went tripped
/// LeakSanitizer's thread scan at exit now and then.
void PinSoftwareDriver() {
    glob_t found{};
    if (glob("/usr/lib/*/dri/swrast_dri.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
        dlopen(found.gl_pathv[0], RTLD_LAZY | RTLD_NODELETE);
    globfree(&found);
}

bool ready = false;  ///< the display is open and the driver pinned

}  // namespace

bool OpenTestDisplay(std::string& error) {
    if (ready) return true;
    // Debian's GLEW is built for GLX: force X11 rather than an EGL path.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    for (int attempt = 0; attempt < 10 && !ready; ++attempt) {
        if (attempt > 0) SDL_Delay(100 * attempt);
        ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    if (!ready) {
        error = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    PinSoftwareDriver();
    return true;
}

void CloseTestDisplay() {
    if (!ready) return;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    ready = false;
}

void OpenTestDisplayOrExit() {
    std::string error;
    if (OpenTestDisplay(error)) return;
    std::fprintf(stderr, "cannot open the test display: %s\n", error.c_str());
    std::exit(1);
}

GlContext::GlContext(int width, int height) : width(width), height(height) {
    if (!OpenTestDisplay(error)) return;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        error = std::string("SDL window: ") + SDL_GetError();
        return;
    }
    context = SDL_GL_CreateContext(window);
    if (!context) {
        error = std::string("GL context: ") + SDL_GetError();
        return;
    }
    SDL_GL_MakeCurrent(window, context);
    PinLoadedDriver();  // whichever driver the context took
    glViewport(0, 0, width, height);
}

GlContext::~GlContext() {
    if (context) SDL_GL_DeleteContext(context);
    if (window) SDL_DestroyWindow(window);
}

std::uint32_t GlContext::Pixel(int x, int y) const {
    std::uint8_t rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[0] | (rgba[1] << 8) | (rgba[2] << 16) | (std::uint32_t(rgba[3]) << 24);
}

std::vector<std::uint8_t> GlContext::ReadPixels() const {
    std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void GlContext::Swap() { SDL_GL_SwapWindow(window); }
