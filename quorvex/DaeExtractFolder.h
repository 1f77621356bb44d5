#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/// A private temporary folder for the files taken out of one ".zae" archive,
/// removed with everything in it when its last owner lets go. The renderer
/// reads those files after the load has returned, so the images that name
/// them share the folder with the archive.
///
/// A process killed while it holds one leaves the folder behind; SweepStale
/// removes such folders later. A folder in use is locked (a shared flock on
/// the folder itself, which goes with the process), so no sweep takes it
/// from a running game, however old it is.
class DaeExtractFolder {
public:
    /// How old an abandoned folder must be before SweepStale removes it.
    static constexpr std::chrono::seconds StaleAge{3600};

    /// A fresh folder under the system's temporary folder; null when none can be made.
    static std::shared_ptr<DaeExtractFolder> Make();

    /// Removes the folders Make made in the system's temporary folder that no
    /// process holds any more: only names of Make's pattern ("quorvex-" and
    /// six letters or digits), only real folders owned by this user, only
    /// those not changed for `olderThan`, and only while no one holds their
    /// lock. Returns the paths removed. Never throws.
    static std::vector<std::string> SweepStale(std::chrono::seconds olderThan = StaleAge) noexcept;

    ~DaeExtractFolder();
    DaeExtractFolder(const DaeExtractFolder&) = delete;
    DaeExtractFolder& operator=(const DaeExtractFolder&) = delete;

    /// The folder, without a trailing slash.
    const std::string& GetPath() const { return path; }

private:
    DaeExtractFolder(std::string path, int lock) : path(std::move(path)), lock(lock) {}

    std::string path;
    int lock;  ///< the folder, opened and flock-ed for as long as it is in use; -1 if that failed
};
