#pragma once
// Whether a Time Trial run was driven as it says: its inputs driven again.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "replay/RunInputs.h"
#include "track/TrackDescription.h"

class Driver;
class RecordedRun;
class TrackTerrain;
struct Car;

/// Drives a run's recorded inputs (RecordedRun::GetInputs) again where
/// nothing is drawn: the car of its description put on the start of the
/// track's way with the track's ground, ticked at the race's fixed tick
/// through the countdown and the checkpoints by the same rules the game
/// times a trial with. The game's race is the same to the bit for the same
/// inputs, so a genuine run comes back to the same poses, every one, and
/// to the same time. A run made up, edited after the fact or driven with
/// other car or track descriptions does not.
class RunCheck {
public:
    /// Poses further apart than this are not the same run (m).
    static constexpr float MaxDeviationM = 0.001f;

    enum class Verdict {
        Genuine,      ///< the inputs drive to the run's poses and time
        NoInputs,     ///< poses only: nothing to drive again
        UnknownCar,   ///< a car this game does not have
        DoesNotDrive  ///< another time, other poses, no finish, or a recovery the rules refuse
    };
    struct Outcome {
        Verdict verdict = Verdict::DoesNotDrive;
        std::uint32_t timeMs = 0;  ///< the time the inputs drove to (0: no finish)
        std::size_t ticks = 0;     ///< ticks driven
        float deviationM = 0.0f;   ///< the largest distance between a pose of the run and its pose driven again
        std::string why;           ///< for a refusal, in a log's words
    };

    /// The check of `run`, `timeMs` long, in car `carKey`, on `track` driven
    /// `direction` with `terrain`'s ground. Bounded by the run's own inputs
    /// (RunInputs::MaxTicks at most).
    static Outcome Check(const TrackDescription& track, TrackDescription::Direction direction,
                         const TrackTerrain& terrain, const std::string& carKey, const RecordedRun& run,
                         std::uint32_t timeMs);
    /// The same for a run sent without its poses: the poses driven again
    /// must be those whose samples' CRC-32 is `samplesCrc` (GhostFile::SamplesCrc),
    /// and come back in `driven`, with the inputs, as the ghost to race.
    static Outcome Check(const TrackDescription& track, TrackDescription::Direction direction,
                         const TrackTerrain& terrain, const std::string& carKey, const RunInputs& inputs,
                         std::uint32_t timeMs, std::uint32_t samplesCrc, RecordedRun& driven);

    /// A trial driven by `driver` (one of the game's, for a bot, a test or a
    /// benchmark) where nothing is drawn, as the game would have recorded
    /// it: Genuine with the time, and `driven` with its poses and inputs,
    /// once it reaches the finish within RunInputs::MaxTicks.
    static Outcome Record(const TrackDescription& track, TrackDescription::Direction direction,
                          const TrackTerrain& terrain, const std::string& carKey, Driver& driver,
                          RecordedRun& driven);

private:
    /// Drives `inputs` to the finish: Genuine with `driven` and the time,
    /// or why not.
    static Outcome Drive(const TrackDescription& track, TrackDescription::Direction direction,
                         const TrackTerrain& terrain, const std::string& carKey, const RunInputs& inputs,
                         RecordedRun& driven);
    static Outcome TimeMatches(Outcome outcome, std::uint32_t timeMs);
    /// The trial ticked with the inputs `next` gives for each tick, up to
    /// `maxTicks` of them; the last must be the finish's unless `maxTicks`
    /// is RunInputs::MaxTicks.
    static Outcome Run(const TrackDescription& track, TrackDescription::Direction direction,
                       const TrackTerrain& terrain, const std::string& carKey, std::size_t maxTicks,
                       const std::function<RunInputs::Tick(Car&, std::size_t)>& next, RecordedRun& driven);
};
