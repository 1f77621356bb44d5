#pragma once
#include <cstddef>
#include <string>

class DaeGeometry;
class Logger;
class Mesh;

/// Wraps one <geometry> for the conversion: reads its mesh's sources into a
/// new Mesh. Owns nothing.
class ColladaGeometry {
public:
    explicit ColladaGeometry(DaeGeometry* geometry) : geometry(geometry) {}

    /// The geometry's COLLADA id.
    std::string GetName() const;

    /// A new mesh with the positions, normals and texture coordinates of every
    /// source (each kind appended into one array, in source order) and the
    /// bounding box of the positions; null if the geometry is not a mesh.
    /// Reads (and triangulates) the polygon groups on the way.
    /// @param textSize the document's size, bounding allocations
    Mesh* CreateMesh(std::size_t textSize);

    /// The "ColladaGeometry" logger.
    static Logger& GetLogger();

private:
    DaeGeometry* geometry;
};
