#include "OnlineGame.h"

#include "OnlinePage.h"
#include "cars/CarPool.h"

#include <nodara/ModelPlugin.h>

#include "track/TrackTerrain.h"

namespace {

Protocol::Difficulty DifficultyOf(RacingDriver::Skill skill) {
    switch (skill) {
    case RacingDriver::Skill::Easy: return Protocol::Difficulty::Easy;
    case RacingDriver::Skill::Hard: return Protocol::Difficulty::Hard;
    case RacingDriver::Skill::Medium: break;
    }
    return Protocol::Difficulty::Medium;
}

/// A car as the lobby names it: its shown name, or the key of a car this game lacks.
std::string CarNameOf(const std::string& key) {
    const std::size_t index = CarPool::Cars().Find(key);
    return index < CarPool::Count() ? CarPool::ShownName(static_cast<unsigned>(index)) : key;
}

}  // namespace

OnlineGame::OnlineGame(const TrackList& tracks, SettingsStore* settings)
    : tracks(tracks), settings(settings), online(OnlineSettings::Read(settings)), board(tracks) {}

void OnlineGame::Attach(OnlinePage& page) const { page.SetAddress(online.address); }

void OnlineGame::Leave() {
    session.Leave();
    failure.clear();
}

std::string OnlineGame::SetName(const std::string& name) {
    if (!Protocol::IsValidName(name))
        return "A name is 1 to " + std::to_string(Protocol::MaxNameLength) +
               " letters, digits or signs, with no space at either end";
    online.name = name;
    online.Keep(settings);
    return "";
}

NetClient::Identity OnlineGame::Identity(const Choices& choices, const std::string& password) const {
    NetClient::Identity who;
    who.name = online.name;
    who.car = choices.carKey;
    who.password = password;
    return who;
}

NetClient::TrackLookup OnlineGame::Lookup() const {
    const TrackList* list = &tracks;
    return [list](const std::string& key, bool reverse) -> std::uint32_t {
        const auto direction = reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
        const std::optional<std::size_t> choice = list->Find(key, direction);
        if (!choice || !list->IsUsable(list->GetChoices()[*choice])) return 0;
        return list->TrackOf(list->GetChoices()[*choice]).RoadFor(direction).GetChecksum();
    };
}

void OnlineGame::Act(OnlinePage& page, const Choices& choices) {
    const OnlinePage::Request request = page.TakeRequest();
    if (request == OnlinePage::Request::None) return;
    failure.clear();
    switch (request) {
    case OnlinePage::Request::Host: {
        if (choices.trackChoice >= tracks.GetChoices().size()) {
            failure = "No track to race: the game found none";
            break;
        }
        const TrackList::Choice& way = tracks.GetChoices()[choices.trackChoice];
        const TrackDescription& track = tracks.TrackOf(way);
        Lobby::Settings lobby;
        // "Ann's game", cut to a name the others can be shown.
        lobby.serverName = online.name.substr(0, Protocol::MaxNameLength - 7) + "'s game";
        lobby.choice.track = {track.GetKey(), way.direction == TrackDescription::Direction::Reverse,
                              track.RoadFor(way.direction).GetChecksum()};
        lobby.choice.mode = page.IsHostingTrial() ? Protocol::Mode::TimeTrial : Protocol::Mode::Race;
        lobby.choice.opponents = static_cast<std::uint8_t>(choices.opponents);
        lobby.choice.difficulty = DifficultyOf(choices.skill);
        lobby.password = page.GetPassword();
        // The server races on the track's ground, read here without a window of its own.
        OnlineSession::Ground ground{track, nullptr};
        ModelPlugin plugin;
        std::string problem;
        auto terrain = std::make_shared<TrackTerrain>();
        if (!plugin.Open(ModelPlugin::DefaultName, problem) || !terrain->Load(plugin, track.GetModelFile(), problem)) {
            failure = "Cannot host " + track.GetName() + ": " + problem;
            break;
        }
        ground.terrain = std::move(terrain);
        session.Host(std::move(lobby), listen, ground, Identity(choices, page.GetPassword()), Lookup(), failure);
        break;
    }
    case OnlinePage::Request::Join: {
        online.address = page.GetAddress();
        online.Keep(settings);
        if (const std::optional<HostAddress> address =
                HostAddress::Parse(page.GetAddress(), NetHost::DefaultPort, failure))
            session.Join(*address, Identity(choices, page.GetPassword()), Lookup(), failure);
        break;
    }
    case OnlinePage::Request::JoinFound: {
        const std::vector<ServerSearch::Found> found = session.GetFound();
        if (page.GetFoundChoice() < found.size()) {
            const ServerSearch::Found& game = found[page.GetFoundChoice()];
            session.Join({game.address, game.info.port}, Identity(choices, page.GetPassword()), Lookup(), failure);
        }
        break;
    }
    case OnlinePage::Request::Search:
        if (!session.Search()) failure = "Cannot search: this machine is on no local network";
        break;
    case OnlinePage::Request::Ready:
        if (NetClient* client = session.GetClient()) {
            bool ready = false;
            for (const Protocol::LobbyPlayer& player : client->GetLobby().players)
                if (player.id == client->GetPlayerId()) ready = player.ready;
            client->SetReady(!ready);
        }
        break;
    case OnlinePage::Request::Leave: session.Leave(); break;
    case OnlinePage::Request::Board:
        if (NetClient* client = session.GetClient())
            failure = board.Toggle(*client, client->GetChoice().track, choices.carKey);
        break;
    case OnlinePage::Request::SendRuns:
        if (NetClient* client = session.GetClient()) failure = board.SendBestRuns(*client, client->GetChoice().track);
        break;
    case OnlinePage::Request::Fetch:
        if (NetClient* client = session.GetClient()) failure = board.Fetch(*client, page.GetBoardChoice());
        break;
    case OnlinePage::Request::None: break;
    }
}

void OnlineGame::Frame(OnlinePage& page, const Choices& choices, double dtS) {
    Act(page, choices);
    session.Update(dtS);
    if (NetClient* client = session.GetClient(); client && !raceStart) raceStart = client->TakeRaceStart();
    OnlinePage::View view;
    view.inGame = session.IsInLobby();
    for (const ServerSearch::Found& game : session.GetFound()) {
        const Discovery::ServerInfo& info = game.info;
        std::string line = info.name + "   " + std::to_string(info.players) + " / " +
                           std::to_string(info.maxPlayers) + "   " + info.choice.track.key +
                           (info.choice.track.reverse ? " reversed" : "") + "   " + game.address + ":" +
                           std::to_string(info.port);
        if (info.gameVersion != OnlineSession::GameVersion) line += "   version " + info.gameVersion;
        if (info.password) line += "   (password)";
        view.found.push_back(line);
    }
    view.lobby = session.LobbyLines(&CarNameOf);
    if (!view.inGame) board.Hide();
    if (const std::string line = board.Frame(session.GetClient()); !line.empty()) failure = line;
    view.showingBoard = board.IsShown();
    view.board = board.Lines();
    if (NetClient* client = session.GetClient()) {
        for (const std::string& notice : client->TakeNotices()) failure = notice;
        for (const Protocol::PlayerLeft& gone : client->TakeLeft())
            if (const auto name = names.find(gone.playerId); name != names.end()) failure = name->second + " left";
        names.clear();
        for (const Protocol::LobbyPlayer& player : client->GetLobby().players) names[player.id] = player.name;
    }
    // The link's end ("Server stopped") outranks the notices that came before it.
    const NetClient* client = session.GetClient();
    const bool ended = client && (client->GetState() == NetClient::State::Stopped ||
                                  client->GetState() == NetClient::State::Lost);
    view.status = !failure.empty() && !ended ? failure : session.StatusLine();
    page.SetView(std::move(view));
}
