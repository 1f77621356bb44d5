#pragma once
// One INI file of the player's, such as the settings or the records: read
// whole, rewritten atomically with the previous file kept as "<name>.bak".
// A file that cannot be used costs the player nothing more than its contents:
// it is set aside for recovery by hand and the game goes on with the backup's
// contents, or without any when the backup cannot be used either; a folder
// that cannot be written keeps them for the run.
//
// Two copies of the game may run at once: each change is made under an
// advisory lock on "<name>.lock" beside the file, on the file as it is on the
// disk then, with what this copy holds merged in, so neither copy's changes
// are lost to the other's.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <nodara/Logger.h>

#include "AtomicFile.h"
#include "IniFile.h"

class PlayerFile {
public:
    /// Whether the value held wins over the one in the file, for a key both
    /// have with different values: asked when a change is saved (merging what
    /// is held into the file as it is on the disk then), and to tell whether
    /// a file holds all a backup held. `changedHere`: this run set the key
    /// and has not written it yet. Without one the value set here wins.
    using Preference = std::function<bool(const IniFile::Entry& held, const std::string& fileValue, bool changedHere)>;

    /// The file `fileName` in `folder` (no file, and contents for the run
    /// only, when `folder` is empty). `what` names the contents in the Warn
    /// lines ("records", "settings"), which go to `logger`.
    PlayerFile(std::string folder, const char* fileName, const char* what, Logger& logger,
               Preference preference = nullptr);

    /// Reads the file, replacing the contents held, and removes the stale
    /// temporary files of crashed writes beside it
    /// (AtomicFile::RemoveStaleTemporaries). No file and no backup means
    /// none, silently. A file that cannot be read or parsed is renamed aside
    /// (AtomicFile::SetAside); then, as when the file is missing, the backup
    /// "<name>.bak" is read instead, and should it be unusable too it is set
    /// aside as well and the contents start empty; one Warn line says so (one
    /// per call). Should the file's rename fail, nothing writes over it in
    /// this run; should the backup's, nothing writes over the backup.
    void Load();
    /// The contents, read first if Load was not called yet.
    const IniFile& Contents();

    /// Changes the contents and writes them out, the folder made first where
    /// needed, under the lock: the file is read again and what is held merged
    /// into it (by the Preference; keys the file lacks are added), `change`
    /// applied to that, and the result written when `change` returns true.
    /// The file being replaced becomes the backup, unless this run read the
    /// contents from the backup and that file holds less than the backup did
    /// (the backup is kept then). A file found unusable now is set aside as
    /// Load does. When the file cannot be written, says why in one Warn line,
    /// once in the run, and the contents stay changed for the run.
    /// @return what `change` returned
    bool Update(const std::function<bool(IniFile& contents)>& change);

    /// Empty when no folder was given.
    const std::string& GetPath() const { return path; }

private:
    enum class Found { Usable, Missing, Unusable };

    void LoadLocked();
    /// Reads `file` into `into`; `problem` set for Unusable.
    Found ReadFile(const std::string& file, IniFile& into, std::string& text, std::string& problem) const;
    /// Renames `file` aside; the part of a Warn line that says how it went.
    std::string SetAside(const std::string& file, bool& blocked) const;
    /// Takes the lock when the folder exists; false when it does not (or the
    /// lock cannot be had, with one Warn line in the run).
    bool TakeLock(AtomicFile::Lock& lock);
    /// Reads the file again and merges the contents held into it.
    void Refresh();
    void Merge(IniFile& file, const IniFile& held) const;
    /// Whether `file` holds at least what `held` does.
    bool Covers(const IniFile& file, const IniFile& held) const;
    void WriteOut();
    void Warn(const std::string& message) const;

    std::string folder;
    std::string path;
    std::string what;
    Logger& logger;
    Preference preference;
    IniFile contents;
    bool loaded = false;
    bool writeWarned = false;    ///< a failed write has been reported in this run
    bool lockWarned = false;     ///< a lock that could not be had has been reported
    bool writeBlocked = false;   ///< an unusable file could not be set aside: never write over it
    bool backupBlocked = false;  ///< an unusable backup could not be set aside: never write over it
    std::optional<IniFile> recovered;  ///< the backup's contents, when this run read them
    /// The file as last read: its text and contents when it was usable.
    Found onDisk = Found::Missing;
    std::string diskText;
    IniFile diskContents;
    /// Keys set in this run and not written yet, by section and key.
    std::set<std::pair<std::string, std::string>> pending;
};
