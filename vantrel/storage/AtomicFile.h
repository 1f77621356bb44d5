#pragma once
// The player's files are replaced whole, never rewritten in place, so a
// crash or a full disk mid-write leaves the old file or the new one, not a
// mix; and a file the game cannot read is moved out of the way, never
// overwritten, so whatever it held can still be recovered by hand.
//
// Every file is opened without blocking and used only when it is a regular
// file, so a FIFO or a device under a player file's name cannot stop the
// game. A player file that is a symbolic link (a dotfiles set-up keeps it
// elsewhere) is read, replaced and set aside where the link leads; the link
// itself stays.
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
    /// temporary file "<path>.tmp-XXXXXX" in the same folder, flushed to the
    /// disk, then renamed over `path`. The file appears with mode 0600. When
    /// `path` is a symbolic link, the file it leads to is replaced so, in that
    /// file's folder, and the link stays.
    static bool Write(const std::string& path, const std::string& contents, std::string& error);
    /// Write, the current file (if any) first copied to "<path>.bak" the same
    /// way. The current file is read as Read reads it, refusing more than
    /// `maxBytes` (the bound its reader uses): a current file over it, or one
    /// that is no regular file, fails the write and both files stay.
    static bool WriteKeepingBackup(const std::string& path, const std::string& contents, std::size_t maxBytes,
                                   std::string& error);

    /// Renames the file at `path` (where a symbolic link leads, for a link)
    /// to a name beside it that nothing has:
    /// "<path>.corrupt-YYYYMMDD-HHMMSS" by local time, with "-2", "-3", ...
    /// added while that is taken. Never replaces an existing file.
    /// @param newPath set to the name it now has
    static bool SetAside(const std::string& path, std::string& newPath, std::string& error);

    /// Removes the temporary files that a Write of `path` left when the
    /// program died between making and renaming them: "<path>.tmp-XXXXXX"
    /// (six letters or digits), regular files of this user last modified over
    /// `minAgeS` seconds ago, beside `path` and, for a link, beside where it
    /// leads. A younger one may be another copy of the game's write in
    /// progress; nothing of any other name is touched.
    static void RemoveStaleTemporaries(const std::string& path, long minAgeS = 60);

    /// An exclusive advisory lock (flock) on a lock file, held until
    /// destruction, for the read-merge-write of another file between copies
    /// of the game.
    class Lock {
    public:
        Lock() = default;
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

        /// Opens `path`, made with mode 0600 if missing (a regular file, no
        /// symbolic link), and locks it, waiting for another holder up to
        /// `maxWaitMs`. On failure errno tells why: ENOENT or ENOTDIR when
        /// its folder does not exist, EWOULDBLOCK when the wait ran out.
        bool Take(const std::string& path, std::string& error, int maxWaitMs = 2000);
        bool IsHeld() const { return fd >= 0; }

    private:
        int fd = -1;
    };
};
