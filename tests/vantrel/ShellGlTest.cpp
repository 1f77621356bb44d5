// The shell against a real X display and OpenGL context (Xvfb + llvmpipe).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <GL/gl.h>
#include <unistd.h>

#include "TestDisplay.h"
#include "shell/VantrelApp.h"
#include "shell/WindowProcedure.h"
#include "platform/AppWindow.h"

// After the game's headers: X11's macros (None among them) would rename names of theirs.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

void ExpectMatrix(const GLfloat (&actual)[16], const double (&expected)[16], const char* what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-4 * (1 + std::fabs(expected[i]))) << what << "[" << i << "]";
}

/// The projection gluPerspective(45°, aspect, 0.1, 50000) loads, in OpenGL's order.
void ExpectPerspective(double aspect) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double n = 0.1, far = 50000.0;
    const double expected[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + n) / (n - far), -1, 0, 0, 2 * far * n / (n - far), 0};
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    ExpectMatrix(projection, expected, "projection");
}

void ExpectIdentityModelView() {
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    ExpectMatrix(modelView, identity, "model-view");
}

/// Counts key and mouse events while registered with the application.
class Tally : public EventHandler::EventListener {
public:
    explicit Tally(EventHandler& handler) : handler(handler) {
        handler.AddListener(EventHandler::KeyEvent, this);
        handler.AddListener(EventHandler::MouseEvent, this);
    }
    ~Tally() {
        handler.RemoveListener(EventHandler::KeyEvent, this);
        handler.RemoveListener(EventHandler::MouseEvent, this);
    }
    void OnKey(EventHandler&, unsigned, int) override { ++keys; }
    void OnMouse(EventHandler&, int, int, int, int) override { ++moves; }
    int keys = 0, moves = 0;

private:
    EventHandler& handler;
};

/// Whether X window `id` belongs to this process (SDL sets _NET_WM_PID).
bool IsOwnWindow(Display* display, Window id) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    if (XGetWindowProperty(display, id, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) !=
            Success ||
        !data)
        return false;
    const bool own = count == 1 && format == 32 && *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
    XFree(data);
    return own;
}

/// Top-level X windows of the class VANTREL that this process has on the
/// application window's display; other test programs running beside it may
/// have theirs.
int CountGameWindows(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return -1;
    Display* display = info.info.x11.display;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return -1;
    int found = 0;
    for (unsigned i = 0; i < count; ++i) {
        XClassHint hint{};
        if (!XGetClassHint(display, children[i], &hint)) continue;
        if (std::strcmp(hint.res_class, "VANTREL") == 0 && IsOwnWindow(display, children[i])) ++found;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    XFree(children);
    return found;
}

void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

/// Holds SDL's video open for the whole test program, so replacing the
/// application's window does not reconnect to the X server: Xvfb in some
/// sandboxes refuses a connection made right after one was closed.
class VideoEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // SDL reads the X11 class when video starts, so it must be known
        // here already; the program's own class is checked by ProgramWindowTest.sh.
        setenv("SDL_VIDEO_X11_WMCLASS", VantrelApp::WindowClassName, 1);
        OpenTestDisplayOrExit();
    }
    void TearDown() override { CloseTestDisplay(); }
};

const auto* const videoEnvironment = ::testing::AddGlobalTestEnvironment(new VideoEnvironment);

}  // namespace

TEST(ResizeView, HeightZeroIsTakenAsOne) {
    ASSERT_TRUE(VantrelApp::Instance().Initialize()) << SDL_GetError();
    glMatrixMode(GL_TEXTURE);  // whatever was current before
    ResizeView(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);
    ExpectPerspective(800.0);
    ExpectIdentityModelView();
}

TEST(ResizeView, FitsViewportAndPerspectiveToTheWindow) {
    ASSERT_TRUE(VantrelApp::Instance().Initialize()) << SDL_GetError();
    glMatrixMode(GL_PROJECTION);
    glTranslatef(5, 5, 5);  // replaced, not multiplied
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    ResizeView(1024, 768);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    ExpectPerspective(1024.0 / 768.0);
    ExpectIdentityModelView();
}

TEST(VantrelApp, IsTheFirstKeyListenerAndTheQuitListener) {
    EventHandler& handler = VantrelApp::Instance().GetEventHandler();
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 0), &VantrelApp::Instance());
    EXPECT_EQ(handler.GetListener(EventHandler::QuitEvent, 0), &VantrelApp::Instance());
    EXPECT_EQ(handler.GetListenerCount(EventHandler::MouseEvent), 0u);
    EXPECT_EQ(&VantrelApp::Instance(), &VantrelApp::Instance());
}

TEST(VantrelApp, InitializeOpensTheGameWindowWithACurrentContext) {
    VantrelApp& app = VantrelApp::Instance();
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    SDL_Window* window = app.GetWindow()->GetWindow();
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Vantrel");
    int x = -1, y = -1, width = 0, height = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);

    EXPECT_EQ(SDL_GL_GetCurrentContext(), app.GetWindow()->GetContext());
    // The window is asked for no depth buffer: the 3-D view is drawn into a
    // target with its own, then copied over the window.
    int doubleBuffer = 0, red = 0;
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
    EXPECT_EQ(doubleBuffer, 1);
    EXPECT_GE(red, 8);
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_GE(std::atof(version), 2.0) << version;
    // Fixed-function matrices are there, so this is not a core profile.
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The new window's size message has already set the view up.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    ExpectPerspective(1024.0 / 768.0);
}

TEST(VantrelApp, ASoftwareRasteriserGetsTwoThreadsACoreUnlessThePlayerChoseItsOwn) {
    VantrelApp& app = VantrelApp::Instance();
    unsetenv("LP_NUM_THREADS");
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    ASSERT_NE(std::getenv("LP_NUM_THREADS"), nullptr);
    EXPECT_EQ(std::atoi(std::getenv("LP_NUM_THREADS")), static_cast<int>(2 * std::thread::hardware_concurrency()));
    setenv("LP_NUM_THREADS", "3", 1);
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    EXPECT_STREQ(std::getenv("LP_NUM_THREADS"), "3");
    unsetenv("LP_NUM_THREADS");
}

TEST(VantrelApp, SecondInitializeReplacesTheWindow) {
    VantrelApp& app = VantrelApp::Instance();
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    EXPECT_EQ(CountGameWindows(app.GetWindow()->GetWindow()), 1);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), app.GetWindow()->GetContext());
}

TEST(VantrelApp, FrameTakesOneMessagePerPassAndCloseEndsTheLoop) {
    VantrelApp& app = VantrelApp::Instance();
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    Tally tally(app.GetEventHandler());
    // Drop what the X server has sent so far (map, expose, focus), so the
    // queue starts with the three events below.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_a;
    Push(key);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = 10;
    move.motion.y = 10;
    Push(move);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(app.GetWindow()->GetWindow());
    Push(close);

    app.Frame();
    EXPECT_EQ(tally.keys, 1);
    EXPECT_EQ(tally.moves, 0);
    EXPECT_FALSE(app.IsQuitRequested());
    app.Frame();
    EXPECT_EQ(tally.moves, 1);
    EXPECT_FALSE(app.IsQuitRequested());
    app.Frame();
    EXPECT_TRUE(app.IsQuitRequested());
    EXPECT_EQ(tally.keys, 1);
}
