#pragma once
#include <string>

class Font;
class Lumora;

/// Frame timing of one game mode, and what its frame-rate line is drawn with.
/// Every new mode starts from zero, so its first cycle time is the whole
/// reading of the performance counter: the race skips such a frame, the show
/// room uses it as it is.
struct FrameStatistics {
    Font* font = nullptr;      ///< "Arial" at size 18 for the frame-rate line; not owned
    Lumora* engine = nullptr;  ///< the owning mode's graphics engine; not owned
    double cycleTime = 0.0;    ///< duration of the previous frame (s)
    double lastTime = 0.0;     ///< time stamp of the previous frame (s)

    /// The timing step with the performance counter's current reading.
    void Step();
    /// The timing step at `nowS`: the cycle time becomes the time since the
    /// last step and `nowS` the new time stamp.
    void Step(double nowS);

    /// "Frames per second: %.2f, Cycle time: %.6f [s] " for the last cycle.
    std::string FrameRateLine() const;
    /// Prints the frame-rate line in light grey at (70, `heightPx` - 80) with
    /// `font` through `engine`'s font manager, in the caller's window-pixel
    /// projection; nothing without a font or engine.
    void DrawFrameRateLine(float heightPx) const;
};
