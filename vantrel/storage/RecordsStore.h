#pragma once
// The player's best Time Trial time per car, kept between runs in
// records.ini in the data folder:
//   [NissanSkyline]
//   best_ms = 83456
// A file that cannot be used costs the player nothing more than the records:
// it is set aside for recovery by hand and the game goes on without them.
#include <cstdint>
#include <optional>
#include <string>

#include <nodara/Logger.h>

#include "PlayerFile.h"

/// Best times by car, read from and written to one records file.
/// A car is named by a stable key that survives reordering the car list:
/// the name of its model, as in CarPool::NodeNames ("NissanSkyline").
/// NOTE: one store per running game; a second one would write its own,
/// older copy of the file over the first one's records.
class RecordsStore {
public:
    static const char* const FileName;  ///< "records.ini"

    /// A store on "records.ini" in UserFolders::DataFolder().
    RecordsStore();
    /// A store on "records.ini" in `folder`.
    explicit RecordsStore(std::string folder);

    /// Reads the records file, replacing what the store held. No file means
    /// no records, silently. A file that cannot be read or parsed is renamed
    /// aside (AtomicFile::SetAside) and the store starts empty, with one Warn
    /// line (one per call); should the rename fail too, the store stops
    /// writing for this run rather than overwrite the file.
    void Load();

    /// The best time of `car` (ms); none when it has no record, or its value
    /// is not a positive whole number. Loads first if Load was not called.
    std::optional<std::uint32_t> BestMs(const std::string& car);

    /// Offers a finished Time Trial of `car` in `ms`. A record (a first time,
    /// or one below the best) is kept and the file rewritten atomically,
    /// the previous file staying as "records.ini.bak". When the file cannot
    /// be written the record is kept for this run only, with one Warn line
    /// in the run however many writes fail. Loads first if Load was not called.
    /// @return true for a new record, whether or not it reached the disk;
    ///         false for a slower or equal time, a zero time, or a car key
    ///         that IniFile::IsValidName rejects
    bool Submit(const std::string& car, std::uint32_t ms);

    /// The records file's path; empty when no home folder was found, and
    /// then the records last for the run only.
    const std::string& GetPath() const { return file.GetPath(); }

private:
    static Logger logger;

    PlayerFile file;
};
