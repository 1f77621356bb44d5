#pragma once
#include <string>

#include <pugixml.hpp>

/// An <image> element: its id and the file it names.
class DaeImage {
public:
    explicit DaeImage(pugi::xml_node element) : element(element) {}

    const char* GetId() const { return element.attribute("id").value(); }

    /// The file reference as written: the text of <init_from> (1.4) or of
    /// <init_from><ref> (1.5), whitespace trimmed; empty for embedded data.
    std::string GetUri() const;

private:
    pugi::xml_node element;
};
