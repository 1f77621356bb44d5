#include "FieldSettings.h"

#include <cctype>
#include <cmath>
#include <iostream>

#include "RaceField.h"
#include "storage/SettingsStore.h"

const char* const FieldSettings::Section = "race";

namespace {

const char* const OpponentsKey = "opponents";
const char* const DifficultyKey = "difficulty";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

const char* FieldSettings::SkillName(RacingDriver::Skill skill) {
    switch (skill) {
    case RacingDriver::Skill::Easy: return "Easy";
    case RacingDriver::Skill::Hard: return "Hard";
    default: return "Medium";
    }
}

RacingDriver::Skill FieldSettings::NextSkill(RacingDriver::Skill skill) {
    switch (skill) {
    case RacingDriver::Skill::Easy: return RacingDriver::Skill::Medium;
    case RacingDriver::Skill::Medium: return RacingDriver::Skill::Hard;
    default: return RacingDriver::Skill::Easy;
    }
}

FieldSettings FieldSettings::Read(SettingsStore* store) {
    FieldSettings settings;
    if (!store) return settings;
    settings.opponents = static_cast<unsigned>(std::lround(
        store->GetNumber(Section, OpponentsKey, 1.0, RaceField::MaxOpponents, settings.opponents)));
    if (const std::optional<std::string> text = store->Get(Section, DifficultyKey); text && !text->empty()) {
        bool known = false;
        for (RacingDriver::Skill skill :
             {RacingDriver::Skill::Easy, RacingDriver::Skill::Medium, RacingDriver::Skill::Hard})
            if (Lower(*text) == Lower(SkillName(skill))) {
                settings.skill = skill;
                known = true;
            }
        if (!known)
            std::cout << "[WARN] FieldSettings: [race] difficulty = \"" << *text << "\" is none of easy, medium, "
                      << "hard; medium it is" << std::endl;
    }
    return settings;
}

void FieldSettings::KeepSkill(SettingsStore* store, RacingDriver::Skill skill) {
    if (store) store->Set(Section, DifficultyKey, Lower(SkillName(skill)));
}
