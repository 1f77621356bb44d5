// The program entry: from its own folder, open the window, start the game and
// run the frame loop until a quit is requested. Every way out returns 0.
#include "VantrelApp.h"
#include "platform/ProgramFolder.h"

int main() {
    // Without its folder the data is not found and Start fails on its own.
    ChangeToProgramFolder();
    VantrelApp& app = VantrelApp::Instance();
    if (!app.Initialize() || !app.Start()) return 0;
    while (!app.IsQuitRequested()) app.Frame();
    return 0;
}
