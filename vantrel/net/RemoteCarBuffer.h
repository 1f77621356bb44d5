#pragma once
// Another car of a network race as its states come in, to be drawn.
#include <cstddef>
#include <cstdint>
#include <deque>

#include <vmath/vec3.h>

#include "Protocol.h"

/// The states of one other car, kept in their ticks' order, and where to
/// show the car at a moment: DelayS behind the sender's clock as the
/// fastest states tell it, blended between the two states round that
/// moment; with no newer state yet, carried on at its last velocity for up
/// to MaxExtrapolationS, then held there and marked lagging until states
/// come again. Never blended across a recovery: the car jumps. GL-free: the game draws from it, a headless client moves a
/// body by it.
class RemoteCarBuffer {
public:
    /// How far behind the sender the car is shown (s): room for a late state.
    static constexpr double DelayS = 0.1;
    static constexpr double MaxExtrapolationS = 0.25;
    /// States kept: over a second at 30 a second.
    static constexpr std::size_t MaxStates = 40;

    /// Where the car is shown.
    struct Shown {
        RecordedRun::Sample sample;
        vmath::vec3<float> velocityMs{0.0f, 0.0f, 0.0f};
        double senderS = 0.0;   ///< the sender's race time shown (s)
        double aheadS = 0.0;    ///< carried on past the newest state this long (s); 0 when blended
        bool lagging = false;   ///< held: no state for longer than the extrapolation covers
        std::uint8_t recoveries = 0;  ///< of the state shown: a car is never blended across one
    };

    /// Takes `state`, of the sender's race tick, arriving at the receiver's
    /// race time `nowS`. One older than the newest kept is dropped.
    void Push(const Protocol::CarState& state, double nowS);
    /// The car as shown at the receiver's race time `nowS`.
    /// @return false before the first state
    bool At(double nowS, Shown& shown) const;

    bool IsEmpty() const { return states.empty(); }
    std::size_t GetCount() const { return states.size(); }
    /// The sender's clock less the receiver's, from the fastest state kept (s).
    double GetOffsetS() const { return offsetS; }

private:
    struct Kept {
        double senderS = 0.0;
        RecordedRun::Sample sample;
        double arrivalOffsetS = 0.0;  ///< its sender time less its arrival time
        std::uint8_t recoveries = 0;
    };
    std::deque<Kept> states;
    double offsetS = 0.0;
};
