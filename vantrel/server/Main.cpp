// The dedicated server: reads its options, finds the track it races in the
// game's data, and runs the lobby until SIGINT or SIGTERM, which it answers
// by telling every client "Server stopped". No window, GL or sound: the
// track's terrain comes through the model plug-in alone.
// Returns 0 after a signal, 1 when it cannot start (no data, the port
// taken) and ServerOptions::UsageError after a bad command line.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include <nodara/Logger.h>
#include <nodara/ModelPlugin.h>

#include "ServerOptions.h"
#include "leaderboard/RunBoard.h"
#include "net/GameServer.h"
#include "storage/UserFolders.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

// Set by the build from the project's version.
#ifndef VANTREL_VERSION
#error "VANTREL_VERSION must be defined by the build"
#endif

namespace {

Logger logger("VantrelServer");
volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

/// The game's data lies at "../data" from the program's folder, as it does
/// for the game: the folder of /proc/self/exe, links resolved.
bool ChangeToOwnFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    if (!slash) return false;
    *slash = '\0';
    return chdir(path[0] ? path : "/") == 0;
}

std::string TrackKeys(const TrackList& tracks) {
    std::string keys;
    for (const TrackDescription& t : tracks.GetTracks()) keys += (keys.empty() ? "" : ", ") + t.GetKey();
    return keys;
}

/// The leaderboards in `path` (empty: the default beside the player's
/// files), checked on the tracks of `tracks`, whose ground a plug-in of its
/// own reads as the runs come. Null, having said why, when there is no
/// database to be had.
std::shared_ptr<RunBoard> OpenBoard(const std::string& path, const TrackList& tracks) {
    std::string file = path.empty() ? Leaderboard::DefaultPath() : path;
    std::string problem;
    if (path.empty() && (file.empty() || !UserFolders::MakeFolder(UserFolders::DataFolder(), problem))) {
        logger.Log(Logger::Warn, "no leaderboard: there is no folder for its file" +
                                     (problem.empty() ? std::string() : " (" + problem + ")"));
        return nullptr;
    }
    auto plugin = std::make_shared<ModelPlugin>();
    if (!plugin->Open(ModelPlugin::DefaultName, problem)) {
        logger.Log(Logger::Error, "no leaderboard: " + problem);
        return nullptr;
    }
    auto board = std::make_shared<RunBoard>(
        tracks.GetTracks(), [plugin](const TrackDescription& track) -> std::shared_ptr<const TrackTerrain> {
            auto terrain = std::make_shared<TrackTerrain>();
            std::string why;
            if (terrain->Load(*plugin, track.GetModelFile(), why)) return terrain;
            logger.Log(Logger::Error, "cannot check runs on " + track.GetKey() + ": " + why);
            return nullptr;
        });
    if (!board->Open(file, problem)) {
        logger.Log(Logger::Error, "no leaderboard: " + problem);
        return nullptr;
    }
    // A damaged file was set aside: say so once, and go on with a new one.
    if (!problem.empty()) logger.Log(Logger::Warn, problem);
    logger.Log(Logger::Info, "leaderboard in " + file);
    return board;
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    if (const std::optional<int> status = options.Parse(argc, argv, std::cout, std::cerr)) return *status;
    const ServerOptions::Choices& choices = options.GetChoices();
    // An operator reads what the lobby does; --verbose adds every link.
    Logger::SetProcessLevel(choices.verbose ? Logger::Debug : Logger::Info);
    // From here on a signal only raises the flag, seen within a tick: one
    // that comes while the tracks load still ends the program cleanly.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (!ChangeToOwnFolder()) {
        logger.Log(Logger::Error, "cannot find the program's own folder");
        return 1;
    }
    TrackList tracks;
    if (tracks.Load() == 0) {
        logger.Log(Logger::Error, std::string("no usable track in ") + TrackList::DataFolder);
        return 1;
    }
    const std::string key = !choices.track.empty()                                     ? choices.track
                            : tracks.Find(TrackDescription::OriginalTrack,
                                          TrackDescription::Direction::Forward)        ? TrackDescription::OriginalTrack
                                                                                       : tracks.GetTracks().front().GetKey();
    const TrackDescription::Direction direction =
        choices.reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
    const std::optional<std::size_t> choice = tracks.Find(key, direction);
    if (!choice) {
        const bool known = tracks.Find(key, TrackDescription::Direction::Forward) ||
                           tracks.Find(key, TrackDescription::Direction::Reverse);
        return options.Fail(known ? "the track '" + key + "' is not driven " +
                                        TrackDescription::DirectionName(direction)
                                  : "no track '" + key + "' (the tracks: " + TrackKeys(tracks) + ")",
                            std::cerr);
    }
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);

    // The ground the server's cars drive on, read once through the model
    // plug-in (no window needed); the model itself is let go at once.
    auto terrain = std::make_shared<TrackTerrain>();
    {
        ModelPlugin plugin;
        std::string problem;
        if (!plugin.Open(ModelPlugin::DefaultName, problem) || !terrain->Load(plugin, track.GetModelFile(), problem)) {
            logger.Log(Logger::Error, "cannot race on " + track.GetKey() + ": " + problem);
            return 1;
        }
    }

    GameServer::Settings settings;
    settings.board = OpenBoard(choices.database, tracks);
    if (!settings.board && !choices.database.empty()) return 1;
    settings.track = track;
    settings.terrain = terrain;
    settings.address = choices.address;
    settings.port = choices.port;
    settings.discoveryPort = Discovery::DefaultPort;
    settings.lobby.serverName = choices.name;
    settings.lobby.maxPlayers = choices.maxPlayers;
    settings.lobby.password = choices.password;
    settings.lobby.gameVersion = VANTREL_VERSION;
    settings.lobby.choice.track = {track.GetKey(), choices.reverse, track.RoadFor(direction).GetChecksum()};
    settings.lobby.choice.mode = choices.mode;
    settings.lobby.choice.opponents = static_cast<std::uint8_t>(choices.opponents);
    settings.lobby.choice.difficulty = choices.difficulty;
    GameServer server(settings);
    if (!server.Start()) return 1;

    server.Run(stopRequested);
    return 0;
}
