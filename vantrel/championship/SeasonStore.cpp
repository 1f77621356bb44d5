#include "SeasonStore.h"

#include <filesystem>
#include <utility>

#include "storage/AtomicFile.h"
#include "storage/UserFolders.h"

const char* const SeasonStore::FileName = "championship.ini";

Logger SeasonStore::logger("SeasonStore");

SeasonStore::SeasonStore() : SeasonStore(UserFolders::DataFolder()) {}

SeasonStore::SeasonStore(std::string folder) : file(std::move(folder), FileName, "championship", logger) {}

std::optional<Season> SeasonStore::Load() {
    file.Load();
    const IniFile& contents = file.Contents();
    if (contents.Entries().empty()) return std::nullopt;
    Season season;
    std::string error;
    if (season.Read(contents, error)) return season;
    SetAside("it holds no season (" + error + ")");
    return std::nullopt;
}

bool SeasonStore::Save(const Season& season) {
    // The whole season anew: keys of a longer season before it must not linger.
    return file.Update([&](IniFile& contents) {
        contents = IniFile();
        season.Write(contents);
        return true;
    });
}

void SeasonStore::SetAside(const std::string& why) {
    const std::string& path = file.GetPath();
    std::error_code ignored;
    if (path.empty() || !std::filesystem::exists(path, ignored)) return;
    std::string newPath, error;
    if (AtomicFile::SetAside(path, newPath, error))
        logger.Log(Logger::Warn, path + ": " + why + "; set aside as " + newPath + ", a new season starts");
    else
        logger.Log(Logger::Warn, path + ": " + why + "; it could not be set aside (" + error + ")");
    file.Load();
}
