#include "VantrelApp.h"

#include "GameMode.h"
#include "WindowProcedure.h"
#include "platform/AppWindow.h"
#include "platform/EventTranslator.h"

const char* const VantrelApp::WindowTitle = "Vantrel";
const char* const VantrelApp::WindowClassName = "VANTREL";

VantrelApp& VantrelApp::Instance() {
    static VantrelApp app;
    return app;
}

VantrelApp::VantrelApp() {
    // First in the keyboard list, so the mode switches see every key before
    // the modes do.
    eventHandler.AddListener(EventHandler::KeyEvent, this);
    eventHandler.AddListener(EventHandler::QuitEvent, this);
}

VantrelApp::~VantrelApp() {
    // The modes' engines free GL objects as they go, so they go first, while
    // the context is still current.
    delete showRoom;
    delete race;
    window.reset();
}

bool VantrelApp::Initialize() {
    window.reset();
    window = AppWindow::Create(WindowTitle, WindowClassName, WindowWidthPx, WindowHeightPx);
    if (!window) return false;
    // A new window gets its first size message before anything is drawn.
    int widthPx = 0, heightPx = 0;
    window->GetClientSize(widthPx, heightPx);
    WindowProcedure(WM_SIZE, 0, MakeLParam(widthPx, heightPx));
    return true;
}

bool VantrelApp::Start() {
    // The sound engine, the show room and the music start here; until they
    // exist the loop only pumps messages and swaps buffers.
    return true;
}

void VantrelApp::Frame() {
    WindowMessage message;
    if (PeekWindowMessage(message)) WindowProcedure(message.message, message.wParam, message.lParam);
    if (race) race->Frame();
    if (showRoom) showRoom->Frame();
    if (window) window->SwapBuffers();
}

void VantrelApp::OnKey(EventHandler&, unsigned, int) {}

void VantrelApp::OnQuit(EventHandler&) { quitRequested = true; }
