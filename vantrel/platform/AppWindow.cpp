#include "AppWindow.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include "AppIcon.h"

namespace {

void SetIcon(SDL_Window* window) {
    std::vector<std::uint32_t> pixels = MakeAppIcon();
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), AppIconSizePx, AppIconSizePx, 32,
                                                           AppIconSizePx * 4, SDL_PIXELFORMAT_ARGB8888);
    // A window without its icon still works; nothing to report.
    if (!icon) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

}  // namespace

std::unique_ptr<AppWindow> AppWindow::Create(const std::string& title, const std::string& className,
                                             int widthPx, int heightPx) {
    // SDL's X11 driver reads the WM_CLASS (instance and class) from here.
    setenv("SDL_VIDEO_X11_WMCLASS", className.c_str(), 1);
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    // A software rasteriser (Mesa's llvmpipe) shares each frame's tiles out
    // to its threads, one a core by default; the game's own thread and the
    // display server take turns on those cores, and the frame then waits for
    // the tile a pre-empted thread holds. With two threads a core the 99th
    // percentile frame of the show room at Medium fell from 1.7 to 1.4 times
    // the median on two cores, the mean unchanged. Read when the context is
    // made; other drivers ignore it, and a player's own setting stands.
    if (const unsigned cores = std::thread::hardware_concurrency())
        setenv("LP_NUM_THREADS", std::to_string(2 * cores).c_str(), 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;

    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    // No depth or stencil buffer: the 3-D view is drawn into an off-screen
    // target that has its own (OglScaledView) and the overlay is drawn in
    // order. A window without them lets a software rasteriser take its fast
    // path for the target's stretch and copy.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    // Hidden until the icon is set, so the window appears whole.
    SDL_Window* window = SDL_CreateWindow(title.c_str(), 0, 0, widthPx, heightPx,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!window) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SetIcon(window);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context || SDL_GL_MakeCurrent(window, context) != 0) {
        if (context) SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    // Fails where the driver has no say over the swap interval; the loop
    // then simply runs unsynchronised.
    SDL_GL_SetSwapInterval(1);
    // The game reads keys, never text: without this every key press would
    // also queue a text event, and each queued event costs a frame.
    SDL_StopTextInput();
    SDL_ShowWindow(window);
    return std::unique_ptr<AppWindow>(new AppWindow(window, context));
}

void AppWindow::SetTextInput(bool on) {
    if (on == (SDL_IsTextInputActive() == SDL_TRUE)) return;
    if (on)
        SDL_StartTextInput();
    else
        SDL_StopTextInput();
}

AppWindow::~AppWindow() {
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void AppWindow::SwapBuffers() { SDL_GL_SwapWindow(window); }

namespace {

// SDL asks the window manager for full screen; where none runs (a bare X
// server, as in the tests) nobody would carry the request out.
bool HasWindowManager(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* value = nullptr;
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType,
                                          &type, &format, &count, &left, &value) == Success &&
                       count > 0;
    if (value) XFree(value);
    return found;
}

}  // namespace

bool AppWindow::SetFullscreen(bool fullscreen) {
    if (HasWindowManager(window))
        // The desktop's own resolution: no mode switch, so no flicker and
        // nothing to restore should the game end abruptly.
        return SDL_SetWindowFullscreen(window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
    // Without one the window covers the screen itself, borderless.
    if (fullscreen) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) != 0) return false;
        if (!windowedWidthPx) SDL_GetWindowSize(window, &windowedWidthPx, &windowedHeightPx);
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    } else if (windowedWidthPx) {
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_SetWindowSize(window, windowedWidthPx, windowedHeightPx);
        SDL_SetWindowPosition(window, 0, 0);
        windowedWidthPx = windowedHeightPx = 0;
    }
    return true;
}

void AppWindow::GetClientSize(int& widthPx, int& heightPx) const {
    SDL_GL_GetDrawableSize(window, &widthPx, &heightPx);
}

void AppWindow::SetClientSize(int widthPx, int heightPx) {
    // Full screen without a window manager: the size is ours to give back later.
    if (windowedWidthPx) {
        windowedWidthPx = widthPx;
        windowedHeightPx = heightPx;
        return;
    }
    // In SDL's own full screen this is the size the window leaves it at.
    SDL_SetWindowSize(window, widthPx, heightPx);
}

std::vector<std::pair<int, int>> AppWindow::GetDisplaySizes() const {
    // Smaller is no use for the menus, which are laid out for 1024 x 768.
    const int minWidthPx = 640, minHeightPx = 480;
    std::vector<std::pair<int, int>> sizes;
    const int display = SDL_GetWindowDisplayIndex(window);
    const int count = display < 0 ? 0 : SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0 || mode.w < minWidthPx || mode.h < minHeightPx) continue;
        sizes.emplace_back(mode.w, mode.h);
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}
