#include "PlayerFile.h"

#include <cerrno>
#include <cstring>
#include <map>

#include "UserFolders.h"

namespace {

using Key = std::pair<std::string, std::string>;

/// Every key of `file` with its value.
std::map<Key, std::string> ValuesOf(const IniFile& file) {
    std::map<Key, std::string> values;
    for (IniFile::Entry& entry : file.Entries()) values.emplace(Key(entry.section, entry.key), std::move(entry.value));
    return values;
}

}  // namespace

PlayerFile::PlayerFile(std::string folder, const char* fileName, const char* what, Logger& logger,
                       Preference preference)
    : folder(std::move(folder)),
      path(this->folder.empty() ? "" : this->folder + "/" + fileName),
      what(what),
      logger(logger),
      preference(std::move(preference)) {}

void PlayerFile::Load() {
    AtomicFile::Lock lock;
    if (!path.empty()) TakeLock(lock);
    LoadLocked();
}

void PlayerFile::LoadLocked() {
    loaded = true;
    contents = IniFile();
    writeBlocked = false;
    backupBlocked = false;
    recovered.reset();
    pending.clear();
    onDisk = Found::Missing;
    diskText.clear();
    diskContents = IniFile();
    if (path.empty()) return;
    const std::string backup = path + ".bak";
    AtomicFile::RemoveStaleTemporaries(path);
    AtomicFile::RemoveStaleTemporaries(backup);

    std::string problem;
    onDisk = ReadFile(path, diskContents, diskText, problem);
    if (onDisk == Found::Usable) {
        contents = diskContents;
        return;
    }
    std::string message;
    if (onDisk == Found::Unusable) {
        message = problem + "; " + SetAside(path, writeBlocked);
        onDisk = Found::Missing;
        diskText.clear();
    }
    IniFile fromBackup;
    std::string backupText;
    switch (ReadFile(backup, fromBackup, backupText, problem)) {
    case Found::Usable:
        // The last good contents: a later save writes them back with its change.
        if (message.empty()) message = path + ": " + std::strerror(ENOENT);
        message += ", the " + what + " read from the backup " + backup;
        if (writeBlocked) message += " and kept for this run only";
        contents = fromBackup;
        recovered = std::move(fromBackup);
        break;
    case Found::Missing:
        if (message.empty()) return;  // a first run
        message += writeBlocked ? ", " + what + " kept for this run only" : ", starting without the " + what;
        break;
    case Found::Unusable:
        if (!message.empty()) message += "; ";
        message += problem + "; " + SetAside(backup, backupBlocked);
        message += writeBlocked ? ", " + what + " kept for this run only" : ", starting without the " + what;
        break;
    }
    Warn(message);
}

const IniFile& PlayerFile::Contents() {
    if (!loaded) Load();
    return contents;
}

bool PlayerFile::Update(const std::function<bool(IniFile& contents)>& change) {
    AtomicFile::Lock lock;
    const bool locked = !path.empty() && TakeLock(lock);
    if (!loaded)
        LoadLocked();
    else
        Refresh();
    const std::map<Key, std::string> before = ValuesOf(contents);
    if (!change(contents)) return false;
    for (const IniFile::Entry& entry : contents.Entries()) {
        const auto old = before.find(Key(entry.section, entry.key));
        if (old == before.end() || old->second != entry.value) pending.emplace(entry.section, entry.key);
    }
    if (writeBlocked) return true;
    std::string error;
    if (!UserFolders::MakeFolder(folder, error)) {
        if (!writeWarned) Warn("cannot save the " + what + " (" + error + "), keeping them for this run only");
        writeWarned = true;
        return true;
    }
    if (!locked) {
        // The folder is new, or was: another copy may have written the file since.
        TakeLock(lock);
        Refresh();
    }
    if (!writeBlocked) WriteOut();
    return true;
}

PlayerFile::Found PlayerFile::ReadFile(const std::string& file, IniFile& into, std::string& text,
                                       std::string& problem) const {
    switch (AtomicFile::Read(file, IniFile::MaxBytes, text, problem)) {
    case AtomicFile::ReadResult::Missing:
        return Found::Missing;
    case AtomicFile::ReadResult::Failed:
        return Found::Unusable;
    case AtomicFile::ReadResult::Read:
        break;
    }
    return into.Parse(text, file, problem) ? Found::Usable : Found::Unusable;
}

std::string PlayerFile::SetAside(const std::string& file, bool& blocked) const {
    std::string asidePath;
    std::string error;
    if (AtomicFile::SetAside(file, asidePath, error)) return "set aside as " + asidePath;
    // Gone meanwhile (another copy of the game set it aside): no file to keep.
    if (errno == ENOENT) return "gone meanwhile";
    blocked = true;
    return "cannot set it aside (" + error + ")";
}

bool PlayerFile::TakeLock(AtomicFile::Lock& lock) {
    std::string error;
    if (lock.Take(path + ".lock", error)) return true;
    // No folder yet: no file to read, nobody to wait for.
    if (errno == ENOENT || errno == ENOTDIR) return false;
    if (!lockWarned) Warn("cannot lock the " + what + " (" + error + "), saving them unlocked");
    lockWarned = true;
    return false;
}

void PlayerFile::Refresh() {
    if (path.empty() || writeBlocked) return;
    IniFile file;
    std::string text;
    std::string problem;
    onDisk = ReadFile(path, file, text, problem);
    diskText.clear();
    diskContents = IniFile();
    switch (onDisk) {
    case Found::Usable:
        diskText = std::move(text);
        diskContents = file;
        Merge(file, contents);
        contents = std::move(file);
        break;
    case Found::Missing:
        break;
    case Found::Unusable:
        // Damaged while the game ran: set aside as at the start; what is held stays.
        onDisk = Found::Missing;
        std::string message = problem + "; " + SetAside(path, writeBlocked);
        Warn(message + (writeBlocked ? ", " + what + " kept for this run only" : ", keeping the " + what + " held"));
        break;
    }
}

void PlayerFile::Merge(IniFile& file, const IniFile& held) const {
    const std::map<Key, std::string> inFile = ValuesOf(file);
    for (const IniFile::Entry& entry : held.Entries()) {
        const Key key(entry.section, entry.key);
        const auto found = inFile.find(key);
        if (found != inFile.end() && found->second == entry.value) continue;
        const bool changedHere = pending.count(key) != 0;
        if (found == inFile.end() || (preference ? preference(entry, found->second, changedHere) : changedHere))
            file.Set(entry.section, entry.key, entry.value);
    }
}

bool PlayerFile::Covers(const IniFile& file, const IniFile& held) const {
    const std::map<Key, std::string> inFile = ValuesOf(file);
    for (const IniFile::Entry& entry : held.Entries()) {
        const auto found = inFile.find(Key(entry.section, entry.key));
        if (found == inFile.end()) return false;
        if (found->second != entry.value && preference && preference(entry, found->second, false)) return false;
    }
    return true;
}

void PlayerFile::WriteOut() {
    std::string error;
    // The file being replaced becomes the backup, unless it lacks what this
    // run recovered from the backup: then the backup stays as it is.
    const bool replaceBackup =
        onDisk == Found::Usable && !backupBlocked && (!recovered || Covers(diskContents, *recovered));
    if ((!replaceBackup || AtomicFile::Write(path + ".bak", diskText, error)) &&
        AtomicFile::Write(path, contents.ToString(), error)) {
        pending.clear();
        return;
    }
    if (writeWarned) return;
    writeWarned = true;
    Warn("cannot save the " + what + " (" + error + "), keeping them for this run only");
}

void PlayerFile::Warn(const std::string& message) const {
    if (logger.IsEnabled(Logger::Warn)) Logger::Stream(logger, Logger::Warn).GetStream() << message;
}
