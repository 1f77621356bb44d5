#include "FieldRaceRules.h"

#include "race/RaceField.h"

void FieldRaceRules::BeforeTick(float tickS) {
    RaceRules::BeforeTick(tickS);
    field.Drive(tickS, IsReleased());
}

void FieldRaceRules::AfterTick(float tickS, const std::vector<Car*>&) {
    if (IsReleased() && !field.AreAllPlayersFinished()) clock.Elapse(tickS);
    if (IsWorldRunning()) field.Update(tickS, clock.GetTakenS(), IsReleased());
}

bool FieldRaceRules::IsWorldRunning() const { return !field.IsEveryoneFinished(); }

bool FieldRaceRules::IsOver() const { return field.AreAllPlayersFinished(); }

bool FieldRaceRules::IsOver(std::size_t player) const { return field.IsPlayerFinished(player); }
