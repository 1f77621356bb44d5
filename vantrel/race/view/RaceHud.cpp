#include "RaceHud.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <GL/glew.h>

#include <lumora/Lumora.h>
#include <nodara/Font.h>

#include "RacePicture.h"
#include "cars/Car.h"
#include "hud/ResultsTable.h"
#include "physics/DynamicObjectCar.h"
#include "race/GhostRace.h"
#include "race/RaceClock.h"
#include "race/RaceField.h"
#include "race/TrialResult.h"
#include "race/WrongWay.h"
#include "race/rules/RaceRules.h"
#include "track/Track.h"

const char* RaceHud::CountdownDigit(float countdownS) {
    if (countdownS < 0.0f || countdownS >= 3.0f) return nullptr;
    if (countdownS >= 2.0f) return "3";
    if (countdownS >= 1.0f) return "2";
    return "1";
}

void RaceHud::Draw(Lumora& engine, const RacePicture& race, float w, float h, ClickAreas* endScreen) {
    Car* car = race.car;
    const std::vector<Track::Checkpoint>& checkpoints = race.track->checkpoints;
    const bool checkpointAhead = race.mode != RaceMode::FreeDrive && race.nextCheckpoint < checkpoints.size();
    if (car && car->body)
        minimap.Draw(w, h, *car->body, checkpointAhead ? &checkpoints[race.nextCheckpoint] : nullptr,
                     race.field ? race.field->MapDots(race.player) : TrialDots(race));
    if (race.mode != RaceMode::FreeDrive && smallFont && largeFont)
        DrawRaceLines(engine.GetRenderer()->GetFontManager(), race, w, h, endScreen);
    if (car) car->DrawInstruments(engine, w);
}

void RaceHud::DrawRaceLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                            ClickAreas* endScreen) const {
    const RaceRules& rules = *race.rules;
    // The Time Trial's clock runs from the start, countdown included, and
    // shows it; a Race has no clock to beat, only the time taken.
    glColor3f(1.0f, 1.0f, 0.0f);
    fonts.Print(*smallFont, w / 2 - 50, h - 50,
                RaceClock::Format(race.field ? rules.GetClock().GetTakenS() : race.remainingTime));
    if (race.field)
        DrawFieldLines(fonts, race, w, h, endScreen);
    else
        DrawNamesAndLines(fonts, race, w, h, h - 124);
    const float countdown = rules.GetCountdown();
    if (countdown >= 0.0f) {
        glColor4f(1.0f, 0.8f, 0.0f, 1.0f);
        if (const char* digit = CountdownDigit(countdown)) fonts.Print(*largeFont, w / 2 - 20, h / 2 + 100, digit);
        return;
    }
    const float goTime = rules.GetGoTime();
    if (goTime > 0.0f) {
        glColor4f(1.0f, 0.8f, 0.0f, goTime * 0.5f);
        fonts.Print(*largeFont, w / 2 - 30, h / 2 + 100, "Go!");
    }
    if (race.field) return;
    glColor3f(1.0f, 1.0f, 0.0f);
    char line[64];
    char distance[32] = "";
    const std::vector<Track::Checkpoint>& checkpoints = race.track->checkpoints;
    const unsigned next = race.nextCheckpoint;
    std::snprintf(line, sizeof line, "Checkpoint: %d", static_cast<int>(next) + 1);
    if (next < checkpoints.size() && race.car && race.car->body) {
        const vmath::vec3<float> p = race.car->body->GetPosition();
        std::snprintf(distance, sizeof distance, "(%.0f m)",
                      std::hypot(checkpoints[next].x - p.x, checkpoints[next].y - p.y));
    }
    // A narrow window has no room beside the clock for the distance: it goes below, smaller.
    if (w >= NarrowHudWidth || !messageFont || !distance[0]) {
        if (distance[0]) std::snprintf(line + std::strlen(line), sizeof line - std::strlen(line), "  %s", distance);
        fonts.Print(*smallFont, 30, h - 50, line);
    } else {
        fonts.Print(*smallFont, 30, h - 50, line);
        fonts.Print(*messageFont, 30, h - 76, distance);
    }
    if (race.wrongWay) race.wrongWay->Draw(fonts, *largeFont, w, h);
    if (race.remainingTime <= 0.0) {
        fonts.Print(*largeFont, w / 2 - 130, h / 2, "Time is up !");
    } else if (next == checkpoints.size()) {
        fonts.Print(*largeFont, w / 2 - 100, h / 2, "Perfect !");
    }
    if (race.ghostRace && messageFont) race.ghostRace->DrawLines(fonts, *smallFont, *messageFont, w, h);
    if (rules.IsOver(race.player) && race.endScreen) {
        // Beside others (a network trial) the table of everyone, else the trial's own outcome.
        if (race.table && messageFont)
            ResultsTable::Draw(fonts, *messageFont, *race.table, w, h, endScreen);
        else if (race.result)
            race.result->Draw(fonts, *smallFont, w, h, endScreen);
    }
}

std::vector<MapDot> RaceHud::TrialDots(const RacePicture& race) {
    std::vector<MapDot> dots = race.guestDots;
    if (race.ghostRace)
        for (const MapDot& dot : race.ghostRace->MapDots()) dots.push_back(dot);
    return dots;
}

void RaceHud::DrawNamesAndLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                                float linesY) const {
    if (!messageFont) return;
    glColor3f(1.0f, 1.0f, 1.0f);
    // Centred on the car as near as the glyphs' average width allows.
    const float halfChar = 0.25f * static_cast<float>(messageFont->GetSize());
    for (const RacePicture::Label& label : race.labels)
        fonts.Print(*messageFont, label.x * w - halfChar * static_cast<float>(label.text.size()), label.y * h,
                    label.text);
    glColor3f(1.0f, 1.0f, 0.0f);
    if (race.lines)
        for (std::size_t i = 0; i < race.lines->size(); ++i)
            fonts.Print(*messageFont, 30, linesY - 22.0f * static_cast<float>(i), (*race.lines)[i]);
}

void RaceHud::DrawFieldLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                             ClickAreas* endScreen) const {
    const RaceField& field = *race.field;
    const double nowS = race.rules->GetClock().GetTakenS();
    DrawNamesAndLines(fonts, race, w, h, h - 124);
    glColor3f(1.0f, 1.0f, 0.0f);
    fonts.Print(*smallFont, 30, h - 50, field.PositionLine(race.player));
    if (messageFont) {
        fonts.Print(*messageFont, 30, h - 80, field.GapAheadLine(nowS, race.player));
        fonts.Print(*messageFont, 30, h - 102, field.GapBehindLine(nowS, race.player));
    }
    if (race.wrongWay) race.wrongWay->Draw(fonts, *largeFont, w, h);
    if (field.IsPlayerFinished(race.player) && messageFont && race.endScreen) {
        if (race.table)
            ResultsTable::Draw(fonts, *messageFont, *race.table, w, h, endScreen);
        else
            ResultsTable::Draw(fonts, *messageFont, field.Results(), w, h, endScreen);
    }
}
