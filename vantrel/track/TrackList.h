#pragma once
// The tracks the game finds in its data, and the ways each is driven: what
// the show room offers and the race is given.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "TrackDescription.h"

/// Every usable description in "<folder>/*/track.ini", the original track
/// first, then by name (then by folder); a description that is refused
/// leaves its track out, the others stay. The choices are each track's
/// directions in the order its description lists them. A track whose race
/// could not start is marked unusable for the rest of the run: its
/// description was sound, but what it names was not.
class TrackList {
public:
    /// Where the program finds the tracks, from its own folder.
    static const char* const DataFolder;  ///< "../data/tracks"

    /// One way to race: a track and its direction.
    struct Choice {
        std::size_t track = 0;  ///< index in GetTracks
        TrackDescription::Direction direction = TrackDescription::Direction::Forward;
    };

    /// Reads every track folder under `folder`, replacing what the list held
    /// (the marks included). Folders without a track.ini are passed over silently.
    /// @return the number of tracks found
    std::size_t Load(const std::string& folder = DataFolder);

    const std::vector<TrackDescription>& GetTracks() const { return tracks; }
    bool IsEmpty() const { return tracks.empty(); }
    /// Every way to race, track by track.
    const std::vector<Choice>& GetChoices() const { return choices; }
    const TrackDescription& TrackOf(const Choice& choice) const { return tracks[choice.track]; }
    /// "GreenValley reversed" and so on.
    std::string Label(const Choice& choice) const;
    /// The index in GetChoices of the track with key `key` driven `direction`.
    std::optional<std::size_t> Find(const std::string& key, TrackDescription::Direction direction) const;

    /// Marks track `track` (an index in GetTracks) as one that cannot be
    /// raced, every way; `why` is the line the player was shown.
    void MarkUnusable(std::size_t track, const std::string& why);
    bool IsUsable(const Choice& choice) const { return WhyUnusable(choice).empty(); }
    /// The line MarkUnusable was given for the choice's track; empty while it is usable.
    const std::string& WhyUnusable(const Choice& choice) const;

private:
    std::vector<TrackDescription> tracks;
    std::vector<std::string> unusable;  ///< one per track, empty while it is usable
    std::vector<Choice> choices;
};
