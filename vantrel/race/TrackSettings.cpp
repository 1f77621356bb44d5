#include "TrackSettings.h"

#include <iostream>
#include <optional>
#include <string>

#include "FieldSettings.h"
#include "storage/SettingsStore.h"
#include "track/TrackList.h"

const char* const TrackSettings::TrackKey = "track";
const char* const TrackSettings::DirectionKey = "direction";

std::size_t TrackSettings::Read(SettingsStore* store, const TrackList& list) {
    if (!store || list.GetChoices().empty()) return 0;
    const std::optional<std::string> track = store->Get(FieldSettings::Section, TrackKey);
    const std::optional<std::string> direction = store->Get(FieldSettings::Section, DirectionKey);
    if ((!track || track->empty()) && (!direction || direction->empty())) return 0;
    const std::string key = track.value_or("");
    const std::string way = direction && !direction->empty() ? *direction : "forward";
    const std::optional<TrackDescription::Direction> parsed = TrackDescription::ParseDirection(way);
    std::optional<std::size_t> found;
    if (parsed) found = list.Find(key, *parsed);
    if (found) return *found;
    const std::string first = list.Label(list.GetChoices().front());
    std::cout << "[WARN] TrackSettings: [race] track = \"" << key << "\", direction = \"" << way
              << "\" names no track found; " << first << " it is" << std::endl;
    return 0;
}

void TrackSettings::Keep(SettingsStore* store, const TrackList& list, std::size_t choice) {
    if (!store || choice >= list.GetChoices().size()) return;
    const TrackList::Choice& chosen = list.GetChoices()[choice];
    store->Set(FieldSettings::Section, TrackKey, list.TrackOf(chosen).GetKey());
    store->Set(FieldSettings::Section, DirectionKey, TrackDescription::DirectionName(chosen.direction));
}
