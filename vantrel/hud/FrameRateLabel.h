#pragma once
#include <nodara/Renderer.h>

class Font;

/// "60 fps" in a corner, the frames counted over half a second at a time so
/// the figure can be read, for the player who asked to see it
/// (DisplaySettings::showFrameRate).
class FrameRateLabel {
public:
    /// Counts one frame `cycleTimeS` long; times of a second or more (a
    /// mode's first frame) or no number are left out.
    void Step(double cycleTimeS);
    /// Frames a second over the last half second counted; 0 before one was.
    double GetFramesPerSecond() const { return shownFps; }
    /// Prints the label at (x, y) in window pixels in light grey, in the
    /// caller's screen projection; "-- fps" before the first half second.
    void Draw(Renderer::FontManager& fonts, Font& font, float x, float y) const;

private:
    int frames = 0;
    double timeS = 0.0;
    double shownFps = 0.0;
};
