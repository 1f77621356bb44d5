#include "OptionsPage.h"

#include <algorithm>
#include <cstdlib>

#include <GL/glew.h>

#include <nodara/Font.h>

#include "input/KeyBindings.h"
#include "platform/WindowMessage.h"

namespace {

const int Pressed = 0;

// The page's look: the menu's grey, nearly opaque, so the rows stay readable
// over the room; the chosen line in the menu's yellow.
void Colour(bool chosen) {
    if (chosen)
        glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
    else
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
}

}  // namespace

void OptionsPage::SetSections(std::vector<Section> value) {
    sections = std::move(value);
    section = 0;
    line = TabLine;
    waiting = false;
    message.clear();
}

void OptionsPage::Open() {
    typing = TextField(0);
    open = true;
    line = TabLine;
    waiting = false;
    message.clear();
}

void OptionsPage::Close() {
    typing = TextField(0);
    open = false;
    waiting = false;
    message.clear();
}

int OptionsPage::RowCount() const {
    return section < GetSectionCount() ? static_cast<int>(sections[section].rows.size()) : 0;
}

const OptionsPage::Row* OptionsPage::RowAt(int row) const {
    return row >= 0 && row < RowCount() ? &sections[section].rows[row] : nullptr;
}

void OptionsPage::ChangeSection(int step) {
    const int count = GetSectionCount();
    if (count == 0) return;
    section = ((section + step) % count + count) % count;
}

void OptionsPage::Change(int row, int step) {
    if (const Row* chosen = RowAt(row); chosen && chosen->change) chosen->change(step);
}

void OptionsPage::Activate(int lineIndex) {
    if (lineIndex == TabLine) {
        ChangeSection(1);
    } else if (lineIndex == RowCount()) {
        Close();
    } else if (const Row* row = RowAt(lineIndex)) {
        if (row->press) {
            row->press();
        } else if (row->text) {
            typing = TextField(row->textLength);
            typing.Begin(row->value ? row->value() : "");
            message = "Type the " + row->label + ", Return to keep it (Escape: as it was)";
        } else if (row->bind) {
            waiting = true;
            message = "Press the key for " + row->label + " (Escape: keep " + (row->value ? row->value() : "") + ")";
        } else {
            Change(lineIndex, 1);
        }
    }
}

void OptionsPage::OnKey(unsigned key, int state) {
    if (!open || state != Pressed) return;
    if (typing.IsEditing()) {
        if (typing.OnKey(key) != TextField::Outcome::Done) return;
        message.clear();
        if (const Row* row = RowAt(line); row && row->text) message = row->text(typing.GetText());
        return;
    }
    if (waiting) {
        waiting = false;
        message.clear();
        const Row* row = RowAt(line);
        if (key != VK_ESCAPE && row && row->bind) message = row->bind(key);
        return;
    }
    message.clear();
    const int lines = RowCount() + 2;  // the tabs, the rows and "Back"
    switch (key) {
    case VK_UP: line = (line + 1 + lines - 1) % lines - 1; break;
    case VK_DOWN: line = (line + 1 + 1) % lines - 1; break;
    case VK_LEFT:
    case VK_RIGHT: {
        const int step = key == VK_RIGHT ? 1 : -1;
        if (line == TabLine)
            ChangeSection(step);
        else
            Change(line, step);
        break;
    }
    case VK_RETURN: Activate(line); break;
    case VK_ESCAPE: Close(); break;
    default: break;
    }
}

void OptionsPage::OnChar(unsigned character) {
    if (open) typing.OnChar(character);
}

void OptionsPage::OnMouse(int x, int y, int button, int state) {
    // While a line is typed the keys alone speak.
    if (!open || typing.IsEditing()) return;
    const int pressed = areas.OnMouse(x, y, button, state);
    const int hovered = areas.Hovered();
    if (waiting) {
        // A click anywhere leaves the binding as it was; moving does nothing.
        if (button == 1 && state == Pressed) {
            waiting = false;
            message.clear();
        }
        return;
    }
    // The pointer chooses the line it is on, as Up and Down would.
    if (hovered == BackArea)
        line = RowCount();
    else if (hovered >= TabArea(0) && hovered < TabArea(GetSectionCount()))
        line = TabLine;
    else if (hovered >= RowArea(0) && hovered < MoreArea(RowCount()))
        line = hovered % 1000;
    if (pressed == ClickAreas::None) return;
    message.clear();
    if (pressed == BackArea) {
        Close();
    } else if (pressed >= TabArea(0) && pressed < TabArea(GetSectionCount())) {
        section = pressed - TabArea(0);
        line = TabLine;
    } else if (pressed >= LessArea(0) && pressed < LessArea(RowCount())) {
        Change(pressed - LessArea(0), -1);
    } else if (pressed >= MoreArea(0) && pressed < MoreArea(RowCount())) {
        Change(pressed - MoreArea(0), 1);
    } else if (pressed >= RowArea(0) && pressed < RowArea(RowCount())) {
        Activate(pressed - RowArea(0));
    }
}

void OptionsPage::OnWheel(int x, int y, int notches) {
    if (!open || waiting || typing.IsEditing() || notches == 0) return;
    const int under = areas.At(x, y);
    const int step = notches > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(notches); ++i) {
        if (under >= TabArea(0) && under < TabArea(GetSectionCount()))
            ChangeSection(step);
        else if (under >= RowArea(0) && under < MoreArea(RowCount()))
            Change(under % 1000, step);
    }
}

std::string OptionsPage::RowText(int sectionIndex, int row) const {
    if (sectionIndex < 0 || sectionIndex >= GetSectionCount() || row < 0 ||
        row >= static_cast<int>(sections[sectionIndex].rows.size()))
        return "";
    const Row& chosen = sections[sectionIndex].rows[row];
    return chosen.value ? chosen.label + ": " + chosen.value() : chosen.label;
}

void OptionsPage::Draw(Renderer::FontManager& fonts, float w, float h) {
    if (!titleFont) titleFont = fonts.Generate("Arial", 30);
    if (!rowFont) rowFont = fonts.Generate("Arial", 22);
    areas.Clear(h);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float left = 60.0f, right = w - 60.0f, top = h - 20.0f, bottom = 20.0f;
    glColor4f(0.3f, 0.3f, 0.3f, 0.85f);
    glBegin(GL_QUADS);
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glVertex2f(left, top);
    glEnd();
    if (!titleFont || !rowFont) {
        glPopAttrib();
        return;
    }

    // The tabs, the section shown underlined.
    float x = left + 40.0f;
    const float tabsY = h - 70.0f;
    for (int i = 0; i < GetSectionCount(); ++i) {
        if (i == section)
            Colour(line == TabLine);
        else
            glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
        const float end = areas.Print(fonts, *titleFont, x, tabsY, sections[i].name, TabArea(i));
        if (i == section) {
            glBegin(GL_QUADS);
            glVertex2f(x, tabsY - 10.0f);
            glVertex2f(end, tabsY - 10.0f);
            glVertex2f(end, tabsY - 7.0f);
            glVertex2f(x, tabsY - 7.0f);
            glEnd();
        }
        // Seven tabs fit a 1,024-pixel window only closer together.
        x = end + (GetSectionCount() > 6 ? 22.0f : 45.0f);
    }

    // The rows, as many as fit between the tabs and "Back".
    const int rows = RowCount();
    const float firstY = tabsY - 65.0f, lastY = 130.0f;
    const float rowH = rows > 1 ? std::min(38.0f, (firstY - lastY) / static_cast<float>(rows - 1)) : 38.0f;
    const float valueX = std::max(left + 420.0f, w / 2.0f);
    const float size = static_cast<float>(rowFont->GetSize());
    for (int r = 0; r < rows; ++r) {
        const Row& row = sections[section].rows[r];
        const float y = firstY - rowH * static_cast<float>(r);
        // The whole line answers the mouse; the arrows added after it win over it.
        areas.Add(RowArea(r), left, y - 0.3f * size, right, y + size);
        Colour(line == r);
        fonts.Print(*rowFont, left + 40.0f, y, row.label);
        if (row.text) {
            fonts.Print(*rowFont, valueX + 40.0f, y,
                        typing.IsEditing() && line == r ? typing.Shown() : (row.value ? row.value() : ""));
        } else if (row.bind) {
            fonts.Print(*rowFont, valueX + 40.0f, y, waiting && line == r ? "press a key" : row.value());
        } else if (row.value) {
            areas.Print(fonts, *rowFont, valueX, y, "<", LessArea(r));
            const float end = areas.Print(fonts, *rowFont, valueX + 40.0f, y, row.value(), RowArea(r));
            areas.Print(fonts, *rowFont, end + 25.0f, y, ">", MoreArea(r));
        }
    }

    Colour(line == rows);
    areas.Print(fonts, *titleFont, left + 40.0f, 50.0f, "Back", BackArea);
    if (!message.empty()) {
        glColor4f(1.0f, 0.6f, 0.2f, 1.0f);
        fonts.Print(*rowFont, left + 200.0f, 55.0f, message);
    }
    glPopAttrib();
}
