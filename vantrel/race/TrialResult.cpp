#include "TrialResult.h"

#include <algorithm>
#include <cmath>

#include <GL/gl.h>

#include "RaceClock.h"
#include "hud/ClickAreas.h"
#include "rules/TrialRun.h"
#include "storage/RecordsStore.h"

const char* const TrialResult::NextKeysLine = "Return: race again   W: watch replay   Escape: show room";

void TrialResult::Finish(RecordsStore* records, const std::string& car, double takenS) {
    finished = true;
    takenMs = TrialRun::ToMs(takenS);
    newRecord = records && records->Submit(car, takenMs);
    bestMs = records ? records->BestMs(car) : std::nullopt;
}

std::vector<std::string> TrialResult::Lines() const {
    std::vector<std::string> lines;
    if (finished) {
        lines.push_back("Time: " + RaceClock::FormatMs(takenMs));
        if (bestMs) lines.push_back("Best: " + RaceClock::FormatMs(*bestMs));
        if (newRecord) lines.push_back("New record!");
    }
    lines.push_back(NextKeysLine);
    return lines;
}

void TrialResult::Draw(Renderer::FontManager& fonts, Font& font, float w, float h, ClickAreas* areas) const {
    const std::vector<std::string> lines = Lines();
    float y = h / 2 - 60;
    for (const std::string& line : lines) {
        // The keys go on a line of their own, apart from the times.
        const bool keys = &line == &lines.back();
        if (keys) y -= 20;
        glColor3f(1.0f, 1.0f, 0.0f);
        if (keys && areas)
            areas->PrintLine(fonts, font, w / 2 - 400, y, line, ClickAreas::KeyParts(line));
        else
            fonts.Print(font, keys ? w / 2 - 400 : w / 2 - 100, y, line);
        y -= 40;
    }
}
