#pragma once
// The track the player last chose, as settings.ini keeps it:
//   [race]
//   track = GreenValley
//   direction = reverse
#include <cstddef>

class SettingsStore;
class TrackList;

struct TrackSettings {
    static const char* const TrackKey;      ///< "track"
    static const char* const DirectionKey;  ///< "direction"

    /// The choice of `list` (an index in TrackList::GetChoices) kept in
    /// `store` (null: the first). Unset, it is the first; a track or
    /// direction that names none of the list's is the first as well, with
    /// one Warn line naming it. 0 for an empty list.
    static std::size_t Read(SettingsStore* store, const TrackList& list);
    /// Keeps choice `choice` of `list` in `store` (null, or no such choice: nothing).
    static void Keep(SettingsStore* store, const TrackList& list, std::size_t choice);
};
