#include "Leaderboard.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "storage/AtomicFile.h"
#include "storage/UserFolders.h"

const char* const Leaderboard::FileName = "leaderboard.sqlite";

namespace {

// Long enough for a reader's checkpoint or a second server's commit, short
// enough that a stuck lock shows as an error rather than a hung server.
constexpr int BusyTimeoutMs = 5000;
// The WAL is cut back to this after a checkpoint: a 2 MB run grows it.
constexpr const char* JournalSizeLimit = "PRAGMA journal_size_limit = 8388608";

// Every statement names a board by the same four parameters, first.
#define BOARD_IS "track = ?1 AND track_checksum = ?2 AND reverse = ?3 AND car = ?4"
#define BOARD_ORDER "ORDER BY time_ms, date_s, id"

/// A prepared statement, finalized when it goes out of scope. A failed
/// prepare or bind shows as the result of Step.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { result = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, std::int64_t value) { Check(sqlite3_bind_int64(statement, index, value)); }
    // SQLITE_STATIC: the caller's strings outlive the statement.
    void Bind(int index, const std::string& text) {
        Check(sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
    }
    void BindBlob(int index, const std::string& bytes) {
        Check(sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC));
    }
    void BindBoard(const Leaderboard::Board& board) {
        Bind(1, board.track);
        Bind(2, static_cast<std::int64_t>(board.trackChecksum));
        Bind(3, std::int64_t{board.reverse});
        Bind(4, board.car);
    }

    /// SQLITE_ROW, SQLITE_DONE or the error.
    int Step() { return result == SQLITE_OK ? sqlite3_step(statement) : result; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement, column); }
    /// Text or blob alike; empty for NULL.
    std::string Bytes(int column) const {
        const void* bytes = sqlite3_column_blob(statement, column);
        const int size = sqlite3_column_bytes(statement, column);
        return bytes && size > 0 ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                                 : std::string();
    }

private:
    void Check(int bound) {
        if (result == SQLITE_OK) result = bound;
    }

    sqlite3_stmt* statement = nullptr;
    int result;
};

/// A write transaction, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db(db) {
        // IMMEDIATE: the write lock now, so a busy database fails here and
        // not half-way through.
        begun = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~Transaction() {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    int Begun() const { return begun; }
    int Commit() { return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); }

private:
    sqlite3* db;
    int begun;
};

/// Errors that say the file itself is bad, not that it cannot be reached now.
bool IsDamage(int result) {
    const int primary = result & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

/// Renames `from` to `to` unless something has that name or `from` is missing.
bool RenameCompanion(const std::string& from, const std::string& to, std::string& problem) {
    struct stat info;
    if (lstat(from.c_str(), &info) != 0 && errno == ENOENT) return true;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    problem = from + ": " + std::strerror(errno);
    return false;
}

}  // namespace

void Leaderboard::Closer::operator()(sqlite3* connection) const { sqlite3_close_v2(connection); }

Leaderboard::Leaderboard() = default;
Leaderboard::~Leaderboard() = default;
Leaderboard::Leaderboard(Leaderboard&&) noexcept = default;
Leaderboard& Leaderboard::operator=(Leaderboard&&) noexcept = default;

std::string Leaderboard::DefaultPath() {
    const std::string folder = UserFolders::DataFolder();
    return folder.empty() ? std::string() : folder + "/" + FileName;
}

bool Leaderboard::Fail(const std::string& what, std::string& problem) const {
    problem = path + ": " + what + (db ? std::string(": ") + sqlite3_errmsg(db.get()) : std::string());
    return false;
}

Leaderboard::Check Leaderboard::Connect(const std::string& file, std::string& problem) {
    db.reset();
    path = file;
    setAsidePath.clear();
    if (path.empty()) {
        problem = "no path for the leaderboard";
        return Check::Failed;
    }
    // SQLite would read a FIFO or a device as readily as a file, and block on it.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        problem = path + ": not a regular file";
        return Check::Failed;
    }
    if (!readOnly) {
        // Made here, so the file holding the players' names is the user's
        // alone; SQLite gives its -wal and -shm the same mode.
        const int made = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (made >= 0) close(made);
        else if (errno != EEXIST) {
            problem = path + ": " + std::strerror(errno);
            return Check::Failed;
        }
    }
    sqlite3* connection = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int opened = sqlite3_open_v2(path.c_str(), &connection, flags, nullptr);
    db.reset(connection);  // a failed open still hands back a handle to close
    if (opened != SQLITE_OK) {
        Fail("cannot open", problem);
        db.reset();
        return Check::Failed;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);

    const auto failed = [&](int result, const char* what) {
        if (!IsDamage(result)) {
            Fail(what, problem);
            return Check::Failed;
        }
        problem = path + ": no usable database (" + sqlite3_errmsg(db.get()) + ")";
        return Check::Unusable;
    };
    std::int64_t version = 0;
    {
        Statement statement(db.get(), "PRAGMA user_version");
        const int result = statement.Step();
        if (result != SQLITE_ROW) return failed(result, "cannot read");
        version = statement.Int(0);
    }
    {
        Statement statement(db.get(), "PRAGMA quick_check(1)");
        const int result = statement.Step();
        if (result != SQLITE_ROW) return failed(result, "cannot check");
        std::string verdict = statement.Bytes(0);
        if (verdict != "ok") {
            // SQLite's verdict may run over lines; the problem is one.
            std::replace(verdict.begin(), verdict.end(), '\n', ' ');
            problem = path + ": damaged (" + verdict + ")";
            return Check::Unusable;
        }
    }
    if (version == 0) {
        Statement statement(db.get(), "SELECT count(*) FROM sqlite_schema");
        const int result = statement.Step();
        if (result != SQLITE_ROW) return failed(result, "cannot read");
        if (statement.Int(0) == 0) {
            if (!readOnly) return Check::Usable;
            problem = path + ": no leaderboard in it yet";
            return Check::Failed;
        }
        problem = path + ": another program's database (tables, no schema version)";
        return Check::Unusable;
    }
    if (version != SchemaVersion) {
        problem = path + ": schema version " + std::to_string(version) + ", not " + std::to_string(SchemaVersion);
        return Check::Unusable;
    }
    Statement columns(db.get(),
                      "SELECT id, track, track_checksum, reverse, car, player, time_ms, date_s, run FROM runs LIMIT 0");
    const int result = columns.Step();
    if (result != SQLITE_DONE) {
        if (IsDamage(result)) return failed(result, "cannot read");
        Fail("not the leaderboard's tables", problem);
        return Check::Unusable;
    }
    return Check::Usable;
}

bool Leaderboard::MakeSchema(std::string& problem) {
    Transaction transaction(db.get());
    if (transaction.Begun() != SQLITE_OK) return Fail("cannot write", problem);
    // AUTOINCREMENT: an id is never handed out again once its run is gone,
    // so a client holding an old id never fetches someone else's run.
    static const char* const schema =
        "CREATE TABLE IF NOT EXISTS runs ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " track TEXT NOT NULL, track_checksum INTEGER NOT NULL, reverse INTEGER NOT NULL, car TEXT NOT NULL,"
        " player TEXT NOT NULL, time_ms INTEGER NOT NULL, date_s INTEGER NOT NULL, run BLOB NOT NULL,"
        " UNIQUE (track, track_checksum, reverse, car, player));"
        "CREATE INDEX IF NOT EXISTS runs_in_order ON runs (track, track_checksum, reverse, car, time_ms, date_s, id);"
        "PRAGMA user_version = 1;";
    static_assert(SchemaVersion == 1, "the schema's text sets its version");
    if (sqlite3_exec(db.get(), schema, nullptr, nullptr, nullptr) != SQLITE_OK || transaction.Commit() != SQLITE_OK)
        return Fail("cannot make the tables", problem);
    return true;
}

bool Leaderboard::SetAside(std::string& newPath, std::string& problem) {
    // Where SQLite opened it: symbolic links followed, as for the companions.
    const char* opened = sqlite3_db_filename(db.get(), "main");
    const std::string file = opened && *opened ? opened : path;
    // The file must stay as it was found: no checkpoint of its WAL into it.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    db.reset();
    std::string error;
    if (!AtomicFile::SetAside(file, newPath, error)) {
        problem = error;
        return false;
    }
    // A -wal left behind would be replayed into the new database.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (!RenameCompanion(file + suffix, newPath + suffix, problem)) return false;
    return true;
}

bool Leaderboard::Open(const std::string& file, std::string& problem) {
    readOnly = false;
    Check check = Connect(file, problem);
    std::string setAsideNote;
    if (check == Check::Unusable) {
        std::string newPath;
        std::string why = problem;
        if (!SetAside(newPath, problem)) {
            problem = why + "; cannot set it aside: " + problem;
            return false;
        }
        setAsideNote = why + "; set aside as " + newPath + ", a new leaderboard started";
        check = Connect(file, problem);
        setAsidePath = newPath;
        if (check != Check::Usable) {
            problem = setAsideNote + " but " + problem;
            db.reset();
            return false;
        }
    }
    if (check != Check::Usable) {
        db.reset();
        return false;
    }
    std::string mode;
    {
        Statement statement(db.get(), "PRAGMA journal_mode = WAL");
        if (statement.Step() == SQLITE_ROW) mode = statement.Bytes(0);
    }
    // FULL: WAL's commits reach the disk before Enter answers, not only the
    // kernel's cache, so an acknowledged run outlives a power cut too.
    const bool set = mode == "wal" &&
                     sqlite3_exec(db.get(), "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) == SQLITE_OK &&
                     sqlite3_exec(db.get(), JournalSizeLimit, nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!set) {
        Fail("cannot keep a write-ahead log", problem);
        db.reset();
        return false;
    }
    if (!MakeSchema(problem)) {
        db.reset();
        return false;
    }
    problem = setAsideNote;
    return true;
}

bool Leaderboard::OpenReadOnly(const std::string& file, std::string& problem) {
    readOnly = true;
    if (Connect(file, problem) == Check::Usable) return true;
    db.reset();
    return false;
}

std::optional<Leaderboard::Entry> Leaderboard::Enter(const Board& board, const std::string& player,
                                                     std::uint32_t timeMs, std::int64_t dateS,
                                                     const std::string& runBytes, std::string& problem) {
    if (!db || readOnly) {
        problem = path + ": " + (db ? "opened read only" : "not open");
        return std::nullopt;
    }
    const auto refuse = [&](const std::string& why) {
        problem = "run refused: " + why;
        return std::nullopt;
    };
    const auto failed = [&](const char* what) {
        Fail(what, problem);
        return std::nullopt;
    };
    if (board.track.empty() || board.car.empty() || player.empty()) return refuse("no track, car or player");
    if (board.track.size() > MaxTextBytes || board.car.size() > MaxTextBytes || player.size() > MaxTextBytes)
        return refuse("a track, car or player name too long");
    if (timeMs == 0) return refuse("no time");
    if (runBytes.empty()) return refuse("no run");
    if (runBytes.size() > MaxRunBytes)
        return refuse("a run of " + std::to_string(runBytes.size()) + " bytes, over " + std::to_string(MaxRunBytes));

    Transaction transaction(db.get());
    if (transaction.Begun() != SQLITE_OK) return failed("cannot write");
    const auto time = static_cast<std::int64_t>(timeMs);
    std::int64_t ownId = 0;
    bool ownBetter = false;
    {
        Statement own(db.get(), "SELECT id, time_ms, date_s FROM runs WHERE " BOARD_IS " AND player = ?5");
        own.BindBoard(board);
        own.Bind(5, player);
        const int result = own.Step();
        if (result == SQLITE_ROW) {
            ownId = own.Int(0);
            ownBetter = own.Int(1) < time || (own.Int(1) == time && own.Int(2) <= dateS);
        } else if (result != SQLITE_DONE) {
            return failed("cannot read");
        }
    }
    // Lines of an equal time and date stand before it: they came first.
    std::int64_t ahead = 0;
    {
        Statement count(db.get(), "SELECT count(*) FROM runs WHERE " BOARD_IS
                                  " AND player <> ?5 AND (time_ms < ?6 OR (time_ms = ?6 AND date_s <= ?7))");
        count.BindBoard(board);
        count.Bind(5, player);
        count.Bind(6, time);
        count.Bind(7, dateS);
        if (count.Step() != SQLITE_ROW) return failed("cannot read");
        ahead = count.Int(0) + (ownBetter ? 1 : 0);
    }
    Entry entry;
    entry.place = ahead < static_cast<std::int64_t>(PlacesKept) ? static_cast<unsigned>(ahead + 1) : 0;
    if (ownBetter || entry.place == 0) return entry;

    if (ownId != 0) {
        Statement remove(db.get(), "DELETE FROM runs WHERE id = ?1");
        remove.Bind(1, ownId);
        if (remove.Step() != SQLITE_DONE) return failed("cannot write");
    }
    {
        Statement insert(db.get(), "INSERT INTO runs (track, track_checksum, reverse, car, player, time_ms, date_s, run)"
                                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        insert.BindBoard(board);
        insert.Bind(5, player);
        insert.Bind(6, time);
        insert.Bind(7, dateS);
        insert.BindBlob(8, runBytes);
        if (insert.Step() != SQLITE_DONE) return failed("cannot write");
        entry.runId = sqlite3_last_insert_rowid(db.get());
    }
    {
        // The line pushed off the board goes, its run with it.
        Statement trim(db.get(), "DELETE FROM runs WHERE " BOARD_IS " AND id NOT IN"
                                 " (SELECT id FROM runs WHERE " BOARD_IS " " BOARD_ORDER " LIMIT ?5)");
        trim.BindBoard(board);
        trim.Bind(5, static_cast<std::int64_t>(PlacesKept));
        if (trim.Step() != SQLITE_DONE) return failed("cannot write");
    }
    if (transaction.Commit() != SQLITE_OK) return failed("cannot commit");
    entry.kept = true;
    return entry;
}

std::optional<std::vector<Leaderboard::Line>> Leaderboard::Top(const Board& board, std::string& problem) const {
    if (!db) {
        problem = path + ": not open";
        return std::nullopt;
    }
    Statement select(db.get(), "SELECT id, player, time_ms, date_s FROM runs WHERE " BOARD_IS " " BOARD_ORDER
                               " LIMIT ?5");
    select.BindBoard(board);
    select.Bind(5, static_cast<std::int64_t>(PlacesKept));
    std::vector<Line> lines;
    int result;
    while ((result = select.Step()) == SQLITE_ROW)
        lines.push_back({select.Int(0), select.Bytes(1), static_cast<std::uint32_t>(select.Int(2)), select.Int(3)});
    if (result != SQLITE_DONE) {
        Fail("cannot read", problem);
        return std::nullopt;
    }
    return lines;
}

bool Leaderboard::FetchRun(std::int64_t runId, std::string& runBytes, Board* board, std::string& problem) const {
    if (!db) {
        problem = path + ": not open";
        return false;
    }
    Statement select(db.get(), "SELECT run, track, track_checksum, reverse, car FROM runs WHERE id = ?1");
    select.Bind(1, runId);
    const int result = select.Step();
    if (result == SQLITE_DONE) {
        problem = "no run " + std::to_string(runId) + " on the leaderboard";
        return false;
    }
    if (result != SQLITE_ROW) return Fail("cannot read", problem);
    runBytes = select.Bytes(0);
    if (board) *board = {select.Bytes(1), static_cast<std::uint32_t>(select.Int(2)), select.Int(3) != 0, select.Bytes(4)};
    return true;
}
