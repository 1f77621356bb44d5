// The program entry: read the options, then from its own folder open the
// window, start the game and run the frame loop until a quit is requested.
// A quit the player asks for returns 0; a game that cannot open its window or
// start its show room returns 1, having said why, and a bad command line
// returns CommandLine's status.
#include <cstdlib>
#include <iostream>
#include <string>

#include <nodara/Logger.h>

#include "CommandLine.h"
#include "VantrelApp.h"
#include "platform/ProgramFolder.h"

namespace {

// A player's console carries warnings and errors only; VANTREL_LOG=info or
// debug (or --verbose, for everything) brings back what a developer reads.
Logger::Level ConsoleLevel() {
    const char* setting = std::getenv("VANTREL_LOG");
    const std::string value = setting ? setting : "";
    if (value == "debug") return Logger::Debug;
    if (value == "info") return Logger::Info;
    return Logger::Warn;
}

}  // namespace

int main(int argc, char** argv) {
    Logger::SetProcessLevel(ConsoleLevel());
    // Before the folder change, so values naming files are taken from where
    // the player started the program.
    const CommandLine commandLine;  // --verbose lowers the level set above
    if (const std::optional<int> status = commandLine.Parse(argc, argv, std::cout, std::cerr)) return *status;
    // Without its folder the data is not found and Start fails on its own.
    ChangeToProgramFolder();
    VantrelApp& app = VantrelApp::Instance();
    app.Configure(commandLine.GetChoices());
    if (!app.Initialize() || !app.Start()) return 1;
    while (!app.IsQuitRequested()) app.Frame();
    // A show room that cannot come back after a race ends the game too.
    return app.GetFailure().empty() ? 0 : 1;
}
