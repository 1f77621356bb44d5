#pragma once
// The player's best Time Trial time per car, kept between runs in
// records.ini in the data folder:
//   [NissanSkyline]
//   best_ms = 83456
// A file that cannot be used is set aside for recovery by hand and the game
// goes on with the records of the backup, records.ini.bak; only when that
// cannot be used either does it go on without them.
#include <cstdint>
#include <optional>
#include <string>

#include <nodara/Logger.h>

#include "PlayerFile.h"

/// Best times by car, read from and written to one records file.
/// A car is named by a stable key that survives reordering the car list:
/// its folder's name, as CarDescription::GetKey gives it ("NissanSkyline").
/// Two copies of the game may each have a store on the same file: every
/// record is written under a lock, into the file as it is then, keeping the
/// better time of each car of both (PlayerFile::Update).
class RecordsStore {
public:
    static const char* const FileName;  ///< "records.ini"

    /// A store on "records.ini" in UserFolders::DataFolder().
    RecordsStore();
    /// A store on "records.ini" in `folder`.
    explicit RecordsStore(std::string folder);

    /// Reads the records file, replacing what the store held. No file means
    /// no records, silently. A file that cannot be read or parsed is renamed
    /// aside (AtomicFile::SetAside) and the records are read from the backup
    /// "records.ini.bak" instead, with one Warn line (one per call); a file
    /// that is missing while a backup is there is read from it the same way.
    /// When the backup cannot be used either, it is set aside as well and the
    /// store starts empty. Should a rename fail, the store never writes over
    /// that file in this run. PlayerFile::Load tells the whole.
    void Load();

    /// The best time of `car` (ms); none when it has no record, or its value
    /// is not a positive whole number. Loads first if Load was not called.
    std::optional<std::uint32_t> BestMs(const std::string& car);

    /// Offers a finished Time Trial of `car` in `ms`. A record (a first time,
    /// or one below the best, as the file has it now) is kept and the file
    /// rewritten atomically with every record held, the previous file staying
    /// as "records.ini.bak" (unless it holds less than a backup this run
    /// read its records from: then that backup stays). When the file cannot
    /// be written the record is kept for this run only, with one Warn line
    /// in the run however many writes fail. Loads first if Load was not called.
    /// @return true for a new record, whether or not it reached the disk;
    ///         false for a slower or equal time, a zero time, or a car key
    ///         that IniFile::IsValidName rejects
    bool Submit(const std::string& car, std::uint32_t ms);

    /// The best place `car` finished a championship in; none before one.
    std::optional<unsigned> BestChampionshipPlace(const std::string& car);
    /// Offers `car`'s final place in a championship (1: champion), kept as
    /// Submit keeps a time.
    /// @return true for a better place than the one kept, or a first
    bool SubmitChampionshipPlace(const std::string& car, unsigned place);

    /// The records file's path; empty when no home folder was found, and
    /// then the records last for the run only.
    const std::string& GetPath() const { return file.GetPath(); }

private:
    static Logger logger;

    PlayerFile file;
};
