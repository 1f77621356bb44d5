#pragma once
#include <memory>
#include <string>
#include <utility>

/// A private temporary folder for the files taken out of one ".zae" archive,
/// removed with everything in it when its last owner lets go. The renderer
/// reads those files after the load has returned, so the images that name
/// them share the folder with the archive.
class DaeExtractFolder {
public:
    /// A fresh folder under the system's temporary folder; null when none can be made.
    static std::shared_ptr<DaeExtractFolder> Make();

    ~DaeExtractFolder();
    DaeExtractFolder(const DaeExtractFolder&) = delete;
    DaeExtractFolder& operator=(const DaeExtractFolder&) = delete;

    /// The folder, without a trailing slash.
    const std::string& GetPath() const { return path; }

private:
    explicit DaeExtractFolder(std::string path) : path(std::move(path)) {}

    std::string path;
};
