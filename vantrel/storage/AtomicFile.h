#pragma once
// The player's files are replaced whole, never rewritten in place, so a
// crash or a full disk mid-write leaves the old file or the new one, not a
// mix; and a file the game cannot read is moved out of the way, never
// overwritten, so whatever it held can still be recovered by hand.
#include <cstddef>
#include <string>

/// Whole-file reads, atomic replacement and setting files aside. Every
/// failure comes back as false with "<path>: <errno text>" in `error`.
class AtomicFile {
public:
    /// What Read found.
    enum class ReadResult {
        Read,     ///< `contents` holds the whole file
        Missing,  ///< no file by that name (a first run); not an error
        Failed    ///< unreadable, not a regular file, or over `maxBytes`
    };

    /// Reads the file at `path`, refusing anything over `maxBytes`.
    static ReadResult Read(const std::string& path, std::size_t maxBytes, std::string& contents, std::string& error);

    /// Replaces the file at `path` with `contents`: written to a new
    /// temporary file in the same folder, flushed to the disk, then renamed
    /// over `path`. The file appears with mode 0600.
    /// @param keepBackup first copy the current file, if any, to "<path>.bak"
    ///        (replacing an older one the same way); no replacement without it
    static bool Write(const std::string& path, const std::string& contents, bool keepBackup, std::string& error);

    /// Renames the file at `path` to a name beside it that nothing has:
    /// "<path>.corrupt-YYYYMMDD-HHMMSS" by local time, with "-2", "-3", ...
    /// added while that is taken. Never replaces an existing file.
    /// @param newPath set to the name it now has
    static bool SetAside(const std::string& path, std::string& newPath, std::string& error);
};
