#pragma once
#include <cstddef>
#include <string>

struct zip;

/// A ".zae" archive: a zip file holding a COLLADA document and the files it
/// refers to. The document is read from memory; the files it names are
/// extracted on request into a private temporary folder, because the renderer
/// opens image files by name long after the load has returned. That folder is
/// removed when the plug-in is unloaded.
class DaeArchive {
public:
    DaeArchive() = default;
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
    std::string FindRootDocument() const;

    /// The stored name of `entry`, matched exactly or else ignoring case;
    /// empty when the archive has no such file.
    std::string FindEntry(const std::string& entry) const;

    /// Reads a whole entry into `out`; false if it is missing, unreadable or
    /// larger than `limit` bytes.
    bool Read(const std::string& entry, std::string& out, std::size_t limit) const;

    /// Extracts `entry` (a stored name from FindEntry) and returns the path of
    /// the extracted file, or an empty string on failure.
    std::string Extract(const std::string& entry);

    /// Largest entry this reader unpacks (bytes), so that a crafted archive
    /// cannot claim gigabytes.
    static constexpr std::size_t MaxEntrySize = std::size_t(1) << 30;

private:
    zip* archive = nullptr;
    std::string extractFolder;  ///< this archive's folder under the plug-in's temporary folder
};
