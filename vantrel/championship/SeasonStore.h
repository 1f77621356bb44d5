#pragma once
// A season lasts across runs of the game: quitting between races and
// starting again goes on with the next race.
#include <optional>
#include <string>

#include <nodara/Logger.h>

#include "Season.h"
#include "storage/PlayerFile.h"

/// The season kept as "championship.ini" in the player's data folder, as
/// the player's other files are (PlayerFile: atomic, a backup, an unusable
/// file set aside and the backup read).
class SeasonStore {
public:
    static const char* const FileName;

    /// In UserFolders::DataFolder().
    SeasonStore();
    /// In `folder`; empty: the season lasts for the run only.
    explicit SeasonStore(std::string folder);

    /// The season kept, if there is one that can be read. A file that reads
    /// as INI but holds no season is set aside with one Warn line naming
    /// what is wrong, and none is kept.
    std::optional<Season> Load();
    /// Keeps `season`, replacing the one kept.
    /// @return false when it reached no file (it is kept for the run then)
    bool Save(const Season& season);
    /// Sets the kept season's file aside with one Warn line saying `why`
    /// ("the tracks changed since"), so that a new season starts without
    /// losing it.
    void SetAside(const std::string& why);

private:
    static Logger logger;
    PlayerFile file;
};
