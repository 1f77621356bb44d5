#include "ClickAreas.h"

#include <GL/glew.h>

#include <nodara/Font.h>

#include "input/KeyBindings.h"

namespace {

const int LeftButton = 1;
const int Pressed = 0;

}  // namespace

void ClickAreas::Clear(float height) {
    // Drawn anew from here on: what the pointer is on is judged by what the
    // player saw.
    hovered = At(pointerX, pointerY);
    areas.clear();
    heightPx = height;
}

void ClickAreas::Add(int id, float left, float bottom, float right, float top) {
    areas.push_back({id, left, bottom, right, top});
}

float ClickAreas::Print(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& text, int id) {
    const float end = PrintText(fonts, font, x, y, text);
    const float size = static_cast<float>(font.GetSize());
    Add(id, x, y - 0.3f * size, end, y + size);
    return end;
}

float ClickAreas::PrintText(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& text) {
    fonts.Print(font, x, y, text);
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid) return x;
    // The glyphs advanced the raster position by the text's width in window
    // pixels, so the font needs no metrics of its own here; the caller's
    // units may be scaled from them (a small window's HUD).
    GLfloat end[4], projection[16], modelview[16];
    GLint viewport[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, end);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float pixelsPerUnit = projection[0] * modelview[0] * static_cast<float>(viewport[2]) / 2.0f;
    glRasterPos3f(x, y, 0.0f);
    GLfloat start[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, start);
    if (!(pixelsPerUnit > 0.0f)) return end[0];
    return x + (end[0] - start[0]) / pixelsPerUnit;
}

std::vector<ClickAreas::Part> ClickAreas::KeyParts(const std::string& line) {
    std::vector<Part> parts;
    std::size_t colon = line.find(':');
    while (colon != std::string::npos) {
        std::size_t begin = colon;
        while (begin > 0 && line[begin - 1] != ' ') --begin;
        const unsigned key = KeyBindings::KeyFromName(line.substr(begin, colon - begin));
        std::size_t end = line.find("  ", colon);
        if (end == std::string::npos) end = line.size();
        if (key != 0) parts.push_back({line.substr(begin, end - begin), static_cast<int>(key)});
        colon = line.find(':', end);
    }
    return parts;
}

float ClickAreas::PrintLine(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& line,
                            const std::vector<Part>& parts) {
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    std::size_t from = 0;
    while (from < line.size()) {
        // The nearest part from here on; the text before it is printed as it is.
        std::size_t at = std::string::npos;
        const Part* next = nullptr;
        for (const Part& part : parts) {
            const std::size_t found = part.text.empty() ? std::string::npos : line.find(part.text, from);
            if (found < at) at = found, next = &part;
        }
        if (at != from) {
            const std::size_t end = next ? at : line.size();
            // Printed from where the last piece left the raster position, so
            // the pieces sit exactly as the whole line would.
            x = PrintText(fonts, font, x, y, line.substr(from, end - from));
            from = end;
            continue;
        }
        // The raster position takes the colour at the time it is set.
        if (next->id == hovered && hovered != None) glColor4f(1.0f, 1.0f, 1.0f, colour[3]);
        x = Print(fonts, font, x, y, next->text, next->id);
        glColor4fv(colour);
        from += next->text.size();
    }
    return x;
}

int ClickAreas::At(int x, int y) const {
    const float px = static_cast<float>(x), py = heightPx - static_cast<float>(y);
    for (auto it = areas.rbegin(); it != areas.rend(); ++it)
        if (px >= it->left && px < it->right && py >= it->bottom && py < it->top) return it->id;
    return None;
}

bool ClickAreas::Find(int id, float& left, float& bottom, float& right, float& top) const {
    for (const Area& area : areas)
        if (area.id == id) {
            left = area.left, bottom = area.bottom, right = area.right, top = area.top;
            return true;
        }
    return false;
}

int ClickAreas::OnMouse(int x, int y, int button, int state) {
    pointerX = x;
    pointerY = y;
    hovered = At(x, y);
    return button == LeftButton && state == Pressed ? hovered : None;
}
