#include "FieldRaceRules.h"

#include "race/RaceField.h"

void FieldRaceRules::BeforeTick(float tickS) {
    RaceRules::BeforeTick(tickS);
    field.Drive(tickS, IsReleased());
}

void FieldRaceRules::AfterTick(float tickS, const Car&) {
    if (IsReleased() && !field.IsPlayerFinished()) clock.Elapse(tickS);
    if (IsWorldRunning()) field.Update(tickS, clock.GetTakenS(), IsReleased());
}

bool FieldRaceRules::IsWorldRunning() const { return !field.IsEveryoneFinished(); }

bool FieldRaceRules::IsOver() const { return field.IsPlayerFinished(); }
