#pragma once

/// Steps a race at a fixed tick, whatever the frame rate: each frame runs the
/// ticks that bring the simulated time level with or just past the frame's
/// time, so the same inputs give the same race on any machine, and drawing
/// blends between the last two ticks (GetBlend). A frame of a second or more
/// (or not a number), such as one spent loading, runs no tick at all.
class FixedTick {
public:
    /// The physics' own substep, so one tick is one step of the world.
    static constexpr double TickS = 1.0 / 120.0;
    /// The most ticks one frame runs (a second's): a slower frame slows the
    /// race down rather than spiralling into ever longer frames.
    static constexpr int MaxTicksPerFrame = 120;

    /// The number of ticks to run for a frame of `frameS` seconds.
    int Advance(double frameS);
    /// Where the frame's time lies between the last two ticks: 0 at the
    /// earlier, 1 at the later.
    float GetBlend() const { return blend; }
    /// Ticks run since the start (or Reset).
    long GetTickCount() const { return ticks; }
    /// Back to the start: no time ahead, nothing run.
    void Reset() { *this = FixedTick(); }

private:
    double aheadS = 0.0;  ///< simulated time past the frames' time, [0, TickS)
    float blend = 1.0f;
    long ticks = 0;
};
