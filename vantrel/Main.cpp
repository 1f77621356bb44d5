// The program entry: read the options, then from its own folder open the
// window, start the game and run the frame loop until a quit is requested.
// Every way out of the game returns 0; only a bad command line does not.
#include <iostream>

#include "CommandLine.h"
#include "VantrelApp.h"
#include "platform/ProgramFolder.h"

int main(int argc, char** argv) {
    // Before the folder change, so values naming files are taken from where
    // the player started the program.
    const CommandLine commandLine;
    if (const std::optional<int> status = commandLine.Parse(argc, argv, std::cout, std::cerr)) return *status;
    // Without its folder the data is not found and Start fails on its own.
    ChangeToProgramFolder();
    VantrelApp& app = VantrelApp::Instance();
    if (!app.Initialize() || !app.Start()) return 0;
    while (!app.IsQuitRequested()) app.Frame();
    return 0;
}
