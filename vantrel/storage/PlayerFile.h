#pragma once
// One INI file of the player's, such as the settings or the records: read
// whole, rewritten atomically with the previous file kept as "<name>.bak".
// A file that cannot be used costs the player nothing more than its contents:
// it is set aside for recovery by hand and the game goes on without them; a
// folder that cannot be written keeps them for the run.
#include <string>

#include <nodara/Logger.h>

#include "IniFile.h"

class PlayerFile {
public:
    /// The file `fileName` in `folder` (no file, and contents for the run
    /// only, when `folder` is empty). `what` names the contents in the Warn
    /// lines ("records", "settings"), which go to `logger`.
    PlayerFile(std::string folder, const char* fileName, const char* what, Logger& logger);

    /// Reads the file, replacing the contents held. No file means none,
    /// silently. A file that cannot be read or parsed is renamed aside
    /// (AtomicFile::SetAside) and the contents start empty, with one Warn
    /// line (one per call); should the rename fail too, Save never writes
    /// over it in this run.
    void Load();
    /// The contents, read first if Load was not called yet.
    IniFile& Contents();
    /// Writes the contents out, the folder made first where needed; when it
    /// cannot, says why in one Warn line, once in the run.
    void Save();

    /// Empty when no folder was given.
    const std::string& GetPath() const { return path; }

private:
    std::string folder;
    std::string path;
    std::string what;
    Logger& logger;
    IniFile contents;
    bool loaded = false;
    bool writeWarned = false;   ///< a failed write has been reported in this run
    bool writeBlocked = false;  ///< an unusable file could not be set aside: never write over it
};
