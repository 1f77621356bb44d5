#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "DaePrimitive.h"
#include "DaeSource.h"

class Logger;

/// A <geometry> element. Its mesh (sources and triangulated polygon groups)
/// is read on first use and kept until Release, so a mesh instanced many
/// times is read once.
class DaeGeometry {
public:
    explicit DaeGeometry(pugi::xml_node element) : element(element) {}

    const char* GetId() const { return element.attribute("id").value(); }
    /// True when the geometry holds a <mesh> (splines and the like do not).
    bool IsMesh() const { return element.child("mesh"); }

    /// Reads the mesh's sources and polygon groups unless already read.
    /// @param textSize the document's size, bounding every allocation
    /// @param polygonLog logger for problems with index lists
    void Read(std::size_t textSize, Logger& polygonLog);
    /// Frees what Read made; a later Read reads again.
    void Release();
    /// Frees the index lists of one polygon group once they are copied out.
    void ReleaseIndices(std::size_t group) { primitives[group].ReleaseIndices(); }

    std::vector<DaeSource>& GetSources() { return sources; }
    std::vector<DaePrimitive>& GetPrimitives() { return primitives; }

private:
    void ReadSource(DaeSource& source, pugi::xml_node element, std::size_t textSize);

    pugi::xml_node element;
    bool read = false;
    std::vector<DaeSource> sources;
    std::vector<DaePrimitive> primitives;
};
