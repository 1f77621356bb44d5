#include "RecordsStore.h"

#include <charconv>
#include <utility>

#include "AtomicFile.h"
#include "UserFolders.h"

namespace {

const char* const BestKey = "best_ms";

}  // namespace

const char* const RecordsStore::FileName = "records.ini";

Logger RecordsStore::logger("RecordsStore");

RecordsStore::RecordsStore() : RecordsStore(UserFolders::DataFolder()) {}

RecordsStore::RecordsStore(std::string folder)
    : folder(std::move(folder)), path(this->folder.empty() ? "" : this->folder + "/" + FileName) {}

void RecordsStore::Load() {
    loaded = true;
    records = IniFile();
    writeBlocked = false;
    if (path.empty()) return;
    std::string text;
    std::string problem;
    switch (AtomicFile::Read(path, IniFile::MaxBytes, text, problem)) {
    case AtomicFile::ReadResult::Missing:
        return;
    case AtomicFile::ReadResult::Read:
        if (records.Parse(text, path, problem)) return;
        break;
    case AtomicFile::ReadResult::Failed:
        break;
    }
    std::string message = problem + "; ";
    std::string asidePath;
    std::string error;
    if (AtomicFile::SetAside(path, asidePath, error)) {
        message += "set aside as " + asidePath + ", starting without records";
    } else {
        writeBlocked = true;
        message += "cannot set it aside (" + error + "), records kept for this run only";
    }
    if (logger.IsEnabled(Logger::Warn)) Logger::Stream(logger, Logger::Warn).GetStream() << message;
}

std::optional<std::uint32_t> RecordsStore::BestMs(const std::string& car) {
    if (!loaded) Load();
    const std::optional<std::string> text = records.Get(car, BestKey);
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
    records.Set(car, BestKey, std::to_string(ms));
    Save();
    return true;
}

void RecordsStore::Save() {
    if (writeBlocked) return;
    std::string error;
    if (UserFolders::MakeFolder(folder, error) && AtomicFile::Write(path, records.ToString(), true, error)) return;
    if (writeWarned) return;
    writeWarned = true;
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "cannot save the records (" << error << "), keeping them for this run only";
}
