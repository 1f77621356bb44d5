#pragma once
// How a Race's field is made up, as the player keeps it in settings.ini:
//   [race]
//   opponents = 5
//   difficulty = medium
#include <string>

#include "drivers/RacingDriver.h"

class SettingsStore;

struct FieldSettings {
    static const char* const Section;  ///< "race"
    unsigned opponents = 5;            ///< 1 ... 7
    RacingDriver::Skill skill = RacingDriver::Skill::Medium;

    /// The values kept in `store` (null: the defaults); a value out of
    /// range or unreadable is replaced by the nearest or the default one,
    /// with one Warn line naming it.
    static FieldSettings Read(SettingsStore* store);
    /// Keeps `skill` in `store` (null: nothing).
    static void KeepSkill(SettingsStore* store, RacingDriver::Skill skill);

    /// "Easy", "Medium", "Hard".
    static const char* SkillName(RacingDriver::Skill skill);
    /// Easy, Medium, Hard, Easy, ...: what Return on the show room's entry steps to.
    static RacingDriver::Skill NextSkill(RacingDriver::Skill skill);
};
