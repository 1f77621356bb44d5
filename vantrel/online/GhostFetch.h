#pragma once
// A leaderboard's run fetched from a server, made a ghost to race.
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "net/Protocol.h"
#include "replay/RecordedRun.h"
#include "track/TrackDescription.h"

class TrackTerrain;

/// A run comes from the server as the driver's inputs alone: its poses are
/// made here by driving it again (RunCheck), on a thread of its own so the
/// show room's frames go on, and it is a ghost only when it drives to the
/// poses and the time the server checked. The next Time Trial on its track,
/// way and car races it.
class GhostFetch {
public:
    enum class Status { Idle, Driving, Done, Failed };

    /// The ghost made of a fetched run.
    struct Ghost {
        std::string trackKey;  ///< TrackDescription::GhostKey of its way
        std::string carKey;
        std::string player;
        std::uint32_t timeMs = 0;
        RecordedRun run;
    };

    GhostFetch() = default;
    /// Waits for a drive under way: it is bounded by the run's own length.
    ~GhostFetch();
    GhostFetch(const GhostFetch&) = delete;
    GhostFetch& operator=(const GhostFetch&) = delete;

    /// Drives `fetched` again on `track`, which must be the run's track (its
    /// way by the run's), on `terrain`; both are kept until it is done.
    void Start(const TrackDescription& track, std::shared_ptr<const TrackTerrain> terrain,
               const Protocol::FetchedRun& fetched);
    /// Where the drive stands; Done or Failed once, then Idle again.
    Status Poll();
    /// After Done: the ghost.
    Ghost TakeGhost() { return std::move(ghost); }
    /// After Failed: why, as the player reads it.
    const std::string& GetProblem() const { return problem; }

private:
    struct Outcome {
        bool driven = false;
        std::string problem;
        Ghost ghost;
    };

    std::future<Outcome> drive;
    Ghost ghost;
    std::string problem;
};
