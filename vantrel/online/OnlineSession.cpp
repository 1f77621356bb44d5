#include "OnlineSession.h"

#include <cstdio>

#ifndef VANTREL_VERSION
#error "VANTREL_VERSION must be defined by the build"
#endif

const char* const OnlineSession::GameVersion = VANTREL_VERSION;

namespace {

const char* ModeName(Protocol::Mode mode) { return mode == Protocol::Mode::Race ? "Race" : "Time Trial"; }

}  // namespace

OnlineSession::~OnlineSession() { Leave(); }

bool OnlineSession::Host(Lobby::Settings lobby, const Listen& listen, const Ground& ground,
                         NetClient::Identity who, NetClient::TrackLookup lookup, std::string& why) {
    Leave();
    lobby.gameVersion = GameVersion;
    GameServer::Settings settings;
    settings.address = listen.address;
    settings.port = listen.port;
    settings.discoveryPort = listen.discoveryPort;
    settings.lobby = std::move(lobby);
    settings.track = ground.track;
    settings.terrain = ground.terrain;
    server = std::make_unique<GameServer>(std::move(settings));
    if (!server->Start()) {
        server.reset();
        why = "Cannot host: port " + std::to_string(listen.port) + " is taken (is a server running here already?)";
        return false;
    }
    hostedPort = server->GetPort();
    hostedName = server->GetInfo().name;
    // Its own thread: the game's frames (a race loading, a slow one) never hold its clock.
    stopServer = false;
    serverThread = std::thread([this] { server->Run(stopServer); });
    HostAddress self{"127.0.0.1", hostedPort};
    if (!Join(self, std::move(who), std::move(lookup), why)) {
        StopServer();
        return false;
    }
    return true;
}

void OnlineSession::StopServer() {
    if (!server) return;
    // Run tells every client "Server stopped" as it ends.
    stopServer = true;
    if (serverThread.joinable()) serverThread.join();
    server.reset();
}

bool OnlineSession::Join(const HostAddress& address, NetClient::Identity who, NetClient::TrackLookup lookup,
                         std::string& why) {
    if (client) client->Disconnect();
    client = std::make_unique<NetClient>();
    countdownsSeen = 0;
    who.gameVersion = GameVersion;
    joinedAt = address.host + ":" + std::to_string(address.port);
    if (!client->Connect(address.host, address.port, std::move(who), std::move(lookup))) {
        why = client->GetLine().empty() ? "Cannot join " + joinedAt : client->GetLine();
        client.reset();
        return false;
    }
    return true;
}

bool OnlineSession::Search() {
    searching = search.Start();
    return searching;
}

void OnlineSession::Leave() {
    if (client) {
        client->Disconnect();
        client.reset();
    }
    StopServer();
}

void OnlineSession::Update(double dtS) {
    if (client) {
        client->Service(0);
        // The server says when it starts; the seconds left are counted here.
        if (client->GetCountdownCount() != countdownsSeen) {
            countdownsSeen = client->GetCountdownCount();
            countdownLeftS = client->GetLastCountdownMs() / 1000.0;
        } else if (dtS > 0.0 && dtS < 1.0) {
            countdownLeftS = countdownLeftS > dtS ? countdownLeftS - dtS : 0.0;
        }
    }
    if (searching) search.Poll(0);
}

bool OnlineSession::IsInLobby() const { return client && client->GetState() == NetClient::State::InLobby; }

std::vector<ServerSearch::Found> OnlineSession::GetFound() const {
    std::vector<ServerSearch::Found> found;
    if (!searching) return found;
    for (const ServerSearch::Found& game : search.GetFound())
        if (!server || game.info.port != hostedPort || game.info.name != hostedName)
            found.push_back(game);
    return found;
}

std::string OnlineSession::StatusLine() const {
    if (!client) return "";
    switch (client->GetState()) {
    case NetClient::State::Idle: return "";
    case NetClient::State::Connecting:
    case NetClient::State::Joining: return "Joining " + joinedAt + " ...";
    case NetClient::State::InLobby:
        if (server) return "Hosting '" + client->GetServerName() + "' on port " + std::to_string(hostedPort);
        return "Joined '" + client->GetServerName() + "' at " + joinedAt;
    case NetClient::State::Refused:
    case NetClient::State::Stopped:
    case NetClient::State::Lost: return client->GetLine();
    }
    return "";
}

std::vector<std::string> OnlineSession::LobbyLines(std::string (*carName)(const std::string& key)) const {
    std::vector<std::string> lines;
    if (!IsInLobby()) return lines;
    const Protocol::RaceChoice& choice = client->GetChoice();
    std::string race = std::string(ModeName(choice.mode)) + " on " + choice.track.key +
                       (choice.track.reverse ? " reversed" : "");
    if (choice.mode == Protocol::Mode::Race) race += ", " + std::to_string(choice.opponents) + (choice.opponents == 1 ? " opponent" : " opponents");
    lines.push_back(race);
    const Protocol::LobbyState& lobby = client->GetLobby();
    for (const Protocol::LobbyPlayer& player : lobby.players) {
        std::string line = player.name + "   " + carName(player.car) + "   ";
        if (!player.trackOk)
            line += "missing the track";
        else
            line += player.ready ? "ready" : "not ready";
        if (player.id == client->GetPlayerId()) line += "   (you)";
        lines.push_back(line);
    }
    if (lobby.phase == Protocol::Phase::Countdown) {
        char countdown[48];
        std::snprintf(countdown, sizeof countdown, "Starting in %d s", static_cast<int>(countdownLeftS + 0.999));
        lines.push_back(countdown);
    } else if (lobby.phase == Protocol::Phase::Racing) {
        lines.push_back("Race under way: whoever joined since waits for the next");
    }
    return lines;
}
