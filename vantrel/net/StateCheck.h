#pragma once
// Whether a car state a client sends could have been driven.
#include <cstdint>
#include <vector>

#include <vmath/vec2.h>
#include <vmath/vec3.h>

#include "Protocol.h"

class RoadCentreLine;

/// The server's check of every car state: the speed within the car's top
/// speed plus a margin, the move since the last state within what that speed
/// allows in the ticks between, the car inside the world, no tick ahead of
/// the server's clock, and the checkpoints passed in order. The server
/// counts the checkpoints itself, from the path between the states; a
/// client claiming one more than the server saw (a finish included) has
/// skipped one. A state whose recoveries' count changed is a car put back
/// on the road: it may jump, but only onto the road level with where it
/// was (never further along than its speed allows), and not again within
/// recoveryEveryTicks. Pure: the result depends only on the limits, the
/// car's progress so far and the state.
class StateCheck {
public:
    enum class Verdict {
        Accepted,
        Stale,            ///< not newer than the last accepted: dropped, no offence
        TooFast,          ///< speed beyond the car's top speed and the margin
        ImpossibleMove,   ///< further than the speed allows since the last state
        OutsideWorld,
        AheadOfClock,     ///< a tick the server's clock has not reached
        CheckpointSkipped ///< claims a checkpoint (or the finish) it never passed
    };

    struct Limits {
        double topSpeedMs = 0.0;     ///< the car's top speed on the flat (m/s)
        double speedMarginMs = 8.0;  ///< allowed above it: downhill, a push from another car
        double moveSlackM = 1.5;     ///< allowed beyond speed times time: rounding, a bump
        double tickS = 1.0 / 120.0;  ///< one tick of the race (s)
        std::uint32_t aheadTicks = 120;  ///< how far a client's clock may run ahead of the server's
        vmath::vec3<double> worldMinM{-1.0e4, -1.0e4, -1.0e3};
        vmath::vec3<double> worldMaxM{1.0e4, 1.0e4, 1.0e3};
        std::vector<vmath::vec2<double>> checkpointsM;  ///< in the order they are passed, the last the finish
        double checkpointReachM = 3.0;  ///< half-size of a checkpoint's square, as the rules test it
        /// The road recoveries put a car on; null: none is accepted.
        const RoadCentreLine* road = nullptr;
        double recoveryReachM = 6.0;  ///< how far from the centre line a recovered car may stand
        std::uint32_t recoveryEveryTicks = 120;  ///< the least between two recoveries
    };

    /// What the server has accepted of one car so far.
    struct Progress {
        bool started = false;  ///< a state accepted
        std::uint32_t tick = 0;
        vmath::vec3<double> positionM{0.0, 0.0, 0.0};
        unsigned checkpoints = 0;  ///< passed, as the server saw them
        std::uint8_t recoveries = 0;  ///< as the last accepted state counted them
        bool recovered = false;       ///< a recovery accepted, at recoveryTick
        std::uint32_t recoveryTick = 0;
        bool IsFinished(const Limits& limits) const {
            return !limits.checkpointsM.empty() && checkpoints >= limits.checkpointsM.size();
        }
    };

    explicit StateCheck(Limits limits);

    /// Checks `state` against `progress`, which it moves on when the state
    /// is accepted (and leaves alone otherwise). `serverTick` is the server's
    /// own count of the race's ticks.
    Verdict Check(Progress& progress, const Protocol::CarState& state, std::uint32_t serverTick) const;

    /// Whether a verdict means a state no honest client sends. A speed
    /// beyond the car's is not one: a car knocked by another shows it, and
    /// the move check bounds where a car may be whatever speed it claims;
    /// such a state is only dropped.
    static bool IsImpossible(Verdict verdict) {
        return verdict != Verdict::Accepted && verdict != Verdict::Stale && verdict != Verdict::TooFast;
    }
    /// "too fast", "impossible move" and so on, for the log.
    static const char* Describe(Verdict verdict);
    /// The most speed a state may show (m/s).
    double GetMaxSpeedMs() const { return limits.topSpeedMs + limits.speedMarginMs; }
    const Limits& GetLimits() const { return limits; }

private:
    /// Whether a recovery from `progress` to `position` at `tick` puts the car where one would.
    bool IsRecovery(const Progress& progress, const vmath::vec3<double>& position, std::uint32_t tick) const;
    /// Whether the ground path from `a` to `b` touches checkpoint `index`'s
    /// square, grown by `wanderM` on every side.
    bool Crosses(const vmath::vec3<double>& a, const vmath::vec3<double>& b, unsigned index, double wanderM) const;

    Limits limits;
};
