#include "HudNotice.h"

#include <GL/gl.h>

#include <algorithm>

#include <nodara/Font.h>
#include <nodara/Renderer.h>

void HudNotice::Show(const std::string& line, double nowS, bool isWarning, double shownS) {
    text.clear();
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127)
            text += c;
        else if ((byte & 0xC0) != 0x80)  // a UTF-8 character's first byte, or a control
            text += '?';
    }
    shownAtS = nowS;
    ageS = 0.0;
    shownForS = shownS;
    warning = isWarning;
}

void HudNotice::Update(double nowS) { ageS = nowS - shownAtS; }

void HudNotice::Draw(Renderer& renderer, Font& font) const {
    if (!IsShown()) return;
    Renderer::FontManager& fonts = renderer.GetFontManager();
    const float alpha = static_cast<float>(std::min(1.0, (shownForS - ageS) / FadeS));
    const float paddingPx = 8.0f, heightPx = static_cast<float>(font.GetSize()) + 2 * paddingPx;
    const float textX = MarginPx + paddingPx, textY = BottomPx + paddingPx;
    glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The fonts measure nothing, but their glyphs move the raster position:
    // printed unseen first, the line tells the panel its width.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    fonts.Print(font, textX, textY, text);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    GLfloat end[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, end);
    const float rightPx = std::max(end[0], textX) + paddingPx;

    // The instruments' translucent grey.
    glColor4f(0.2f, 0.2f, 0.2f, 0.6f * alpha);
    glBegin(GL_QUADS);
    glVertex2f(MarginPx, BottomPx);
    glVertex2f(rightPx, BottomPx);
    glVertex2f(rightPx, BottomPx + heightPx);
    glVertex2f(MarginPx, BottomPx + heightPx);
    glEnd();
    if (warning)
        glColor4f(1.0f, 0.8f, 0.0f, alpha);
    else
        glColor4f(0.9f, 0.9f, 0.9f, alpha);
    fonts.Print(font, textX, textY, text);
    glPopAttrib();
}
