#include "RecordsStore.h"

#include <charconv>
#include <utility>

#include "UserFolders.h"

namespace {

const char* const BestKey = "best_ms";

}  // namespace

const char* const RecordsStore::FileName = "records.ini";

Logger RecordsStore::logger("RecordsStore");

RecordsStore::RecordsStore() : RecordsStore(UserFolders::DataFolder()) {}

RecordsStore::RecordsStore(std::string folder) : file(std::move(folder), FileName, "records", logger) {}

void RecordsStore::Load() { file.Load(); }

std::optional<std::uint32_t> RecordsStore::BestMs(const std::string& car) {
    const std::optional<std::string> text = file.Contents().Get(car, BestKey);
    if (!text) return std::nullopt;
    std::uint32_t ms = 0;
    const char* end = text->data() + text->size();
    const std::from_chars_result result = std::from_chars(text->data(), end, ms);
    if (result.ec != std::errc() || result.ptr != end || ms == 0) return std::nullopt;
    return ms;
}

bool RecordsStore::Submit(const std::string& car, std::uint32_t ms) {
    if (ms == 0 || !IniFile::IsValidName(car)) return false;
    const std::optional<std::uint32_t> best = BestMs(car);
    if (best && *best <= ms) return false;
    file.Contents().Set(car, BestKey, std::to_string(ms));
    file.Save();
    return true;
}
