#include "OnlineBoard.h"

#include <ctime>
#include <utility>

#include <nodara/ModelPlugin.h>

#include "cars/CarCatalogue.h"
#include "net/GameServer.h"
#include "net/NetClient.h"
#include "race/RaceClock.h"
#include "storage/GhostFile.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

namespace {

std::string DateOf(std::int64_t dateS) {
    const auto when = static_cast<std::time_t>(dateS);
    std::tm utc{};
    char text[16] = "";
    if (gmtime_r(&when, &utc)) std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

const TrackDescription* FindTrack(const TrackList& tracks, const std::string& key) {
    for (const TrackDescription& track : tracks.GetTracks())
        if (track.GetKey() == key) return &track;
    return nullptr;
}

}  // namespace

std::string OnlineBoard::Toggle(NetClient& client, const Protocol::TrackRef& track, const std::string& car) {
    shown = !shown;
    if (!shown) return "";
    board.reset();
    if (!client.RequestBoard({track, car})) return "Cannot ask for the leaderboard now";
    return "Asking for the leaderboard of " + track.key + " ...";
}

std::string OnlineBoard::Fetch(NetClient& client, std::size_t index) {
    if (!board || index >= board->lines.size()) return "";
    const Protocol::BoardLine& line = board->lines[index];
    if (!client.FetchRun(line.runId)) return "Cannot fetch a run now";
    return "Fetching " + line.player + "'s run ...";
}

std::string OnlineBoard::SendBestRuns(NetClient& client, const Protocol::TrackRef& first) {
    // The lobby's track first, both ways, then the others, every car on each.
    std::vector<const TrackList::Choice*> ways;
    for (const TrackList::Choice& way : tracks.GetChoices())
        if (tracks.TrackOf(way).GetKey() == first.key) ways.push_back(&way);
    for (const TrackList::Choice& way : tracks.GetChoices())
        if (tracks.TrackOf(way).GetKey() != first.key) ways.push_back(&way);
    unsigned sent = 0, withoutInputs = 0;
    for (const TrackList::Choice* way : ways) {
        const TrackDescription& track = tracks.TrackOf(*way);
        const std::uint32_t checksum = track.RoadFor(way->direction).GetChecksum();
        for (unsigned car = 0; car < CarCatalogue::Count() && sent < GameServer::MaxRunsPerMinute; ++car) {
            const std::string carKey = CarCatalogue::Describe(car).GetKey();
            RecordedRun run;
            GhostFile::Info info;
            if (!GhostFile(track.GhostKey(way->direction), carKey).Load(checksum, run, info)) continue;
            // A ghost of an older version has poses only: nothing to drive again.
            if (run.GetInputs().IsEmpty()) {
                ++withoutInputs;
                continue;
            }
            const Protocol::Run sentRun{
                {track.GetKey(), way->direction == TrackDescription::Direction::Reverse, checksum},
                carKey,
                info.timeMs,
                info.samplesCrc,
                static_cast<std::uint32_t>(run.GetInputs().GetTickCount()),
                GhostFile::EncodeInputs(run.GetInputs())};
            if (client.SubmitRun(sentRun)) ++sent;
        }
    }
    if (sent > 0)
        return "Sent " + std::to_string(sent) + (sent == 1 ? " best run" : " best runs") + ": the server checks them";
    if (withoutInputs > 0) return "Your best runs are from an older version: win a Time Trial again to send one";
    return "No best run to send: win a Time Trial first";
}

std::string OnlineBoard::Frame(NetClient* client) {
    std::string line;
    if (client) {
        if (std::optional<Protocol::Board> came = client->TakeBoard()) {
            board = std::move(came);
            const std::size_t car = CarCatalogue::Cars().Find(board->car);
            line = "The leaderboard of " + board->track.key + (board->track.reverse ? " reversed" : "") + " for the " +
                   (car < CarCatalogue::Count() ? CarCatalogue::ShownName(static_cast<unsigned>(car)) : board->car);
        }
        for (const Protocol::RunVerdict& verdict : client->TakeVerdicts()) line = verdict.line;
        if (std::optional<Protocol::FetchedRun> fetched = client->TakeFetchedRun()) {
            const TrackDescription* track = FindTrack(tracks, fetched->run.track.key);
            std::string problem;
            std::shared_ptr<const TrackTerrain> terrain = track ? TerrainOf(track->GetKey(), problem) : nullptr;
            if (!terrain) {
                line = "Cannot race " + fetched->player + "'s run: " +
                       (track ? problem : "this game has no track " + fetched->run.track.key);
            } else {
                fetch.Start(*track, std::move(terrain), *fetched);
                line = "Driving " + fetched->player + "'s run again ...";
            }
        }
    }
    if (const std::string done = PollFetch(); !done.empty()) line = done;
    return line;
}

std::string OnlineBoard::PollFetch() {
    switch (fetch.Poll()) {
    case GhostFetch::Status::Done:
        ghost = fetch.TakeGhost();
        return ghost->player + "'s " + RaceClock::FormatMs(ghost->timeMs) + " is the ghost of your next Time Trial on " +
               ghost->trackKey;
    case GhostFetch::Status::Failed: return fetch.GetProblem();
    case GhostFetch::Status::Idle:
    case GhostFetch::Status::Driving: break;
    }
    return "";
}

std::vector<std::string> OnlineBoard::Lines() const {
    std::vector<std::string> lines;
    if (!board) return lines;
    for (std::size_t i = 0; i < board->lines.size(); ++i) {
        const Protocol::BoardLine& l = board->lines[i];
        lines.push_back(std::to_string(i + 1) + ".  " + l.player + "   " + RaceClock::FormatMs(l.timeMs) + "   " +
                        DateOf(l.dateS));
    }
    return lines;
}

std::optional<GhostFetch::Ghost> OnlineBoard::TakeGhostFor(const std::string& trackKey, const std::string& carKey) {
    // The page may have closed while the run was driven again.
    PollFetch();
    if (!ghost || ghost->trackKey != trackKey || ghost->carKey != carKey) return std::nullopt;
    return std::exchange(ghost, std::nullopt);
}

std::shared_ptr<const TrackTerrain> OnlineBoard::TerrainOf(const std::string& key, std::string& problem) {
    std::shared_ptr<const TrackTerrain>& terrain = terrains[key];
    if (terrain) return terrain;
    const TrackDescription* track = FindTrack(tracks, key);
    auto loaded = std::make_shared<TrackTerrain>();
    ModelPlugin plugin;
    if (!track || !plugin.Open(ModelPlugin::DefaultName, problem) || !loaded->Load(plugin, track->GetModelFile(), problem))
        return nullptr;
    terrain = std::move(loaded);
    return terrain;
}
