#include "DaeExtractFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

constexpr char Prefix[] = "quorvex-";
constexpr std::size_t PrefixLength = sizeof(Prefix) - 1;
constexpr std::size_t RandomLength = 6;  ///< the "XXXXXX" mkdtemp fills with letters and digits

std::filesystem::path TemporaryFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : base;
}

/// True for the names Make gives: the prefix and exactly six ASCII letters or digits.
bool IsOurName(const char* name) {
    if (std::strncmp(name, Prefix, PrefixLength) != 0 || std::strlen(name) != PrefixLength + RandomLength) return false;
    for (const char* c = name + PrefixLength; *c; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))) return false;
    return true;
}

}  // namespace

std::shared_ptr<DaeExtractFolder> DaeExtractFolder::Make() {
    std::string buffer = (TemporaryFolder() / (std::string(Prefix) + std::string(RandomLength, 'X'))).string();
    if (!mkdtemp(buffer.data())) return nullptr;
    // Held until the folder is removed: a sweep in another process leaves it alone.
    int lock = open(buffer.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock >= 0 && flock(lock, LOCK_SH | LOCK_NB) != 0) {
        close(lock);
        lock = -1;
    }
    return std::shared_ptr<DaeExtractFolder>(new DaeExtractFolder(buffer, lock));
}

DaeExtractFolder::~DaeExtractFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    if (lock >= 0) close(lock);
}

std::vector<std::string> DaeExtractFolder::SweepStale(std::chrono::seconds olderThan) noexcept {
    std::vector<std::string> removed;
    try {
        const std::filesystem::path base = TemporaryFolder();
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(base.c_str()), closedir);
        if (!dir) return removed;
        const int at = dirfd(dir.get());
        const std::time_t now = std::time(nullptr);
        while (const dirent* entry = readdir(dir.get())) {
            if (!IsOurName(entry->d_name)) continue;
            struct stat info;
            if (fstatat(at, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
                info.st_uid != geteuid() || now - info.st_mtime < olderThan.count())
                continue;
            // A folder some process still holds is in use, however old.
            const int lock = openat(at, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (lock < 0) continue;
            struct stat opened;
            if (fstat(lock, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino &&
                flock(lock, LOCK_EX | LOCK_NB) == 0) {
                const std::filesystem::path folder = base / entry->d_name;
                std::error_code error;
                std::filesystem::remove_all(folder, error);
                if (!error) removed.push_back(folder.string());
            }
            close(lock);
        }
    } catch (...) {
        // Out of memory: what is left waits for the next sweep.
    }
    return removed;
}
