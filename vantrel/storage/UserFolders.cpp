#include "UserFolders.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

const char* const GameFolderName = "/vantrel";

/// `variable` when it holds an absolute path, else `fallbackBelowHome`
/// inside the home folder; empty without a home folder.
std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value + std::string(GameFolderName);
    const std::string home = UserFolders::HomeFolder();
    if (home.empty()) return {};
    return home + fallbackBelowHome + GameFolderName;
}

/// The executable file `program` in a folder of $PATH, or empty. Empty and
/// relative entries (the working folder) are passed over.
std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    for (const char* entry = path;; ++entry) {
        const char* end = std::strchr(entry, ':');
        const std::string folder(entry, end ? end : entry + std::strlen(entry));
        if (!folder.empty() && folder[0] == '/') {
            const std::string file = folder + "/" + program;
            struct stat info;
            if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(file.c_str(), X_OK) == 0)
                return file;
        }
        if (!end) return {};
        entry = end;
    }
}

/// The first line `program` `argument` writes on standard output (at most
/// 4 KiB read), or empty when it cannot run or ends with a failure status.
std::string FirstOutputLine(const std::string& program, const char* argument) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    pid_t child = 0;
    const bool spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string output;
    if (spawned) {
        // To the end, so the program never blocks on a full pipe.
        char buffer[512];
        for (;;) {
            const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (output.size() < 4096) output.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(pipeEnds[0]);
    if (!spawned) return {};
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return output.substr(0, output.find('\n'));
}

/// `folder` without the slashes at its end ("/" stays).
std::string WithoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

std::string UserFolders::ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string UserFolders::DataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

std::string UserFolders::PicturesFolder() {
    const std::string home = WithoutTrailingSlashes(HomeFolder());
    std::string pictures;
    const std::string program = FindOnPath("xdg-user-dir");
    if (!program.empty()) pictures = WithoutTrailingSlashes(FirstOutputLine(program, "PICTURES"));
    if (pictures.empty() || pictures[0] != '/' || pictures == home) {
        if (home.empty()) return {};
        pictures = home + "/Pictures";
    }
    return pictures + "/Vantrel";
}

std::string UserFolders::HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return home;
    // getpwuid's buffer is static, but the game reads it from one thread only.
    const passwd* entry = getpwuid(getuid());
    if (entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

bool UserFolders::MakeFolder(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        error = "no folder (no home folder found)";
        return false;
    }
    // Parent by parent, so each one this call makes gets 0700 rather than
    // whatever the umask leaves of the default.
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
        if (end == std::string::npos) break;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = folder + ": " + std::strerror(ENOTDIR);
        return false;
    }
    return true;
}
