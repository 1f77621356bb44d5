#include "UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

}  // namespace

std::string UserFolders::ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string UserFolders::DataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

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
