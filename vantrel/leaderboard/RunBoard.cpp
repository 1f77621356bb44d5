#include "RunBoard.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "RunCheck.h"
#include "race/RaceClock.h"
#include "replay/RecordedRun.h"
#include "storage/GhostFile.h"
#include "track/TrackTerrain.h"

namespace {

// A stored run: the poses' CRC-32, the ticks, the time, the player's name,
// then the inputs, as the leaderboard keeps it. Little-endian.
const char StoredMagic[4] = {'V', 'T', 'R', '1'};
const std::size_t StoredHeaderBytes = 4 + 4 + 4 + 4 + 1;

void Put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::string Store(const RunBoard::Submission& s) {
    std::string out(StoredMagic, sizeof StoredMagic);
    Put32(out, s.samplesCrc);
    Put32(out, s.inputTicks);
    Put32(out, s.timeMs);
    out.push_back(static_cast<char>(s.player.size()));
    out += s.player;
    out += s.inputs;
    return out;
}

bool Unstore(const std::string& bytes, RunBoard::StoredRun& run) {
    if (bytes.size() < StoredHeaderBytes || std::memcmp(bytes.data(), StoredMagic, sizeof StoredMagic) != 0)
        return false;
    const std::size_t nameLength = static_cast<unsigned char>(bytes[StoredHeaderBytes - 1]);
    if (bytes.size() < StoredHeaderBytes + nameLength) return false;
    run.samplesCrc = Get32(bytes, 4);
    run.inputTicks = Get32(bytes, 8);
    run.timeMs = Get32(bytes, 12);
    run.player = bytes.substr(StoredHeaderBytes, nameLength);
    run.inputs = bytes.substr(StoredHeaderBytes + nameLength);
    return true;
}

const char* const DoesNotDrive = "Refused: the run does not drive to its time";

}  // namespace

Logger RunBoard::logger("RunBoard");

RunBoard::RunBoard(std::vector<TrackDescription> tracks, TerrainLoader loader)
    : tracks(std::move(tracks)), loader(std::move(loader)) {}

RunBoard::~RunBoard() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (worker.joinable()) worker.join();
}

bool RunBoard::Open(const std::string& path, std::string& problem) {
    if (!writer.Open(path, problem)) return false;
    std::string readerProblem;
    if (!reader.OpenReadOnly(path, readerProblem)) {
        problem = readerProblem;
        return false;
    }
    if (!worker.joinable()) worker = std::thread(&RunBoard::Work, this);
    return true;
}

bool RunBoard::Submit(Submission submission) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!worker.joinable() || queue.size() >= MaxQueued) return false;
        queue.push_back(std::move(submission));
    }
    changed.notify_all();
    return true;
}

std::vector<RunBoard::Verdict> RunBoard::TakeVerdicts() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(verdicts, {});
}

bool RunBoard::WaitIdle(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return queue.empty() && !checking; });
}

std::optional<std::vector<Leaderboard::Line>> RunBoard::Top(const Leaderboard::Board& board,
                                                           std::string& problem) const {
    return reader.Top(board, problem);
}

std::optional<RunBoard::StoredRun> RunBoard::FetchRun(std::int64_t runId, std::string& problem) const {
    StoredRun run;
    std::string bytes;
    if (!reader.FetchRun(runId, bytes, &run.board, problem)) return std::nullopt;
    if (!Unstore(bytes, run)) {
        problem = "run " + std::to_string(runId) + " is not one of ours";
        return std::nullopt;
    }
    return run;
}

std::string RunBoard::Ordinal(unsigned place) {
    const unsigned tens = place % 100;
    const char* suffix = tens >= 11 && tens <= 13 ? "th"
                         : place % 10 == 1       ? "st"
                         : place % 10 == 2       ? "nd"
                         : place % 10 == 3       ? "rd"
                                                 : "th";
    return std::to_string(place) + suffix;
}

void RunBoard::Work() {
    for (;;) {
        Submission submission;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping) return;
            submission = std::move(queue.front());
            queue.pop_front();
            checking = true;
        }
        Verdict verdict = Check(submission);
        verdict.ticket = submission.ticket;
        logger.Log(Logger::Info, submission.player + " on " + submission.board.track +
                                     (submission.board.reverse ? " reverse" : "") + " in " + submission.board.car +
                                     ", " + RaceClock::FormatMs(submission.timeMs) + ": " + verdict.line);
        {
            std::lock_guard<std::mutex> lock(mutex);
            verdicts.push_back(std::move(verdict));
            checking = false;
        }
        changed.notify_all();
    }
}

RunBoard::Verdict RunBoard::Check(const Submission& s) {
    Verdict verdict;
    const auto direction = s.board.reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
    const TrackDescription* track = nullptr;
    for (const TrackDescription& t : tracks)
        if (t.GetKey() == s.board.track && t.FindWay(direction)) track = &t;
    if (!track) {
        verdict.line = "Refused: this server has no track " + s.board.track;
        return verdict;
    }
    if (track->RoadFor(direction).GetChecksum() != s.board.trackChecksum) {
        verdict.line = "Refused: another version of " + s.board.track;
        return verdict;
    }
    std::shared_ptr<const TrackTerrain>& terrain = terrains[track->GetKey()];
    if (!terrain && loader) terrain = loader(*track);
    if (!terrain) {
        verdict.line = "Refused: this server cannot load " + s.board.track;
        return verdict;
    }
    RunInputs inputs;
    std::string problem;
    if (!GhostFile::DecodeInputs(s.inputs, s.inputTicks, inputs, problem)) {
        verdict.line = DoesNotDrive;
        return verdict;
    }
    RecordedRun driven;
    const RunCheck::Outcome outcome =
        RunCheck::Check(*track, direction, *terrain, s.board.car, inputs, s.timeMs, s.samplesCrc, driven);
    if (outcome.verdict == RunCheck::Verdict::UnknownCar) {
        verdict.line = "Refused: this server has no car " + s.board.car;
        return verdict;
    }
    if (outcome.verdict != RunCheck::Verdict::Genuine) {
        logger.Log(Logger::Debug, s.player + "'s run: " + outcome.why);
        verdict.line = DoesNotDrive;
        return verdict;
    }
    const std::optional<Leaderboard::Entry> entry =
        writer.Enter(s.board, s.player, s.timeMs, s.dateS, Store(s), problem);
    if (!entry) {
        logger.Log(Logger::Error, "cannot enter a run: " + problem);
        verdict.line = "Refused: the server cannot keep runs now";
        return verdict;
    }
    verdict.entered = entry->kept;
    verdict.place = entry->place;
    const std::string time = RaceClock::FormatMs(s.timeMs);
    if (entry->kept)
        verdict.line = time + " is " + Ordinal(entry->place) + " on " + s.board.track;
    else if (entry->place > 0)
        verdict.line = time + " is not better than your best on " + s.board.track;
    else
        verdict.line = time + " is not among the " + std::to_string(Leaderboard::PlacesKept) + " best on " +
                       s.board.track;
    return verdict;
}
