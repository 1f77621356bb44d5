#include "DaeFilePath.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDrive(const std::string& s, std::size_t at) {
    return s.size() >= at + 2 && std::isalpha(static_cast<unsigned char>(s[at])) && s[at + 1] == ':';
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

/// The entry of `folder` whose name equals `name` ignoring case; empty if none.
std::string MatchIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::string();
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string DaeFilePath::DecodeUri(const std::string& uri) {
    std::string decoded;
    decoded.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const int high = uri[i] == '%' && i + 2 < uri.size() ? HexValue(uri[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(uri[i + 2]) : -1;
        if (low >= 0 && (high || low)) {  // never decode to an embedded null
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += uri[i];
        }
    }
    if (decoded.size() >= 5 && strncasecmp(decoded.c_str(), "file:", 5) == 0) {
        decoded.erase(0, 5);
        if (decoded.compare(0, 2, "//") == 0 || decoded.compare(0, 2, "\\\\") == 0) {
            decoded.erase(0, 2);
            // "file://localhost/path"; any other "host" is taken as the first
            // folder of a relative path, which is what exporters mean by it.
            if (strncasecmp(decoded.c_str(), "localhost/", 10) == 0) decoded.erase(0, 9);
        }
        if ((decoded[0] == '/' || decoded[0] == '\\') && IsDrive(decoded, 1)) decoded.erase(0, 1);
    }
    return decoded;
}

std::string DaeFilePath::Normalize(const std::string& path) {
    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    const bool absolute = !slashed.empty() && slashed[0] == '/';
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= slashed.size()) {
        std::size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        std::string segment = slashed.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty() && segments.back() != "..")
                segments.pop_back();
            else if (!absolute)
                segments.push_back(segment);
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i) result += '/';
        result += segments[i];
    }
    return result;
}

bool DaeFilePath::IsAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || IsDrive(path, 0);
}

std::string DaeFilePath::Folder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string DaeFilePath::BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DaeFilePath::Join(const std::string& folder, const std::string& relative) {
    const std::string joined = Normalize(folder + relative);
    // Keep a "./"-less relative result relative, and an empty one pointing here.
    return joined.empty() ? std::string(".") : joined;
}

std::string DaeFilePath::FindExisting(const std::string& root, const std::string& relative) {
    const std::string exact = root + relative;
    if (IsRegularFile(exact)) return exact;
    // Walk the segments below `root`, each matched ignoring case.
    std::string current = root;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string segment = relative.substr(start, end - start);
        if (segment == "..") {
            current += "../";
        } else {
            const std::string match = MatchIgnoringCase(current, segment);
            if (match.empty()) return std::string();
            current += match;
            if (end < relative.size()) current += '/';
        }
        start = end + 1;
    }
    return IsRegularFile(current) ? current : std::string();
}
