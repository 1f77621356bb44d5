#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "DaeExtractFolder.h"

struct zip;

/// A ".zae" archive: a zip file holding a COLLADA document and the files it
/// refers to. The document is read into memory; the files it names are
/// extracted on request, streamed in chunks into a private temporary folder,
/// because the renderer opens image files by name after the load has
/// returned. Whatever one archive unpacks is held to a byte limit, so a small
/// archive can not claim gigabytes of memory or disk.
class DaeArchive {
public:
    /// Most bytes one archive unpacks, its document and every extracted file
    /// together (each file also costs FileCost).
    static constexpr std::uint64_t MaxUnpackedBytes = std::uint64_t(256) << 20;
    /// What each extracted file, and each folder made for one, costs on top
    /// of its bytes, so that thousands of empty or deeply nested entries can
    /// not fill the disk with files and folders. Charged before it is made,
    /// whether or not the extraction then succeeds.
    static constexpr std::uint64_t FileCost = 4096;
    /// Most segments of an entry name that is extracted (its folders and its
    /// file); a segment longer than NAME_MAX, or a whole path longer than
    /// PATH_MAX, is refused too, before anything is made for it.
    static constexpr std::size_t MaxNameSegments = 32;

    /// @param byteLimit most bytes this archive unpacks (tests use less)
    explicit DaeArchive(std::uint64_t byteLimit = MaxUnpackedBytes) : byteLimit(byteLimit), bytesLeft(byteLimit) {}
    ~DaeArchive();
    DaeArchive(const DaeArchive&) = delete;
    DaeArchive& operator=(const DaeArchive&) = delete;

    /// True when the file starts like a zip archive.
    static bool IsArchive(const std::string& path);

    /// Opens the archive; false (with `reason` set) when it is not a readable zip.
    bool Open(const std::string& path, std::string& reason);

    /// The entry name of the root document: the manifest's "dae_root"
    /// (percent-decoded, relative to the archive root) or, without a usable
    /// manifest, the only ".dae" entry. Empty when there is none.
    std::string FindRootDocument();

    /// The stored name of `entry`, matched exactly or else ignoring case;
    /// empty when the archive has no such file.
    std::string FindEntry(const std::string& entry);

    /// True when an entry of that stored name would be extracted inside the
    /// folder (no absolute path, no climbing out with "..").
    static bool IsSafeName(const std::string& entry);

    /// True when an entry of that stored name is safe (IsSafeName) and
    /// within the limits on its segments and length; else false, with `reason` set.
    static bool IsExtractableName(const std::string& entry, std::string& reason);

    /// Reads a whole entry into `out`; false (with `reason` set) if it is
    /// missing or damaged, or larger than `limit` or than what is left of
    /// the archive's byte limit.
    bool Read(const std::string& entry, std::string& out, std::size_t limit, std::string& reason);

    /// Extracts `entry` (a stored name from FindEntry) and returns the path of
    /// the extracted file; an entry asked for again is not extracted again.
    /// Empty, with `reason` set and no partial file left, on failure: a name
    /// IsExtractableName refuses makes nothing, not even the folder.
    std::string Extract(const std::string& entry, std::string& reason);

    /// The folder of the extracted files, null before the first extraction.
    /// It is removed when the archive and every other holder have let go.
    const std::shared_ptr<DaeExtractFolder>& GetExtractFolder() const { return folder; }

    /// Bytes unpacked so far (the costs of files and folders included).
    std::uint64_t GetBytesUnpacked() const { return byteLimit - bytesLeft; }

private:
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    /// Streams `entry` to `sink` in chunks, charging what arrives to the
    /// byte limit; false with `reason` on any failure.
    bool Unpack(const std::string& entry, std::uint64_t limit, const Sink& sink, std::string& reason);
    std::string OverLimit(const std::string& entry) const;
    /// Makes the folders of `safe` (a normalized entry name) that do not exist
    /// yet, each charged before it is made; false with `reason` on failure.
    bool MakeFolders(const std::string& safe, std::string& reason);

    zip* archive = nullptr;
    std::uint64_t byteLimit;
    std::uint64_t bytesLeft;
    std::shared_ptr<DaeExtractFolder> folder;
    std::unordered_map<std::string, std::string> extracted;  ///< folder-relative name to extracted path
    std::unordered_set<std::string> folders;  ///< folder-relative names of the folders made so far
    std::unordered_map<std::string, std::int64_t> entriesByLowerName;  ///< made on the first match ignoring case
};
