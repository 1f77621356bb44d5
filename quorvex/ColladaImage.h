#pragma once
#include <string>

class DaeDocument;
class DaeImage;
class Image;

/// Wraps one <image> for the conversion. Owns nothing.
class ColladaImage {
public:
    explicit ColladaImage(DaeImage* image) : image(image) {}

    /// The image's COLLADA id.
    std::string GetName() const;

    /// A new image named by its id, holding the path under which its file is
    /// found (resolved against the document; the file is not opened).
    /// `found` tells whether that file exists.
    Image* CreateImage(DaeDocument& document, bool& found) const;

private:
    DaeImage* image;
};
