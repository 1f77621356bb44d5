#include "NetClient.h"

#include <utility>

Logger NetClient::logger("NetClient");

namespace {
/// States kept between two TakeStates: a second of seven cars at the
/// highest rate; beyond that the oldest are of no use anyway.
constexpr std::size_t MaxKeptStates = 7 * 60;
/// Notices and departures kept between two takes.
constexpr std::size_t MaxKeptLines = 32;
}  // namespace

bool NetClient::Connect(const std::string& hostName, std::uint16_t port, Identity who, TrackLookup trackLookup) {
    identity = std::move(who);
    lookup = std::move(trackLookup);
    address = hostName + ":" + std::to_string(port);
    line.clear();
    playerId = 0;
    serverName.clear();
    haveChoice = false;
    lobby = {};
    countdowns = 0;
    notices.clear();
    left.clear();
    states.clear();
    // Refused here rather than by the server: a name it would not take.
    if (!Protocol::IsValidName(identity.name) || !Protocol::IsValidKey(identity.car) ||
        identity.password.size() > Protocol::MaxPasswordLength) {
        End(State::Lost, "Not a name or car a server takes");
        return false;
    }
    if (!host.Connect(hostName, port, Protocol::MaxRunMessageBytes)) {
        End(State::Lost, "Cannot reach " + address);
        return false;
    }
    state = State::Connecting;
    return true;
}

void NetClient::End(State value, const std::string& why) {
    state = value;
    line = why;
}

void NetClient::Disconnect() {
    if (state == State::Idle) return;
    for (const unsigned peer : host.GetConnectedPeers()) host.Disconnect(peer, false, Protocol::LeavingOnPurpose);
    host.Flush();
    state = State::Idle;
}

void NetClient::Send(const Protocol::Message& message) {
    const std::vector<std::uint8_t> bytes = Protocol::Encode(message);
    if (!bytes.empty()) host.Send(0, Protocol::IsReliable(message) ? NetHost::Reliable : NetHost::States, bytes);
}

Protocol::TrackRef NetClient::TrackFor(const Protocol::TrackRef& chosen) const {
    Protocol::TrackRef mine{chosen.key, chosen.reverse, 0};
    if (lookup) mine.checksum = lookup(chosen.key, chosen.reverse);
    return mine;
}

bool NetClient::SetReady(bool ready) {
    if (state != State::InLobby) return false;
    Send(Protocol::Ready{ready});
    host.Flush();
    return true;
}

bool NetClient::SendState(const Protocol::CarState& carState) {
    if (state != State::InLobby) return false;
    const std::vector<std::uint8_t> bytes = Protocol::Encode(carState);
    return !bytes.empty() && host.Send(0, NetHost::States, bytes);
}

bool NetClient::SubmitRun(const Protocol::Run& run) {
    if (state != State::InLobby) return false;
    const Protocol::SubmitRun submit{run};
    if (Protocol::Encode(submit).empty()) return false;
    Send(submit);
    host.Flush();
    return true;
}

bool NetClient::RequestBoard(const Protocol::BoardRequest& request) {
    if (state != State::InLobby || Protocol::Encode(request).empty()) return false;
    Send(request);
    host.Flush();
    return true;
}

bool NetClient::FetchRun(std::uint32_t runId) {
    if (state != State::InLobby) return false;
    Send(Protocol::FetchRun{runId});
    host.Flush();
    return true;
}

void NetClient::OnMessage(const Protocol::Message& message) {
    if (const auto* m = std::get_if<Protocol::RaceChoice>(&message)) {
        choice = *m;
        haveChoice = true;
        // Behind the hello on the ordered channel: the server has the player by then.
        if (state == State::Joining || state == State::InLobby) Send(Protocol::TrackReport{TrackFor(choice.track)});
    } else if (const auto* m = std::get_if<Protocol::Welcome>(&message)) {
        if (state != State::Joining) return;
        state = State::InLobby;
        playerId = m->playerId;
        serverName = m->serverName;
        logger.Log(Logger::Info, "joined '" + serverName + "' at " + address);
    } else if (const auto* m = std::get_if<Protocol::Refused>(&message)) {
        End(State::Refused, m->line);
    } else if (const auto* m = std::get_if<Protocol::LobbyState>(&message)) {
        lobby = *m;
    } else if (const auto* m = std::get_if<Protocol::Notice>(&message)) {
        if (notices.size() < MaxKeptLines) notices.push_back(m->line);
    } else if (const auto* m = std::get_if<Protocol::Countdown>(&message)) {
        ++countdowns;
        lastCountdownMs = m->startsInMs;
    } else if (std::holds_alternative<Protocol::ServerStopped>(message)) {
        End(State::Stopped, "Server stopped");
    } else if (const auto* m = std::get_if<Protocol::PlayerLeft>(&message)) {
        if (left.size() < MaxKeptLines) left.push_back(*m);
    } else if (const auto* m = std::get_if<Protocol::CarState>(&message)) {
        if (states.size() < MaxKeptStates) states.push_back(*m);
    } else if (const auto* m = std::get_if<Protocol::CarStates>(&message)) {
        for (const Protocol::CarState& state : m->states)
            if (states.size() < MaxKeptStates) states.push_back(state);
    } else if (const auto* m = std::get_if<Protocol::RaceStart>(&message)) {
        raceStart = *m;
    } else if (const auto* m = std::get_if<Protocol::RaceResult>(&message)) {
        raceResult = *m;
    } else if (const auto* m = std::get_if<Protocol::RunVerdict>(&message)) {
        if (verdicts.size() < MaxKeptLines) verdicts.push_back(*m);
    } else if (const auto* m = std::get_if<Protocol::Board>(&message)) {
        board = *m;
    } else if (const auto* m = std::get_if<Protocol::FetchedRun>(&message)) {
        fetchedRun = *m;
    }
    // A hello, a track report or a ready mark is a client's to send: ignored.
}

void NetClient::Service(std::uint32_t waitMs) {
    NetHost::Event event;
    for (unsigned taken = 0; taken < 1024 && host.Service(event, taken == 0 ? waitMs : 0); ++taken) {
        switch (event.type) {
            case NetHost::Event::Type::Connected:
                // The hello goes first, before anything of the server's is read, so a
                // server of another version can still refuse it in words.
                if (state == State::Connecting) {
                    state = State::Joining;
                    Send(Protocol::Hello{Protocol::Version, identity.gameVersion, identity.name, identity.car,
                                         identity.password, haveChoice ? TrackFor(choice.track) : Protocol::TrackRef{}});
                }
                break;
            case NetHost::Event::Type::Disconnected:
                if (state == State::Connecting)
                    End(State::Lost, "No server answers at " + address);
                else if (state == State::Joining || state == State::InLobby)
                    End(State::Lost, "Lost the connection to the server");
                break;
            case NetHost::Event::Type::Received: {
                Protocol::Message message;
                std::string problem;
                if (Protocol::Decode(event.data.data(), event.data.size(), message, problem))
                    OnMessage(message);
                else
                    logger.Log(Logger::Warn, "[" + address + "] malformed message: " + problem);
                break;
            }
        }
    }
    host.Flush();
}

std::vector<std::string> NetClient::TakeNotices() { return std::exchange(notices, {}); }
std::vector<Protocol::PlayerLeft> NetClient::TakeLeft() { return std::exchange(left, {}); }
std::vector<Protocol::CarState> NetClient::TakeStates() { return std::exchange(states, {}); }
std::optional<Protocol::RaceStart> NetClient::TakeRaceStart() { return std::exchange(raceStart, std::nullopt); }
std::optional<Protocol::RaceResult> NetClient::TakeRaceResult() { return std::exchange(raceResult, std::nullopt); }
std::vector<Protocol::RunVerdict> NetClient::TakeVerdicts() { return std::exchange(verdicts, {}); }
std::optional<Protocol::Board> NetClient::TakeBoard() { return std::exchange(board, std::nullopt); }
std::optional<Protocol::FetchedRun> NetClient::TakeFetchedRun() { return std::exchange(fetchedRun, std::nullopt); }
