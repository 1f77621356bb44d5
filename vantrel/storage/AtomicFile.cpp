#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace {

bool Fail(std::string& error, const std::string& path, int number) {
    error = path + ": " + std::strerror(number);
    return false;
}

/// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd; }
    /// Hands the descriptor over, to be closed by the caller.
    int Release() {
        const int result = fd;
        fd = -1;
        return result;
    }
    /// Closes now, for the error close() reports on some file systems.
    int Close() {
        const int result = close(fd);
        fd = -1;
        return result;
    }

private:
    int fd;
};

bool WriteAll(int fd, const std::string& contents) {
    for (std::size_t done = 0; done < contents.size();) {
        const ssize_t written = write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

/// Where `path` leads when it is a symbolic link, link by link; `path`
/// itself when it is none, or when nothing is there. A link may lead to a
/// name nothing has yet: Write then makes that file.
bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    // As many links as the kernel itself follows in one path.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = readlink(target.c_str(), buffer.data(), buffer.size());
        if (length < 0) return Fail(error, target, errno);
        if (length == 0 || static_cast<std::size_t>(length) >= buffer.size()) return Fail(error, target, ENAMETOOLONG);
        const std::string leadsTo(buffer.data(), static_cast<std::size_t>(length));
        target = leadsTo[0] == '/' ? leadsTo : FolderOf(target) + "/" + leadsTo;
    }
    return Fail(error, path, ELOOP);
}

/// Write, once `path` is no link.
bool Replace(const std::string& path, const std::string& contents, std::string& error) {
    // The same folder, so the rename stays within one file system.
    std::string tempPath = path + ".tmp-XXXXXX";
    FileDescriptor file(mkostemp(tempPath.data(), O_CLOEXEC));
    if (file.Get() < 0) return Fail(error, tempPath, errno);
    const bool written = WriteAll(file.Get(), contents) && fsync(file.Get()) == 0;
    const int writeErrno = errno;
    if (!written || file.Close() != 0) {
        const int number = written ? errno : writeErrno;
        unlink(tempPath.c_str());
        return Fail(error, tempPath, number);
    }
    if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
        const int number = errno;
        unlink(tempPath.c_str());
        return Fail(error, path, number);
    }
    // The new name itself lives in the folder; without this a crash could
    // still bring back the old file. Only durability is at stake here.
    FileDescriptor folderFd(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() >= 0) fsync(folderFd.Get());
    return true;
}

/// Renames `from` to `to` unless `to` exists; errno EEXIST when it does.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without the flag: a new hard link fails on an existing
    // name just the same.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) == 0) return true;
    const int number = errno;
    unlink(to.c_str());
    errno = number;
    return false;
}

}  // namespace

AtomicFile::ReadResult AtomicFile::Read(const std::string& path, std::size_t maxBytes, std::string& contents,
                                        std::string& error) {
    // Without blocking: opening a FIFO would wait for a writer, before the
    // regular-file check could refuse it. Reads of a regular file never block.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.Get() < 0) {
        // ENOTDIR: a parent is a plain file, so there is no such file either.
        if (errno == ENOENT || errno == ENOTDIR) return ReadResult::Missing;
        Fail(error, path, errno);
        return ReadResult::Failed;
    }
    struct stat info;
    if (fstat(file.Get(), &info) != 0) {
        Fail(error, path, errno);
        return ReadResult::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return ReadResult::Failed;
    }
    contents.clear();
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = read(file.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Fail(error, path, errno);
            return ReadResult::Failed;
        }
        if (got == 0) return ReadResult::Read;
        contents.append(buffer.data(), static_cast<std::size_t>(got));
        if (contents.size() > maxBytes) {
            error = path + ": larger than " + std::to_string(maxBytes) + " bytes";
            return ReadResult::Failed;
        }
    }
}

bool AtomicFile::Write(const std::string& path, const std::string& contents, std::string& error) {
    std::string target;
    return FollowLinks(path, target, error) && Replace(target, contents, error);
}

bool AtomicFile::WriteKeepingBackup(const std::string& path, const std::string& contents, std::size_t maxBytes,
                                    std::string& error) {
    std::string previous;
    switch (Read(path, maxBytes, previous, error)) {
    case ReadResult::Missing:
        break;
    case ReadResult::Failed:
        return false;
    case ReadResult::Read:
        if (!Write(path + ".bak", previous, error)) return false;
        break;
    }
    return Write(path, contents, error);
}

bool AtomicFile::SetAside(const std::string& linkOrPath, std::string& newPath, std::string& error) {
    std::string path;
    if (!FollowLinks(linkOrPath, path, error)) return false;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".corrupt-" + stamp;
    // A bound, so a folder that refuses every name cannot keep us here.
    for (int n = 1; n <= 1000; ++n) {
        const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        if (RenameNoReplace(path, candidate)) {
            newPath = candidate;
            return true;
        }
        if (errno != EEXIST) return Fail(error, path, errno);
    }
    return Fail(error, base, EEXIST);
}

void AtomicFile::RemoveStaleTemporaries(const std::string& path, long minAgeS) {
    std::string target;
    std::string ignored;
    const bool linked = FollowLinks(path, target, ignored) && target != path;
    for (const std::string& file : linked ? std::vector<std::string>{path, target} : std::vector<std::string>{path}) {
        const std::string folder = FolderOf(file);
        const std::string prefix = file.substr(file.rfind('/') + 1) + ".tmp-";
        DIR* listing = opendir(folder.c_str());
        if (!listing) continue;
        const std::time_t now = std::time(nullptr);
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            // mkostemp's six letters and digits after our own prefix, nothing else.
            if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
            bool ours = true;
            for (std::size_t i = prefix.size(); i < name.size(); ++i)
                ours = ours && ((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= 'A' && name[i] <= 'Z') ||
                                (name[i] >= '0' && name[i] <= '9'));
            struct stat info;
            const std::string stale = folder + "/" + name;
            if (!ours || lstat(stale.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
                info.st_mtime > now - minAgeS)
                continue;
            unlink(stale.c_str());
        }
        closedir(listing);
    }
}

AtomicFile::Lock::~Lock() {
    // Closing the last descriptor of the open file releases the lock.
    if (fd >= 0) close(fd);
}

bool AtomicFile::Lock::Take(const std::string& path, std::string& error, int maxWaitMs) {
    if (fd >= 0) return true;
    FileDescriptor file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY, 0600));
    if (file.Get() < 0) return Fail(error, path, errno);
    struct stat info;
    if (fstat(file.Get(), &info) != 0) return Fail(error, path, errno);
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        errno = EINVAL;
        return false;
    }
    // Another copy holds it for one read-merge-write, milliseconds; one that
    // is stopped must not stop this one for good.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    while (flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            const int number = errno;
            Fail(error, path, number);
            if (number == EWOULDBLOCK)
                error = path + ": still locked by another process after " + std::to_string(maxWaitMs) + " ms";
            errno = number;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fd = file.Release();
    return true;
}
