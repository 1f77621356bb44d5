#pragma once
// The game's window and its OpenGL context: the output half of the platform
// layer.
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct SDL_Window;

/// One top-level window with a current OpenGL 2.0 compatibility context.
/// Destroying it unbinds and deletes the context, then closes the window.
class AppWindow {
public:
    /// Opens a shown, resizable window at (0, 0) whose client area is
    /// `widthPx` × `heightPx`, with the X11 class `className` and the built-in
    /// icon, and makes a double-buffered OpenGL 2.0 compatibility context
    /// without depth or stencil buffer current on it. Buffer swaps
    /// wait for the display where the driver allows it; where it does not,
    /// they do not, and that is not an error.
    /// NOTE: SDL's x11 video driver is forced, since Debian's GLEW speaks GLX only.
    /// @return the window, or null when SDL, the window or the context cannot be made
    static std::unique_ptr<AppWindow> Create(const std::string& title, const std::string& className,
                                             int widthPx, int heightPx);
    ~AppWindow();
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    /// Shows the back buffer.
    void SwapBuffers();
    /// Whether typed characters arrive as character messages (WM_CHAR), for
    /// a line being typed; off otherwise, as each one costs an event.
    static void SetTextInput(bool on);
    /// Covers the whole screen (at the desktop's resolution) or gives the
    /// window back its size and place. The new size arrives as a size message.
    /// @return false when the window system refused
    bool SetFullscreen(bool fullscreen);
    /// Current size of the client area (px).
    void GetClientSize(int& widthPx, int& heightPx) const;
    /// Gives the window a client area of `widthPx` × `heightPx`; in full
    /// screen, the size it takes back when it leaves. The new size arrives
    /// as a size message.
    void SetClientSize(int widthPx, int heightPx);
    /// The sizes of the display modes SDL lists for the window's display
    /// (width, height; each at least 640 × 480), smallest first, each once.
    std::vector<std::pair<int, int>> GetDisplaySizes() const;

    SDL_Window* GetWindow() const { return window; }
    /// The GL context (an SDL_GLContext).
    void* GetContext() const { return context; }

private:
    AppWindow(SDL_Window* window, void* context) : window(window), context(context) {}

    SDL_Window* window;
    void* context;
    /// The size to go back to from a full screen made without a window manager; 0 otherwise.
    int windowedWidthPx = 0;
    int windowedHeightPx = 0;
};
