#include "FrameRateLabel.h"

#include <cstdio>

#include <GL/glew.h>

namespace {

const double CountingS = 0.5;

}  // namespace

void FrameRateLabel::Step(double cycleTimeS) {
    if (!(cycleTimeS >= 0.0 && cycleTimeS < 1.0)) return;
    ++frames;
    timeS += cycleTimeS;
    if (timeS < CountingS) return;
    shownFps = frames / timeS;
    frames = 0;
    timeS = 0.0;
}

void FrameRateLabel::Draw(Renderer::FontManager& fonts, Font& font, float x, float y) const {
    char text[32];
    if (shownFps > 0.0)
        std::snprintf(text, sizeof text, "%.0f fps", shownFps);
    else
        std::snprintf(text, sizeof text, "-- fps");
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    fonts.Print(font, x, y, text);
}
