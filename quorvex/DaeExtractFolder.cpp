#include "DaeExtractFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

std::shared_ptr<DaeExtractFolder> DaeExtractFolder::Make() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    const std::string pattern = (base / "quorvex-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return nullptr;
    return std::shared_ptr<DaeExtractFolder>(new DaeExtractFolder(buffer.data()));
}

DaeExtractFolder::~DaeExtractFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
