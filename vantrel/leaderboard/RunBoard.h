#pragma once
// The server's leaderboards at work: runs checked and entered on a thread of
// their own, the boards and runs read beside them.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nodara/Logger.h>

#include "Leaderboard.h"
#include "track/TrackDescription.h"

class TrackTerrain;

/// Takes submitted Time Trial runs, checks each by driving it again
/// (RunCheck) on a worker thread, so that whoever submits never waits for
/// a check, and enters the genuine ones on their board (Leaderboard, the
/// worker its one writer). A run that fails the check is dropped. The
/// boards and the runs are read on the caller's thread through a second
/// connection. The queue is bounded: a submission beyond it is refused at
/// once.
class RunBoard {
public:
    /// Runs waiting for their check, at most.
    static constexpr std::size_t MaxQueued = 8;

    /// A run to check and enter, as a client sent it: the driver's inputs
    /// (GhostFile::EncodeInputs) and the CRC-32 of the poses they must drive to.
    struct Submission {
        std::uint64_t ticket = 0;  ///< the caller's, to match the verdict
        std::string player;
        Leaderboard::Board board;
        std::uint32_t timeMs = 0;
        std::uint32_t samplesCrc = 0;
        std::uint32_t inputTicks = 0;
        std::string inputs;
        std::int64_t dateS = 0;
    };
    /// What became of a submission.
    struct Verdict {
        std::uint64_t ticket = 0;
        bool entered = false;  ///< checked and kept on its board
        unsigned place = 0;    ///< on the board when entered
        std::string line;      ///< for the player: the place, or why not
    };
    /// A run on a board, to race as a ghost.
    struct StoredRun {
        Leaderboard::Board board;
        std::string player;
        std::uint32_t timeMs = 0;
        std::uint32_t samplesCrc = 0;
        std::uint32_t inputTicks = 0;
        std::string inputs;
    };
    /// Reads a track's ground (on the worker thread); null when it cannot.
    using TerrainLoader = std::function<std::shared_ptr<const TrackTerrain>(const TrackDescription&)>;

    /// Checks runs on `tracks`, whose ground `loader` reads when a run on
    /// one first comes (each kept then).
    RunBoard(std::vector<TrackDescription> tracks, TerrainLoader loader);
    /// Stops the worker once the run it checks is done; runs still queued
    /// are dropped, unanswered.
    ~RunBoard();
    RunBoard(const RunBoard&) = delete;
    RunBoard& operator=(const RunBoard&) = delete;

    /// Opens the database at `path` (Leaderboard::Open: a damaged one is set
    /// aside, and `problem` says so) and starts the worker.
    /// @return false (with `problem`) when there is no database to be had
    bool Open(const std::string& path, std::string& problem);

    /// Queues `submission` for its check.
    /// @return false, with nothing queued, when MaxQueued wait already
    bool Submit(Submission submission);
    /// The verdicts reached since the last call, in order.
    std::vector<Verdict> TakeVerdicts();
    /// Waits up to `timeoutMs` for every queued run to have its verdict.
    /// @return whether none is left
    bool WaitIdle(unsigned timeoutMs);

    /// A board's lines, best first.
    std::optional<std::vector<Leaderboard::Line>> Top(const Leaderboard::Board& board, std::string& problem) const;
    /// The run of line `runId`.
    std::optional<StoredRun> FetchRun(std::int64_t runId, std::string& problem) const;

    /// "1st", "2nd", "3rd", "4th" ... "11th", "12th", "13th", "21st".
    static std::string Ordinal(unsigned place);

private:
    void Work();
    Verdict Check(const Submission& submission);

    std::vector<TrackDescription> tracks;
    TerrainLoader loader;
    std::map<std::string, std::shared_ptr<const TrackTerrain>> terrains;  ///< the worker's
    Leaderboard writer;  ///< the worker's alone once it runs
    Leaderboard reader;  ///< the caller's
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Submission> queue;
    std::vector<Verdict> verdicts;
    bool checking = false;
    bool stopping = false;
    std::thread worker;

    static Logger logger;
};
