#pragma once
#include <string>

#include <nodara/Object.h>

/// An image file as a model names it, plus the renderer's texture handle.
/// Its Object name stays empty unless set, so name lookups only find images
/// that were given one.
class Image : public Object {
public:
    explicit Image(const std::string& filename) : filename(filename) {}

    const std::string& GetFilename() const { return filename; }
    void SetFilename(std::string& value) { filename = value; }

    /// The renderer stores the texture handle through the reference form; 0 = none.
    unsigned int& GetBindId() { return bindId; }
    unsigned int GetBindId() const { return bindId; }

private:
    std::string filename;
    unsigned int bindId = 0;
};
