#include "GhostFetch.h"

#include <chrono>
#include <utility>

#include "leaderboard/RunCheck.h"
#include "storage/GhostFile.h"
#include "track/TrackTerrain.h"

GhostFetch::~GhostFetch() {
    if (drive.valid()) drive.wait();
}

void GhostFetch::Start(const TrackDescription& trackIn, std::shared_ptr<const TrackTerrain> terrain,
                       const Protocol::FetchedRun& fetched) {
    if (drive.valid()) drive.wait();
    drive = std::async(std::launch::async, [track = trackIn, terrain = std::move(terrain), fetched]() {
        Outcome outcome;
        const auto direction =
            fetched.run.track.reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward;
        RunInputs inputs;
        std::string why;
        if (!terrain || !GhostFile::DecodeInputs(fetched.run.inputs, fetched.run.inputTicks, inputs, why)) {
            outcome.problem = fetched.player + "'s run cannot be read";
            return outcome;
        }
        const RunCheck::Outcome checked = RunCheck::Check(track, direction, *terrain, fetched.run.car, inputs,
                                                          fetched.run.timeMs, fetched.run.samplesCrc,
                                                          outcome.ghost.run);
        if (checked.verdict != RunCheck::Verdict::Genuine) {
            // The server drove it to this time: here it drives elsewhere.
            outcome.problem = fetched.player + "'s run drives otherwise in this game (another version of " +
                              fetched.run.car + " or " + fetched.run.track.key + ")";
            return outcome;
        }
        outcome.driven = true;
        outcome.ghost.trackKey = track.GhostKey(direction);
        outcome.ghost.carKey = fetched.run.car;
        outcome.ghost.player = fetched.player;
        outcome.ghost.timeMs = fetched.run.timeMs;
        return outcome;
    });
}

GhostFetch::Status GhostFetch::Poll() {
    if (!drive.valid()) return Status::Idle;
    if (drive.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return Status::Driving;
    Outcome outcome = drive.get();
    ghost = std::move(outcome.ghost);
    problem = std::move(outcome.problem);
    return outcome.driven ? Status::Done : Status::Failed;
}
