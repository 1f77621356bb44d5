#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
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

/// The whole of Write but the backup.
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
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    FileDescriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
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

bool AtomicFile::Write(const std::string& path, const std::string& contents, bool keepBackup, std::string& error) {
    if (keepBackup) {
        std::string previous;
        switch (Read(path, std::numeric_limits<std::size_t>::max() - 1, previous, error)) {
        case ReadResult::Missing:
            break;
        case ReadResult::Failed:
            return false;
        case ReadResult::Read:
            if (!Replace(path + ".bak", previous, error)) return false;
            break;
        }
    }
    return Replace(path, contents, error);
}

bool AtomicFile::SetAside(const std::string& path, std::string& newPath, std::string& error) {
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
