#include "RecordsStore.h"

#include <charconv>
#include <utility>

#include "UserFolders.h"

namespace {

const char* const BestKey = "best_ms";

/// A best time or place as the file writes it; none for anything else.
std::optional<std::uint32_t> ParsePositive(const std::string& text) {
    std::uint32_t ms = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, ms);
    if (result.ec != std::errc() || result.ptr != end || ms == 0) return std::nullopt;
    return ms;
}

// The best championship place of each car, by car.
const char* const ChampionshipSection = "championship";

/// Of two copies of the records, the better time or place of each car wins.
bool BetterHeld(const IniFile::Entry& held, const std::string& fileValue, bool changedHere) {
    if (held.key != BestKey && held.section != ChampionshipSection) return changedHere;
    const std::optional<std::uint32_t> heldMs = ParsePositive(held.value);
    const std::optional<std::uint32_t> fileMs = ParsePositive(fileValue);
    return heldMs && (!fileMs || *heldMs < *fileMs);
}

std::optional<std::uint32_t> BestIn(const IniFile& contents, const std::string& car) {
    const std::optional<std::string> text = contents.Get(car, BestKey);
    return text ? ParsePositive(*text) : std::nullopt;
}

}  // namespace

const char* const RecordsStore::FileName = "records.ini";

Logger RecordsStore::logger("RecordsStore");

RecordsStore::RecordsStore() : RecordsStore(UserFolders::DataFolder()) {}

RecordsStore::RecordsStore(std::string folder)
    : file(std::move(folder), FileName, "records", logger, BetterHeld) {}

void RecordsStore::Load() { file.Load(); }

std::optional<std::uint32_t> RecordsStore::BestMs(const std::string& car) { return BestIn(file.Contents(), car); }

bool RecordsStore::Submit(const std::string& car, std::uint32_t ms) {
    if (ms == 0 || !IniFile::IsValidName(car)) return false;
    // Against the best as the file has it now: another copy of the game may
    // have set one since.
    return file.Update([&](IniFile& contents) {
        const std::optional<std::uint32_t> best = BestIn(contents, car);
        return (!best || ms < *best) && contents.Set(car, BestKey, std::to_string(ms));
    });
}

std::optional<unsigned> RecordsStore::BestChampionshipPlace(const std::string& car) {
    const std::optional<std::string> text = file.Contents().Get(ChampionshipSection, car);
    const std::optional<std::uint32_t> place = text ? ParsePositive(*text) : std::nullopt;
    return place ? std::optional<unsigned>(*place) : std::nullopt;
}

bool RecordsStore::SubmitChampionshipPlace(const std::string& car, unsigned place) {
    if (place == 0 || !IniFile::IsValidName(car)) return false;
    return file.Update([&](IniFile& contents) {
        const std::optional<std::string> text = contents.Get(ChampionshipSection, car);
        const std::optional<std::uint32_t> best = text ? ParsePositive(*text) : std::nullopt;
        return (!best || place < *best) && contents.Set(ChampionshipSection, car, std::to_string(place));
    });
}
