#include "DaeArchive.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include <pugixml.hpp>

#include "DaeFilePath.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWithDae(const std::string& name) {
    return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".dae";
}

bool WriteAll(int file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

/// `name` cut to a length that reads well in a log line, with its length when cut.
std::string Shown(const std::string& name) {
    constexpr std::size_t Most = 80;
    if (name.size() <= Most) return "'" + name + "'";
    std::size_t cut = Most;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) --cut;  // not inside a UTF-8 character
    return "'" + name.substr(0, cut) + "...' (" + std::to_string(name.size()) + " bytes)";
}

}  // namespace

DaeArchive::~DaeArchive() {
    if (archive) zip_discard(archive);
}

bool DaeArchive::IsArchive(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char magic[4] = {0, 0, 0, 0};
    const std::size_t read = std::fread(magic, 1, 4, file);
    std::fclose(file);
    return read == 4 && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
}

bool DaeArchive::Open(const std::string& path, std::string& reason) {
    int error = 0;
    archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, error);
        reason = std::string("not a readable zip archive (") + zip_error_strerror(&zipError) + ")";
        zip_error_fini(&zipError);
        return false;
    }
    return true;
}

std::string DaeArchive::FindRootDocument() {
    std::string manifest, ignored;
    if (Read("manifest.xml", manifest, 1 << 20, ignored)) {
        pugi::xml_document document;
        if (document.load_buffer(manifest.data(), manifest.size())) {
            const std::string root =
                DaeFilePath::Normalize(DaeFilePath::DecodeUri(document.child("dae_root").text().get()));
            const std::string entry = root.empty() ? std::string() : FindEntry(root);
            if (!entry.empty()) return entry;
        }
    }
    std::string only;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (!name || !EndsWithDae(name)) continue;
        if (!only.empty()) return std::string();  // ambiguous without a manifest
        only = name;
    }
    return only;
}

std::string DaeArchive::FindEntry(const std::string& entry) {
    if (!archive || entry.empty()) return std::string();
    zip_int64_t index = zip_name_locate(archive, entry.c_str(), 0);
    if (index < 0) {
        // libzip matches without case entry by entry; a document naming many
        // files in an archive of many entries would make that quadratic.
        if (entriesByLowerName.empty()) {
            const zip_int64_t count = zip_get_num_entries(archive, 0);
            for (zip_int64_t i = 0; i < count; ++i)
                if (const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0))
                    entriesByLowerName.emplace(Lower(name), i);
        }
        const auto found = entriesByLowerName.find(Lower(entry));
        index = found == entriesByLowerName.end() ? -1 : found->second;
    }
    if (index < 0) return std::string();
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(index), 0);
    return name ? std::string(name) : std::string();
}

bool DaeArchive::IsSafeName(const std::string& entry) {
    const std::string safe = DaeFilePath::Normalize(entry);
    return !safe.empty() && safe[0] != '/' && safe.compare(0, 3, "../") != 0 && safe != "..";
}

bool DaeArchive::IsExtractableName(const std::string& entry, std::string& reason) {
    if (!IsSafeName(entry)) {
        reason = Shown(entry) + " would land outside the archive's folder";
        return false;
    }
    const std::string safe = DaeFilePath::Normalize(entry);
    if (safe.size() >= PATH_MAX) {
        reason = "the name " + Shown(entry) + " is longer than the " + std::to_string(PATH_MAX - 1) +
                 " bytes a path may have";
        return false;
    }
    std::size_t segments = 0;
    for (std::size_t start = 0; start < safe.size();) {
        std::size_t end = safe.find('/', start);
        if (end == std::string::npos) end = safe.size();
        if (end - start > NAME_MAX) {
            reason = "the name " + Shown(entry) + " has a part longer than the " + std::to_string(NAME_MAX) +
                     " bytes a file name may have";
            return false;
        }
        ++segments;
        start = end + 1;
    }
    if (segments > MaxNameSegments) {
        reason = "the name " + Shown(entry) + " is " + std::to_string(segments) + " folders and file deep, more than " +
                 std::to_string(MaxNameSegments);
        return false;
    }
    return true;
}

std::string DaeArchive::OverLimit(const std::string& entry) const {
    return "'" + entry + "' does not fit in the " + std::to_string(bytesLeft) + " bytes left of the " +
           std::to_string(byteLimit) + " one archive may unpack";
}

bool DaeArchive::Unpack(const std::string& entry, std::uint64_t limit, const Sink& sink, std::string& reason) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (!archive || zip_stat(archive, entry.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        reason = "the archive holds no readable '" + entry + "'";
        return false;
    }
    if (stat.size > std::min(limit, bytesLeft)) {
        reason = stat.size > bytesLeft ? OverLimit(entry) : "'" + entry + "' is too big";
        return false;
    }
    zip_file_t* file = zip_fopen(archive, entry.c_str(), 0);
    if (!file) {
        reason = "can not open '" + entry + "' in the archive";
        return false;
    }
    // Count what really arrives: the size a header claims may be a lie.
    char chunk[1 << 16];
    std::uint64_t total = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, chunk, sizeof(chunk));
        if (n == 0) break;
        if (n < 0) {
            reason = "'" + entry + "' is damaged (" + zip_file_strerror(file) + ")";
            ok = false;
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > stat.size) {
            reason = "'" + entry + "' unpacks to more than the " + std::to_string(stat.size) + " bytes it claims";
            ok = false;
            break;
        }
        if (!sink(chunk, static_cast<std::size_t>(n))) {
            reason = "'" + entry + "' can not be written out";
            ok = false;
            break;
        }
    }
    zip_fclose(file);
    bytesLeft -= std::min(bytesLeft, total);  // the work was done, whether it succeeded or not
    if (ok && total != stat.size) {
        reason = "'" + entry + "' is shorter than the " + std::to_string(stat.size) + " bytes it claims";
        ok = false;
    }
    return ok;
}

bool DaeArchive::Read(const std::string& entry, std::string& out, std::size_t limit, std::string& reason) {
    out.clear();
    const bool ok = Unpack(entry, limit, [&out](const char* data, std::size_t size) {
        out.append(data, size);
        return true;
    }, reason);
    if (!ok) out.clear();
    return ok;
}

bool DaeArchive::MakeFolders(const std::string& safe, std::string& reason) {
    for (std::size_t slash = safe.find('/'); slash != std::string::npos; slash = safe.find('/', slash + 1)) {
        const std::string name = safe.substr(0, slash);
        if (folders.count(name)) continue;
        if (bytesLeft < FileCost) {
            reason = OverLimit(safe);
            return false;
        }
        bytesLeft -= FileCost;  // charged before it is made, whether that works or not
        const std::string path = folder->GetPath() + "/" + name;
        if (mkdir(path.c_str(), 0700) != 0) {
            // Every folder this archive made is in `folders`: what is there is a file.
            reason = "the folder '" + path + "' can not be made";
            return false;
        }
        folders.insert(name);
    }
    return true;
}

std::string DaeArchive::Extract(const std::string& entry, std::string& reason) {
    // Never write outside the folder, whatever the stored name says, and
    // make nothing for a name the file system would refuse or that only
    // exists to make folders.
    if (!IsExtractableName(entry, reason)) return std::string();
    const std::string safe = DaeFilePath::Normalize(entry);
    if (const auto done = extracted.find(safe); done != extracted.end()) return done->second;

    // What it will cost, all told: the archive's folder, the folders not
    // made yet, the file and its bytes. An entry that can not fit makes nothing.
    std::uint64_t cost = folder ? 0 : FileCost;
    for (std::size_t slash = safe.find('/'); slash != std::string::npos; slash = safe.find('/', slash + 1))
        cost += folders.count(safe.substr(0, slash)) ? 0 : FileCost;
    cost += FileCost;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (!archive || zip_stat(archive, entry.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        reason = "the archive holds no readable '" + entry + "'";
        return std::string();
    }
    if (bytesLeft < cost || bytesLeft - cost < stat.size) {
        reason = OverLimit(entry);
        return std::string();
    }

    if (!folder) {
        bytesLeft -= FileCost;
        folder = DaeExtractFolder::Make();
        if (!folder) {
            reason = "no temporary folder can be made";
            return std::string();
        }
    }
    const std::string target = folder->GetPath() + "/" + safe;
    if (target.size() >= PATH_MAX) {
        reason = "the path '" + target.substr(0, 80) + "...' would be longer than the " + std::to_string(PATH_MAX - 1) +
                 " bytes a path may have";
        return std::string();
    }
    if (!MakeFolders(safe, reason)) return std::string();
    if (bytesLeft < FileCost) {
        reason = OverLimit(entry);
        return std::string();
    }
    bytesLeft -= FileCost;  // charged before it is made, whether that works or not
    // Only a file this archive creates is ever written: nothing that was there, and no link.
    const int file = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        reason = "'" + target + "' can not be created";
        return std::string();
    }
    bool ok = Unpack(entry, bytesLeft, [file](const char* data, std::size_t size) { return WriteAll(file, data, size); },
                     reason);
    if (close(file) != 0 && ok) {
        reason = "'" + target + "' can not be written";
        ok = false;
    }
    if (!ok) {
        unlink(target.c_str());
        return std::string();
    }
    extracted.emplace(safe, target);
    return target;
}
