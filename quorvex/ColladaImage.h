#pragma once
#include <string>

#include "DaeDocument.h"

class DaeImage;
class Image;

/// Wraps one <image> for the conversion. Owns nothing.
class ColladaImage {
public:
    explicit ColladaImage(DaeImage* image) : image(image) {}

    /// The image's COLLADA id.
    std::string GetName() const;

    /// A new image named by its id, holding the path under which its file is
    /// found (resolved against the document; the file is not opened). Only a
    /// regular file, or a path where nothing is, is handed on: anything else
    /// at that path leaves the image without a file name. `location` tells
    /// where the file was looked for and what was there.
    Image* CreateImage(DaeDocument& document, DaeDocument::FileLocation& location) const;

private:
    DaeImage* image;
};
