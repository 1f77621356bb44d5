#include "ResultsTable.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

#include "ClickAreas.h"

const char* const ResultsTable::NextKeysLine = "Return: race again   W: watch replay   Escape: show room";

void ResultsTable::Draw(Renderer::FontManager& fonts, Font& font, const std::vector<Row>& rows, float w, float h,
                        ClickAreas* areas) {
    Table table;
    table.rows = rows;
    Draw(fonts, font, table, w, h, areas);
}

void ResultsTable::Draw(Renderer::FontManager& fonts, Font& font, const Table& table, float w, float h,
                        ClickAreas* areas) {
    const std::vector<Row>& rows = table.rows;
    const float lineH = 34.0f, panelW = 640.0f;
    const float panelH = lineH * static_cast<float>(rows.size() + 3);
    const float left = std::floor((w - panelW) / 2), top = std::floor((h + panelH) / 2);

    glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The instruments' translucent grey.
    glColor4f(0.2f, 0.2f, 0.2f, 0.75f);
    glBegin(GL_QUADS);
    glVertex2f(left, top - panelH);
    glVertex2f(left + panelW, top - panelH);
    glVertex2f(left + panelW, top);
    glVertex2f(left, top);
    glEnd();

    float y = top - lineH;
    glColor3f(1.0f, 0.8f, 0.0f);
    fonts.Print(font, left + 20, y, table.title);
    char position[8];
    for (const Row& row : rows) {
        y -= lineH;
        if (row.player)
            glColor3f(1.0f, 1.0f, 0.0f);
        else
            glColor3f(0.9f, 0.9f, 0.9f);
        std::snprintf(position, sizeof position, "%u.", row.position);
        fonts.Print(font, left + 20, y, position);
        fonts.Print(font, left + 70, y, row.name);
        fonts.Print(font, left + 300, y, row.car);
        fonts.Print(font, left + 470, y, row.result);
    }
    y -= lineH;
    glColor3f(1.0f, 1.0f, 0.0f);
    if (areas)
        areas->PrintLine(fonts, font, left + 20, y, table.keys, ClickAreas::KeyParts(table.keys));
    else
        fonts.Print(font, left + 20, y, table.keys);
    glPopAttrib();
}
