#pragma once
// The server's leaderboards: for each track, way round and car, the ten
// best times the players drove there, each with the run itself, so a player
// can race the ghost of any line. One SQLite file, written by the server
// alone; every run it acknowledges is committed to the disk first, so a
// crash, a kill or a power cut loses none.
//
// The file, schema version 1 (PRAGMA user_version):
//
//   runs(id INTEGER PRIMARY KEY AUTOINCREMENT, track TEXT, track_checksum
//        INTEGER, reverse INTEGER, car TEXT, player TEXT, time_ms INTEGER,
//        date_s INTEGER, run BLOB), one row per player and board
//
// A board's order is time, then date (the earlier first), then id (the
// earlier entered first).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

/// One connection to the leaderboard database: the writer (Open) or a
/// reader beside it (OpenReadOnly). WAL lets a reader read while the writer
/// commits. One thread at a time per object; give each thread its own.
class Leaderboard {
public:
    static constexpr int SchemaVersion = 1;
    static constexpr std::size_t PlacesKept = 10;
    static constexpr std::size_t MaxRunBytes = 2 * 1024 * 1024;  ///< a run blob larger is refused
    static constexpr std::size_t MaxTextBytes = 255;  ///< a track, car or player name longer is refused
    static const char* const FileName;  ///< "leaderboard.sqlite"

    /// Which board: a track (its key and its centre line's checksum), its way and a car.
    struct Board {
        std::string track;
        std::uint32_t trackChecksum = 0;  ///< RoadCentreLine::GetChecksum: other geometry, another board
        bool reverse = false;
        std::string car;
    };
    /// One player's best on a board.
    struct Line {
        std::int64_t runId = 0;
        std::string player;
        std::uint32_t timeMs = 0;  ///< the run's time (ms)
        std::int64_t dateS = 0;    ///< when it was driven (s since 1970, UTC)
    };
    /// What Enter made of a run.
    struct Entry {
        bool kept = false;     ///< among the board's PlacesKept, the run kept
        unsigned place = 0;    ///< 1-based where its time stands on the board; 0 beyond PlacesKept
        std::int64_t runId = 0;  ///< for FetchRun; 0 when not kept
    };

    Leaderboard();
    ~Leaderboard();
    Leaderboard(Leaderboard&&) noexcept;
    Leaderboard& operator=(Leaderboard&&) noexcept;
    Leaderboard(const Leaderboard&) = delete;
    Leaderboard& operator=(const Leaderboard&) = delete;

    /// Opens the database at `path` as its writer, made (mode 0600) when
    /// missing: WAL journal, synchronous=FULL, a busy timeout, the schema made
    /// or its version checked. A file that is not a database, is damaged
    /// (PRAGMA quick_check fails) or holds another schema is renamed aside
    /// as AtomicFile::SetAside does ("<path>.corrupt-<date>-<time>", never
    /// over another file), its -wal, -shm and -journal with it, and a new
    /// empty database is started in its place: GetSetAsidePath then names
    /// where it went and `problem` says so in one line, and Open still
    /// succeeds. Closes what was open before.
    /// @param problem set to why, when false is returned or a file was set
    ///        aside; empty otherwise
    /// @return false when no database can be had: the folder is missing or
    ///         not writable, the file is no regular file, cannot be read or
    ///         stays busy past the timeout
    bool Open(const std::string& path, std::string& problem);
    /// Opens an existing database at `path` read only, to read the boards and
    /// runs while the writer works; it never sets a file aside.
    /// @return false (with `problem`) when there is no database of this
    ///         schema there
    bool OpenReadOnly(const std::string& path, std::string& problem);
    bool IsOpen() const { return db != nullptr; }
    /// Where Open set a file aside; empty when it did not.
    const std::string& GetSetAsidePath() const { return setAsidePath; }

    /// Enters a run on `board`. Each player keeps only their best line per
    /// board, and the board keeps the PlacesKept best; a line pushed off it
    /// is deleted with its run, so the file stays bounded. A run slower than
    /// the player's own line, or beyond the board's PlacesKept, is not kept:
    /// `place` then says where its time would stand among the lines there,
    /// 0 beyond PlacesKept. Committed to the disk before it returns.
    /// @param runBytes the run as the game recorded it (1 to MaxRunBytes bytes)
    /// @return nothing (with `problem`) for a refused entry (an empty name or
    ///         run, a zero time, anything too long) or a failed write; the
    ///         database is then as it was
    std::optional<Entry> Enter(const Board& board, const std::string& player, std::uint32_t timeMs,
                               std::int64_t dateS, const std::string& runBytes, std::string& problem);
    /// The board's lines, best first, at most PlacesKept; empty for a board no one drove.
    /// @return nothing (with `problem`) when the database cannot be read
    std::optional<std::vector<Line>> Top(const Board& board, std::string& problem) const;
    /// The run of the line `runId`, and its board when `board` is not null.
    /// @return false (with `problem`) when there is no such run any more or
    ///         the database cannot be read; `runBytes` and `board` are then left alone
    bool FetchRun(std::int64_t runId, std::string& runBytes, Board* board, std::string& problem) const;

    /// UserFolders::DataFolder()/leaderboard.sqlite; empty without a data
    /// folder. NOTE: Open makes no folder; UserFolders::MakeFolder does.
    static std::string DefaultPath();

private:
    struct Closer {
        void operator()(sqlite3* connection) const;
    };

    /// Opens the connection and checks it holds our schema or none.
    enum class Check { Usable, Unusable, Failed };
    Check Connect(const std::string& path, std::string& problem);
    bool MakeSchema(std::string& problem);
    /// Closes the connection and renames its file and the file's companions aside.
    bool SetAside(std::string& newPath, std::string& problem);
    /// "<path>: <SQLite's message>" in `problem`.
    bool Fail(const std::string& what, std::string& problem) const;

    std::unique_ptr<sqlite3, Closer> db;
    std::string path;  ///< as Open or OpenReadOnly was given it
    bool readOnly = false;
    std::string setAsidePath;
};
