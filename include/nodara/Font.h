#pragma once
#include <string>

#include <nodara/Object.h>

/// A typeface at one character height, as a font manager hands it out. The
/// id is the back end's handle for its glyphs (the OpenGL back end stores the
/// first of the display lists made for characters 32 to 127).
class Font : public Object {
public:
    Font(const std::string& name, int size, unsigned int id) : Object(name), size(size), id(id) {}

    int GetSize() const { return size; }
    unsigned int GetId() const { return id; }

private:
    int size;
    unsigned int id;
};
