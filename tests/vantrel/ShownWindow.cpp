#include "ShownWindow.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xutil.h>

namespace {

/// The channel of X pixel `pixel` under `mask`, as 0..255 (8-bit channels).
std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    while ((mask & 1) == 0) {
        mask >>= 1;
        pixel >>= 1;
    }
    return static_cast<std::uint8_t>(pixel & mask);
}

}  // namespace

std::vector<std::uint8_t> ReadShownWindow(int width, int height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(SDL_GL_GetCurrentWindow(), &info) || info.subsystem != SDL_SYSWM_X11) return {};
    glFinish();
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return {};
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            rgb.insert(rgb.end(), {Channel(pixel, image->red_mask), Channel(pixel, image->green_mask),
                                   Channel(pixel, image->blue_mask)});
        }
    XDestroyImage(image);
    return rgb;
}
