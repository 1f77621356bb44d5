/*******************************************************************************
 * NetBench: a network Race on loopback. A server with the game's opponents
 * and N headless clients (each driven by one of the game's drivers), paced
 * by the wall clock as the dedicated server runs: the bytes a second each
 * client sends and takes (ENet's headers, acknowledgements and pings
 * included), the server's processor time per racer, and the delay from a
 * car state sent to the moment another client shows the car there.
 *
 *   bin/NetBench [clients] [seconds of racing] [opponents] [track key]
 *       defaults: 7 clients, 20 s, 1 opponent (8 racers), KestrelPass
 *
 * Targets: at most 8 kB/s down a client with 7 other cars; the server under
 * 2 % of a core per racer with 8 racers.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nodara/Logger.h>
#include <nodara/ModelPlugin.h>

#include "SeriesStats.h"
#include "net/GameServer.h"
#include "net/HeadlessClient.h"
#include "race/FixedTick.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

int main(int argc, char** argv) {
    const int clientCount = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 8) : 7;
    const double raceS = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 20.0;
    const int opponents = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 7) : 1;
    const std::string key = argc > 4 ? argv[4] : "KestrelPass";
    Logger::SetProcessLevel(Logger::Warn);

    // Initialization: the track, its terrain, the server and its clients
    TrackList tracks;
    tracks.Load();
    const auto choice = tracks.Find(key, TrackDescription::Direction::Forward);
    if (!choice) {
        std::fprintf(stderr, "NetBench: no track %s (run from bin/)\n", key.c_str());
        return 1;
    }
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    auto terrain = std::make_shared<TrackTerrain>();
    {
        ModelPlugin plugin;
        std::string problem;
        if (!plugin.Open(ModelPlugin::DefaultName, problem) || !terrain->Load(plugin, track.GetModelFile(), problem)) {
            std::fprintf(stderr, "NetBench: %s: %s\n", key.c_str(), problem.c_str());
            return 1;
        }
    }
    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.lobby.serverName = "NetBench";
    settings.lobby.gameVersion = "bench";
    settings.lobby.choice.track = {key, false, track.RoadFor(TrackDescription::Direction::Forward).GetChecksum()};
    settings.lobby.choice.opponents = static_cast<std::uint8_t>(opponents);
    settings.track = track;
    settings.terrain = terrain;
    GameServer server(settings);
    if (!server.Start()) return 1;
    const char* const cars[] = {"NissanSkyline", "BugattiVeyron", "VesperRS"};
    std::vector<std::unique_ptr<HeadlessClient>> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(std::make_unique<HeadlessClient>(track, TrackDescription::Direction::Forward, *terrain));
        clients.back()->Connect("127.0.0.1", server.GetPort(), {"Bench " + std::to_string(i + 1), cars[i % 3], "", "bench"});
    }

    // The loop at the server's tick, paced by the wall clock; bounded in time.
    using Clock = std::chrono::steady_clock;
    const auto tick = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(GameServer::TickS));
    auto next = Clock::now();
    double serverMs = 0.0, racingS = 0.0;
    bool readied = false;
    std::vector<std::uint64_t> sentAt(clients.size()), takenAt(clients.size());
    std::vector<double> delaysMs, wallDelaysMs;
    // When each client's states went out by the wall clock, and the newest
    // of each sender each viewer has shown so far.
    std::vector<std::vector<std::pair<std::uint32_t, Clock::time_point>>> sentWall(clients.size());
    std::map<std::pair<std::size_t, std::uint8_t>, std::uint32_t> shownTick;
    const double limitS = raceS + 60.0;
    for (double elapsedS = 0.0; elapsedS < limitS && racingS < raceS; elapsedS += GameServer::TickS) {
        const double before = ThreadMilliseconds();
        server.Tick(GameServer::TickS, 0);
        if (server.GetRace() && server.GetRace()->IsReleased()) serverMs += ThreadMilliseconds() - before;
        for (std::size_t i = 0; i < clients.size(); ++i) {
            clients[i]->Step(GameServer::TickS, 0);
            const auto& sent = clients[i]->GetSentStates();
            if (sent.size() < sentWall[i].size()) sentWall[i].clear();  // a new race
            for (std::size_t k = sentWall[i].size(); k < sent.size(); ++k)
                sentWall[i].push_back({sent[k].tick, Clock::now()});
        }
        if (!readied && std::all_of(clients.begin(), clients.end(), [&](const auto& c) {
                return c->GetNet().GetState() == NetClient::State::InLobby &&
                       c->GetNet().GetLobby().players.size() == clients.size();
            })) {
            for (auto& client : clients) client->GetNet().SetReady(true);
            readied = true;
        }
        const bool released = std::all_of(clients.begin(), clients.end(), [](const auto& c) { return c->IsReleased(); });
        if (released) {
            if (racingS == 0.0)
                for (std::size_t i = 0; i < clients.size(); ++i) {
                    sentAt[i] = clients[i]->GetNet().GetBytesSent();
                    takenAt[i] = clients[i]->GetNet().GetBytesReceived();
                }
            racingS += GameServer::TickS;
            // Every client's clock starts with the grid's arrival, alike on loopback: the
            // shown car's sender time against the viewer's own is the state's delay.
            for (std::size_t v = 0; v < clients.size(); ++v) {
                const HeadlessClient& viewer = *clients[v];
                const double nowS = viewer.GetTick() * FixedTick::TickS;
                for (const auto& [id, buffer] : viewer.GetRemotes()) {
                    RemoteCarBuffer::Shown shown;
                    if (id >= Protocol::MaxPlayers || !buffer.At(nowS, shown) || shown.lagging) continue;
                    delaysMs.push_back((nowS - shown.senderS) * 1000.0);
                    // By the wall: the newest state of the sender's now shown, from when it went out.
                    for (std::size_t c = 0; c < clients.size(); ++c) {
                        if (clients[c]->GetNet().GetPlayerId() != id) continue;
                        const auto& wall = sentWall[c];
                        auto upTo = std::upper_bound(wall.begin(), wall.end(), shown.senderS + 1e-9,
                                                     [](double t, const auto& w) { return t < w.first * FixedTick::TickS; });
                        if (upTo == wall.begin()) continue;
                        --upTo;
                        std::uint32_t& last = shownTick[{v, id}];
                        if (upTo->first <= last) continue;
                        last = upTo->first;
                        wallDelaysMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - upTo->second).count());
                    }
                }
            }
        }
        next += tick;
        std::this_thread::sleep_until(next);
    }
    if (racingS < raceS) {
        std::fprintf(stderr, "NetBench: the race did not run %.0f s\n", raceS);
        return 1;
    }

    const int racers = clientCount + opponents;
    double upMean = 0.0, downMean = 0.0, downMax = 0.0;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const double up = (clients[i]->GetNet().GetBytesSent() - sentAt[i]) / racingS;
        const double down = (clients[i]->GetNet().GetBytesReceived() - takenAt[i]) / racingS;
        upMean += up / clients.size();
        downMean += down / clients.size();
        downMax = std::max(downMax, down);
    }
    std::printf("NetBench: %d clients and %d opponents (%d racers) on %s, %.0f s of racing\n", clientCount, opponents,
                racers, key.c_str(), racingS);
    std::printf("per client: up %.2f kB/s, down %.2f kB/s (most %.2f kB/s) with %d other cars (target <= 8 kB/s down with 7)\n",
                upMean / 1000.0, downMean / 1000.0, downMax / 1000.0, racers - 1);
    const double share = serverMs / 1000.0 / racingS;
    std::printf("server: %.2f %% of a core, %.3f %% per racer (target <= 2 %% per racer with 8)\n", share * 100.0,
                share * 100.0 / racers);
    PrintSeries("state sent to state shown, by the race's clock", delaysMs, 1);
    PrintSeries("state sent to state shown, by the wall clock", wallDelaysMs, 1);
    return 0;
}
