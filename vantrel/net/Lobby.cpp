#include "Lobby.h"

#include <algorithm>

Lobby::Lobby(Settings settings) : settings(std::move(settings)) {
    this->settings.maxPlayers = std::clamp<unsigned>(this->settings.maxPlayers, 1, Protocol::MaxPlayers);
}

Lobby::Player* Lobby::Find(std::uint8_t id) {
    for (Player& p : players)
        if (p.id == id) return &p;
    return nullptr;
}

const Lobby::Player* Lobby::FindPlayer(std::uint8_t id) const {
    for (const Player& p : players)
        if (p.id == id) return &p;
    return nullptr;
}

bool Lobby::HasChosenTrack(const Player& player) const {
    const Protocol::TrackRef& chosen = settings.choice.track;
    return player.track.checksum != 0 && player.track.key == chosen.key && player.track.reverse == chosen.reverse &&
           player.track.checksum == chosen.checksum;
}

std::string Lobby::MissingTrackLine() const {
    return "Missing track " + settings.choice.track.key + " (or another version of it)";
}

std::string Lobby::UniqueName(const std::string& name) const {
    const auto taken = [this](const std::string& candidate) {
        return std::any_of(players.begin(), players.end(), [&](const Player& p) { return p.name == candidate; });
    };
    if (!taken(name)) return name;
    for (unsigned n = 2;; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string base = name.substr(0, Protocol::MaxNameLength - suffix.size());
        while (!base.empty() && base.back() == ' ') base.pop_back();
        if (!taken(base + suffix)) return base + suffix;
    }
}

bool Lobby::Join(const Protocol::Hello& hello, std::uint8_t& id, std::string& refusal) {
    if (hello.protocolVersion != Protocol::Version) {
        refusal = "The server runs version " + settings.gameVersion + ", this game " +
                  (hello.gameVersion.empty() ? std::string("another") : hello.gameVersion);
        return false;
    }
    if (!settings.password.empty() && hello.password != settings.password) {
        refusal = "Wrong password";
        return false;
    }
    if (players.size() >= settings.maxPlayers) {
        refusal = "Server is full (" + std::to_string(players.size()) + " / " + std::to_string(settings.maxPlayers) + ")";
        return false;
    }
    std::uint8_t free = 0;
    while (FindPlayer(free)) ++free;
    Player player;
    player.id = free;
    player.name = UniqueName(hello.name);
    player.car = hello.car;
    player.track = hello.track;
    player.inRace = phase == Protocol::Phase::Lobby;
    players.push_back(player);
    std::sort(players.begin(), players.end(), [](const Player& a, const Player& b) { return a.id < b.id; });
    id = free;
    ++revision;
    return true;
}

void Lobby::Leave(std::uint8_t id) {
    const auto it = std::find_if(players.begin(), players.end(), [id](const Player& p) { return p.id == id; });
    if (it == players.end()) return;
    players.erase(it);
    ++revision;
    Review();
}

bool Lobby::SetReady(std::uint8_t id, bool ready, std::string& refusal) {
    Player* player = Find(id);
    if (!player) return false;
    if (ready && phase == Protocol::Phase::Racing) {
        refusal = "A race is on: you join the next one";
        return false;
    }
    if (ready && !HasChosenTrack(*player)) {
        refusal = MissingTrackLine();
        return false;
    }
    if (player->ready != ready) {
        player->ready = ready;
        player->inRace = player->inRace || phase == Protocol::Phase::Lobby;
        ++revision;
        Review();
    }
    return true;
}

void Lobby::ReportTrack(std::uint8_t id, const Protocol::TrackRef& track) {
    Player* player = Find(id);
    if (!player) return;
    player->track = track;
    if (player->ready && !HasChosenTrack(*player)) {
        player->ready = false;
        Review();
    }
    ++revision;
}

bool Lobby::SetChoice(const Protocol::RaceChoice& choice) {
    if (phase != Protocol::Phase::Lobby) return false;
    settings.choice = choice;
    for (Player& p : players) p.ready = false;
    ++revision;
    return true;
}

void Lobby::Review() {
    // Those racing are those who were in the lobby when the marks were set.
    const bool anyone = std::any_of(players.begin(), players.end(), [](const Player& p) { return p.inRace; });
    const bool allReady = std::all_of(players.begin(), players.end(),
                                      [](const Player& p) { return !p.inRace || p.ready; });
    if (phase == Protocol::Phase::Lobby && anyone && allReady) {
        phase = Protocol::Phase::Countdown;
        countdownLeftS = CountdownS;
        ++revision;
    } else if (phase == Protocol::Phase::Countdown && (!anyone || !allReady)) {
        // Called off: those who waited for this race are in the next.
        phase = Protocol::Phase::Lobby;
        countdownLeftS = 0.0;
        for (Player& p : players) p.inRace = true;
        ++revision;
    }
}

void Lobby::Step(double dtS) {
    if (phase != Protocol::Phase::Countdown || !(dtS > 0.0)) return;
    countdownLeftS -= dtS;
    if (countdownLeftS <= 0.0) {
        phase = Protocol::Phase::Racing;
        countdownLeftS = 0.0;
        ++revision;
    }
}

void Lobby::EndRace() {
    phase = Protocol::Phase::Lobby;
    countdownLeftS = 0.0;
    for (Player& p : players) {
        p.ready = false;
        p.inRace = true;
    }
    ++revision;
}

Protocol::LobbyState Lobby::GetState() const {
    Protocol::LobbyState state;
    state.phase = phase;
    for (const Player& p : players) state.players.push_back({p.id, p.name, p.car, p.ready, HasChosenTrack(p)});
    return state;
}
