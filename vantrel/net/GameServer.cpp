#include "GameServer.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <thread>

#include "ServerRace.h"
#include "ServerTrial.h"

Logger GameServer::logger("GameServer");

GameServer::GameServer(Settings settings) : settings(settings), lobby(settings.lobby) {}

bool GameServer::Start() {
    const Lobby::Settings& l = lobby.GetSettings();
    if (!host.Listen(settings.address, settings.port, l.maxPlayers + SpareLinks, Protocol::MaxRunMessageBytes)) return false;
    // Without answers to searches the server still runs: its address can be typed.
    if (settings.discoveryPort) responder.Open(settings.address, *settings.discoveryPort);
    if (logger.IsEnabled(Logger::Info)) {
        const Protocol::RaceChoice& c = l.choice;
        // A trial has no cars of the server's.
        const std::string field = c.mode == Protocol::Mode::TimeTrial ? ""
                                  : c.opponents == 1                  ? ", 1 opponent"
                                                                      : ", " + std::to_string(c.opponents) + " opponents";
        Logger::Stream(logger, Logger::Info).GetStream()
            << "'" << l.serverName << "' listening on " << (settings.address.empty() ? "*" : settings.address) << ":"
            << host.GetPort() << ", up to " << l.maxPlayers << " players" << (l.password.empty() ? "" : ", password")
            << "; " << (c.mode == Protocol::Mode::Race ? "race" : "time trial") << " on " << c.track.key
            << (c.track.reverse ? " reversed" : "") << field;
    }
    return true;
}

Discovery::ServerInfo GameServer::GetInfo() const {
    const Lobby::Settings& l = lobby.GetSettings();
    Discovery::ServerInfo info;
    info.gameVersion = l.gameVersion;
    info.name = l.serverName;
    info.port = host.GetPort();
    info.players = static_cast<std::uint8_t>(lobby.GetPlayers().size());
    info.maxPlayers = static_cast<std::uint8_t>(l.maxPlayers);
    info.password = !l.password.empty();
    info.phase = lobby.GetPhase();
    info.choice = lobby.GetChoice();
    return info;
}

void GameServer::Send(unsigned peerIndex, const Protocol::Message& message) {
    const std::vector<std::uint8_t> bytes = Protocol::Encode(message);
    if (bytes.empty()) {
        logger.Log(Logger::Error, "a message of ours did not encode; not sent");
        return;
    }
    host.Send(peerIndex, Protocol::IsReliable(message) ? NetHost::Reliable : NetHost::States, bytes);
}

void GameServer::Broadcast(const Protocol::Message& message) {
    for (const auto& [index, peer] : peers)
        if (peer.joined) Send(index, message);
}

void GameServer::Remove(unsigned peerIndex, const std::string& line, Protocol::LeaveReason reason) {
    const auto it = peers.find(peerIndex);
    if (it == peers.end()) return;
    logger.Log(Logger::Warn, "[" + it->second.address + "] " + line);
    Send(peerIndex, Protocol::Refused{line});
    host.Disconnect(peerIndex);
    if (it->second.joined) {
        const std::uint8_t id = it->second.playerId;
        lobby.Leave(id);
        if (race) race->Remove(id);
        peers.erase(it);
        Broadcast(Protocol::PlayerLeft{id, reason});
    } else {
        peers.erase(it);
    }
}

void GameServer::Refuse(unsigned peerIndex, const std::string& name, const std::string& line) {
    const auto it = peers.find(peerIndex);
    if (it == peers.end()) return;
    logger.Log(Logger::Info, "[" + it->second.address + "] " + (name.empty() ? "" : "'" + name + "' ") +
                                 "refused: " + line);
    Send(peerIndex, Protocol::Refused{line});
    host.Disconnect(peerIndex);
    peers.erase(it);
}

void GameServer::OnConnected(unsigned peerIndex) {
    Peer peer;
    peer.address = host.GetPeerAddress(peerIndex);
    peer.windowStartS = peer.connectedAtS = clockS;
    peers[peerIndex] = peer;
    logger.Log(Logger::Debug, "[" + peer.address + "] connected");
    // What is raced comes first: the client's hello says whether it has the track.
    Send(peerIndex, lobby.GetChoice());
}

void GameServer::OnDisconnected(unsigned peerIndex, std::uint32_t reason) {
    const auto it = peers.find(peerIndex);
    if (it == peers.end()) return;
    if (it->second.joined) {
        const std::uint8_t id = it->second.playerId;
        const Lobby::Player* player = lobby.FindPlayer(id);
        const bool timedOut = reason != Protocol::LeavingOnPurpose;
        if (player) logger.Log(Logger::Info, "'" + player->name + (timedOut ? "' timed out" : "' left"));
        lobby.Leave(id);
        if (race) race->Remove(id);
        peers.erase(it);
        Broadcast(Protocol::PlayerLeft{id, timedOut ? Protocol::LeaveReason::TimedOut : Protocol::LeaveReason::Left});
    } else {
        peers.erase(it);
    }
}

void GameServer::OnReceived(unsigned peerIndex, const NetHost::Event& event) {
    const auto it = peers.find(peerIndex);
    if (it == peers.end()) return;
    Peer& peer = it->second;
    if (clockS - peer.windowStartS >= 1.0) {
        peer.windowStartS = clockS;
        peer.messagesInWindow = peer.statesInWindow = 0;
    }
    if (++peer.messagesInWindow > MaxMessagesPerS) {
        Remove(peerIndex, "Removed: too many messages", Protocol::LeaveReason::Removed);
        return;
    }
    Protocol::Message message;
    std::string problem;
    std::uint16_t version = 0;
    std::string gameVersion;
    // Another version's hello need not decode; it is refused in words all the same.
    if (!peer.joined && Protocol::PeekHelloVersion(event.data.data(), event.data.size(), version, gameVersion) &&
        version != Protocol::Version) {
        Protocol::Hello hello;
        hello.protocolVersion = version;
        hello.gameVersion = gameVersion;
        std::uint8_t id = 0;
        std::string refusal;
        lobby.Join(hello, id, refusal);
        Refuse(peerIndex, "", refusal);
        return;
    }
    if (!Protocol::Decode(event.data.data(), event.data.size(), message, problem)) {
        // One line for the first; the count says the rest.
        if (peer.badMessages++ == 0) logger.Log(Logger::Warn, "[" + peer.address + "] malformed message: " + problem);
        if (peer.badMessages > MaxBadMessages)
            Remove(peerIndex, "Removed: malformed messages", Protocol::LeaveReason::Removed);
        return;
    }
    OnMessage(peerIndex, peer, message);
}

void GameServer::OnMessage(unsigned peerIndex, Peer& peer, Protocol::Message& message) {
    if (!peer.joined) {
        const Protocol::Hello* hello = std::get_if<Protocol::Hello>(&message);
        if (!hello) return;  // nothing else counts before a hello
        std::uint8_t id = 0;
        std::string refusal;
        if (!lobby.Join(*hello, id, refusal)) {
            Refuse(peerIndex, hello->name, refusal);
            return;
        }
        peer.joined = true;
        peer.playerId = id;
        const Lobby::Player* player = lobby.FindPlayer(id);
        logger.Log(Logger::Info, "[" + peer.address + "] '" + player->name + "' joined with " + player->car +
                                     (lobby.HasChosenTrack(*player) ? "" : ", without the track"));
        const Lobby::Settings& s = lobby.GetSettings();
        Send(peerIndex, Protocol::Welcome{id, s.serverName, static_cast<std::uint8_t>(s.maxPlayers)});
        return;
    }
    if (const auto* report = std::get_if<Protocol::TrackReport>(&message)) {
        lobby.ReportTrack(peer.playerId, report->track);
    } else if (const auto* ready = std::get_if<Protocol::Ready>(&message)) {
        std::string refusal;
        if (!lobby.SetReady(peer.playerId, ready->ready, refusal) && !refusal.empty())
            Send(peerIndex, Protocol::Notice{refusal});
    } else if (const auto* state = std::get_if<Protocol::CarState>(&message)) {
        // Beyond the rate, dropped; the race checks and relays the rest.
        if (++peer.statesInWindow > MaxStatesPerS) return;
        OnCarState(peerIndex, peer, *state);
    } else if (auto* submit = std::get_if<Protocol::SubmitRun>(&message)) {
        OnSubmitRun(peerIndex, peer, *submit);
    } else if (const auto* request = std::get_if<Protocol::BoardRequest>(&message)) {
        OnBoardRequest(peerIndex, *request);
    } else if (const auto* fetch = std::get_if<Protocol::FetchRun>(&message)) {
        OnFetchRun(peerIndex, *fetch);
    }
    // Anything else is the server's to send, never to take: ignored.
}

void GameServer::SendChanges() {
    if (lobby.GetRevision() == sentRevision) return;
    sentRevision = lobby.GetRevision();
    Broadcast(lobby.GetState());
    const Protocol::Phase phase = lobby.GetPhase();
    if (phase != sentPhase) {
        if (phase == Protocol::Phase::Countdown) {
            const auto ms = static_cast<std::uint16_t>(std::lround(lobby.GetCountdownLeftS() * 1000.0));
            Broadcast(Protocol::Countdown{ms});
            logger.Log(Logger::Info, "everyone is ready: the countdown runs");
        } else if (phase == Protocol::Phase::Racing) {
            logger.Log(Logger::Info, "the race starts");
        } else if (sentPhase == Protocol::Phase::Countdown) {
            logger.Log(Logger::Info, "the countdown is called off");
        }
        sentPhase = phase;
    }
}

void GameServer::OnCarState(unsigned peerIndex, Peer& peer, Protocol::CarState state) {
    if (!race) return;
    // A client speaks for its own car only.
    state.playerId = peer.playerId;
    const StateCheck::Verdict verdict = race->Take(state);
    if (StateCheck::IsImpossible(verdict)) {
        logger.Log(Logger::Warn, "[" + peer.address + "] car state refused: " + StateCheck::Describe(verdict));
        Remove(peerIndex, "Removed: impossible move", Protocol::LeaveReason::Removed);
        return;
    }
    if (verdict != StateCheck::Verdict::Accepted) return;
    for (const auto& [index, other] : peers)
        if (other.joined && index != peerIndex) QueueState(index, state);
}

void GameServer::QueueState(unsigned peerIndex, const Protocol::CarState& state) {
    std::vector<Protocol::CarState>& queued = outgoing[peerIndex];
    for (Protocol::CarState& waiting : queued)
        if (waiting.playerId == state.playerId) {
            if (state.tick > waiting.tick) waiting = state;
            return;
        }
    queued.push_back(state);
}

void GameServer::SendStates() {
    for (auto& [index, queued] : outgoing) {
        const auto peer = peers.find(index);
        if (!queued.empty() && peer != peers.end() && peer->second.joined) Send(index, Protocol::CarStates{queued});
        queued.clear();
    }
}

bool GameServer::StartRace() {
    if (!settings.terrain) return false;
    std::vector<ServerRound::Entrant> entrants;
    for (const Lobby::Player& player : lobby.GetPlayers())
        if (player.inRace) entrants.push_back({player.id, player.car, player.name});
    const Protocol::RaceChoice& choice = lobby.GetChoice();
    const auto direction = choice.track.reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
    const RacingDriver::Skill skill = choice.difficulty == Protocol::Difficulty::Easy   ? RacingDriver::Skill::Easy
                                      : choice.difficulty == Protocol::Difficulty::Hard ? RacingDriver::Skill::Hard
                                                                                        : RacingDriver::Skill::Medium;
    std::string problem;
    bool started = false;
    if (choice.mode == Protocol::Mode::TimeTrial) {
        auto trial = std::make_unique<ServerTrial>(settings.track, direction);
        started = trial->Start(entrants, problem);
        race = std::move(trial);
    } else {
        auto field = std::make_unique<ServerRace>(settings.track, direction, *settings.terrain);
        started = field->Start(entrants, choice.opponents, skill, problem);
        race = std::move(field);
    }
    if (!started) {
        logger.Log(Logger::Error, "the race cannot start: " + problem);
        race.reset();
        return false;
    }
    Broadcast(race->GetStart());
    return true;
}

void GameServer::StepRace(double dtS) {
    if (!race && !StartRace()) {
        lobby.EndRace();
        return;
    }
    race->Step(dtS);
    for (const Protocol::CarState& state : race->TakeOpponentStates())
        for (const auto& [index, peer] : peers)
            if (peer.joined) QueueState(index, state);
    if (!race->IsOver()) return;
    SendStates();
    lastResult = race->GetResult();
    Broadcast(lastResult);
    logger.Log(Logger::Info, "the race is over");
    race.reset();
    lobby.EndRace();
}

void GameServer::Tick(double dtS, std::uint32_t waitMs) {
    clockS += dtS;
    // Before the messages: a countdown they start goes out whole.
    lobby.Step(dtS);
    NetHost::Event event;
    // Bounded: a flood of packets cannot hold the tick for ever.
    for (unsigned taken = 0; taken < 4096 && host.Service(event, taken == 0 ? waitMs : 0); ++taken) {
        switch (event.type) {
            case NetHost::Event::Type::Connected: OnConnected(event.peer); break;
            case NetHost::Event::Type::Disconnected: OnDisconnected(event.peer, event.disconnectReason); break;
            case NetHost::Event::Type::Received: OnReceived(event.peer, event); break;
        }
    }
    std::vector<unsigned> silent;
    for (const auto& [index, peer] : peers)
        if (!peer.joined && clockS - peer.connectedAtS > HelloTimeoutS) silent.push_back(index);
    for (const unsigned index : silent) Remove(index, "Removed: no hello", Protocol::LeaveReason::Removed);
    SendChanges();
    if (responder.IsOpen()) responder.Poll(GetInfo(), clockS);
    if (lobby.GetPhase() == Protocol::Phase::Racing) {
        StepRace(dtS);
        SendChanges();
    }
    if (++tickCount % StatesEveryTicks == 0) SendStates();
    SendVerdicts();
    host.Flush();
}

void GameServer::OnSubmitRun(unsigned peerIndex, Peer& peer, Protocol::SubmitRun& submit) {
    const Lobby::Player* player = lobby.FindPlayer(peer.playerId);
    if (!settings.board || !player) {
        Send(peerIndex, Protocol::RunVerdict{false, 0, "Refused: this server keeps no leaderboard"});
        return;
    }
    while (!peer.runsAtS.empty() && clockS - peer.runsAtS.front() >= 60.0) peer.runsAtS.pop_front();
    if (peer.runsAtS.size() >= MaxRunsPerMinute) {
        Send(peerIndex, Protocol::RunVerdict{false, 0,
                                             "Refused: at most " + std::to_string(MaxRunsPerMinute) + " runs a minute"});
        return;
    }
    peer.runsAtS.push_back(clockS);
    Protocol::Run& run = submit.run;
    RunBoard::Submission submission;
    submission.ticket = nextTicket++;
    submission.player = player->name;
    submission.board = {run.track.key, run.track.checksum, run.track.reverse, run.car};
    submission.timeMs = run.timeMs;
    submission.samplesCrc = run.samplesCrc;
    submission.inputTicks = run.inputTicks;
    submission.inputs = std::move(run.inputs);
    submission.dateS = static_cast<std::int64_t>(std::time(nullptr));
    if (!settings.board->Submit(std::move(submission))) {
        Send(peerIndex, Protocol::RunVerdict{false, 0, "Refused: the server is busy checking runs, send it later"});
        return;
    }
    tickets[nextTicket - 1] = {peerIndex, peer.playerId};
}

void GameServer::OnBoardRequest(unsigned peerIndex, const Protocol::BoardRequest& request) {
    Protocol::Board board{request.track, request.car, {}};
    std::string problem;
    const std::optional<std::vector<Leaderboard::Line>> lines =
        settings.board ? settings.board->Top({request.track.key, request.track.checksum, request.track.reverse,
                                              request.car},
                                             problem)
                       : std::vector<Leaderboard::Line>();
    if (!lines) logger.Log(Logger::Error, "cannot read a leaderboard: " + problem);
    for (const Leaderboard::Line& line : lines ? *lines : std::vector<Leaderboard::Line>()) {
        // Names were checked on their way in; a line that would not go out is left out.
        if (board.lines.size() < Protocol::MaxBoardLines && Protocol::IsValidName(line.player) && line.runId > 0 &&
            line.runId <= static_cast<std::int64_t>(UINT32_MAX))
            board.lines.push_back({static_cast<std::uint32_t>(line.runId), line.player, line.timeMs, line.dateS});
    }
    Send(peerIndex, board);
}

void GameServer::OnFetchRun(unsigned peerIndex, const Protocol::FetchRun& request) {
    std::string problem;
    const std::optional<RunBoard::StoredRun> stored =
        settings.board ? settings.board->FetchRun(request.runId, problem) : std::nullopt;
    if (!stored || !Protocol::IsValidName(stored->player)) {
        Send(peerIndex, Protocol::Notice{"That run is no longer on the board"});
        return;
    }
    Protocol::FetchedRun fetched;
    fetched.runId = request.runId;
    fetched.player = stored->player;
    fetched.run.track = {stored->board.track, stored->board.reverse, stored->board.trackChecksum};
    fetched.run.car = stored->board.car;
    fetched.run.timeMs = stored->timeMs;
    fetched.run.samplesCrc = stored->samplesCrc;
    fetched.run.inputTicks = stored->inputTicks;
    fetched.run.inputs = stored->inputs;
    Send(peerIndex, fetched);
}

void GameServer::SendVerdicts() {
    if (!settings.board) return;
    for (RunBoard::Verdict& verdict : settings.board->TakeVerdicts()) {
        const auto it = tickets.find(verdict.ticket);
        if (it == tickets.end()) continue;
        const auto [peerIndex, playerId] = it->second;
        tickets.erase(it);
        // Gone meanwhile, or its link now another's: no one to tell.
        const auto peer = peers.find(peerIndex);
        if (peer == peers.end() || !peer->second.joined || peer->second.playerId != playerId) continue;
        Send(peerIndex,
             Protocol::RunVerdict{verdict.entered, static_cast<std::uint8_t>(verdict.entered ? verdict.place : 0),
                                  verdict.line.substr(0, Protocol::MaxLineLength)});
    }
}

void GameServer::Run(const volatile std::sig_atomic_t& stop) {
    RunWhile([&stop] { return !stop; });
}

void GameServer::Run(const std::atomic<bool>& stop) {
    RunWhile([&stop] { return !stop.load(); });
}

void GameServer::RunWhile(const std::function<bool()>& going) {
    using Clock = std::chrono::steady_clock;
    const auto tick = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(TickS));
    auto next = Clock::now() + tick;
    while (going()) {
        const auto now = Clock::now();
        const auto waitMs = next > now ? std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() : 0;
        Tick(TickS, static_cast<std::uint32_t>(waitMs));
        next += tick;
        // Fallen behind by more than a tick (a stopped process): start afresh.
        if (Clock::now() > next + tick) next = Clock::now() + tick;
    }
    Stop();
}

void GameServer::Stop() {
    for (const unsigned index : host.GetConnectedPeers()) {
        Send(index, Protocol::ServerStopped{});
        host.Disconnect(index);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(StopWaitMs);
    NetHost::Event event;
    while (host.GetLinkCount() > 0 && Clock::now() < deadline) host.Service(event, 10);
    // Whoever has not answered by now is cut off.
    const unsigned links = lobby.GetSettings().maxPlayers + SpareLinks;
    for (unsigned index = 0; index < links; ++index) host.Disconnect(index, true);
    peers.clear();
    logger.Log(Logger::Info, "Server stopped");
}
