#include "TrackList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

const char* const TrackList::DataFolder = "../data/tracks";

std::size_t TrackList::Load(const std::string& folder) {
    tracks.clear();
    choices.clear();
    unusable.clear();
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code status;
        if (it->is_directory(status) && std::filesystem::exists(it->path() / TrackDescription::FileName, status))
            folders.push_back(it->path());
    }
    for (const std::filesystem::path& path : folders) {
        TrackDescription track;
        if (track.Load(path.string())) tracks.push_back(std::move(track));
    }
    // The original track first, then by name: the same order on every machine.
    std::sort(tracks.begin(), tracks.end(), [](const TrackDescription& a, const TrackDescription& b) {
        const bool aFirst = a.GetKey() == TrackDescription::OriginalTrack;
        const bool bFirst = b.GetKey() == TrackDescription::OriginalTrack;
        if (aFirst != bFirst) return aFirst;
        if (a.GetName() != b.GetName()) return a.GetName() < b.GetName();
        return a.GetKey() < b.GetKey();
    });
    for (std::size_t i = 0; i < tracks.size(); ++i)
        for (const TrackDescription::Way& way : tracks[i].GetWays()) choices.push_back({i, way.direction});
    unusable.resize(tracks.size());
    return tracks.size();
}

std::string TrackList::Label(const Choice& choice) const {
    return choice.track < tracks.size() ? tracks[choice.track].Label(choice.direction) : "";
}

std::optional<std::size_t> TrackList::Find(const std::string& key, TrackDescription::Direction direction) const {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (tracks[choices[i].track].GetKey() == key && choices[i].direction == direction) return i;
    return std::nullopt;
}

void TrackList::MarkUnusable(std::size_t track, const std::string& why) {
    if (track < unusable.size()) unusable[track] = why.empty() ? tracks[track].GetName() + " cannot be raced" : why;
}

const std::string& TrackList::WhyUnusable(const Choice& choice) const {
    static const std::string usable;
    return choice.track < unusable.size() ? unusable[choice.track] : usable;
}
