#pragma once
#include <memory>
#include <string>
#include <utility>

#include <nodara/Image.h>

#include "DaeExtractFolder.h"

/// An image whose file was extracted from a ".zae" archive. The engine reads
/// the file when it makes the model's textures, after the load has returned,
/// and may do so again while the model lives; so the image holds the
/// archive's folder of extracted files, which goes with the last of them.
class ColladaArchiveImage : public Image {
public:
    ColladaArchiveImage(const std::string& filename, std::shared_ptr<DaeExtractFolder> folder)
        : Image(filename), folder(std::move(folder)) {}

private:
    std::shared_ptr<DaeExtractFolder> folder;
};
