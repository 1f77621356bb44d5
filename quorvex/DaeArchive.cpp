#include "DaeArchive.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <pugixml.hpp>

#include "DaeFilePath.h"

namespace {

/// Owns the plug-in's temporary folder: made on the first extraction, removed
/// with everything in it when the library is unloaded.
class TemporaryFolder {
public:
    ~TemporaryFolder() {
        if (path.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    /// A fresh sub-folder for one archive, or an empty string if none can be made.
    std::string MakeSubFolder() {
        if (path.empty()) {
            std::error_code error;
            std::filesystem::path base = std::filesystem::temp_directory_path(error);
            if (error) base = "/tmp";
            std::string pattern = (base / "quorvex-XXXXXX").string();
            std::vector<char> buffer(pattern.begin(), pattern.end());
            buffer.push_back('\0');
            if (!mkdtemp(buffer.data())) return std::string();
            path = buffer.data();
        }
        const std::string sub = path + "/" + std::to_string(++counter);
        std::error_code error;
        std::filesystem::create_directories(sub, error);
        return error ? std::string() : sub;
    }

private:
    std::string path;
    unsigned counter = 0;
};

TemporaryFolder temporaryFolder;

bool EndsWithDae(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dae";
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

std::string DaeArchive::FindRootDocument() const {
    std::string manifest;
    if (Read("manifest.xml", manifest, 1 << 20)) {
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

std::string DaeArchive::FindEntry(const std::string& entry) const {
    if (!archive || entry.empty()) return std::string();
    zip_int64_t index = zip_name_locate(archive, entry.c_str(), 0);
    if (index < 0) index = zip_name_locate(archive, entry.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return std::string();
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(index), 0);
    return name ? std::string(name) : std::string();
}

bool DaeArchive::Read(const std::string& entry, std::string& out, std::size_t limit) const {
    if (!archive) return false;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive, entry.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || stat.size > limit)
        return false;
    zip_file_t* file = zip_fopen(archive, entry.c_str(), 0);
    if (!file) return false;
    // Grow with what really arrives: the size a header claims may be a lie.
    out.clear();
    out.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>(stat.size, 1 << 24)));
    char chunk[1 << 16];
    zip_int64_t n;
    while (out.size() <= stat.size && (n = zip_fread(file, chunk, sizeof(chunk))) > 0) out.append(chunk, static_cast<std::size_t>(n));
    zip_fclose(file);
    return out.size() == stat.size;
}

std::string DaeArchive::Extract(const std::string& entry) {
    // Never write outside the folder, whatever the stored name says.
    const std::string safe = DaeFilePath::Normalize(entry);
    if (safe.empty() || safe[0] == '/' || safe.compare(0, 3, "../") == 0 || safe == "..") return std::string();
    std::string data;
    if (!Read(entry, data, MaxEntrySize)) return std::string();
    if (extractFolder.empty()) extractFolder = temporaryFolder.MakeSubFolder();
    if (extractFolder.empty()) return std::string();
    const std::filesystem::path target = std::filesystem::path(extractFolder) / safe;
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    std::ofstream stream(target, std::ios::binary);
    stream.write(data.data(), static_cast<std::streamsize>(data.size()));
    return stream ? target.string() : std::string();
}
