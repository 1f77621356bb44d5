#pragma once
#include <unordered_set>

class Geometry;
class Image;
class Mesh;
class OglRenderer;

/// Turns model data into GL objects and deletes them again: per geometry three
/// vertex buffers (positions, normals, texture coordinates) holding each
/// distinct corner once, an element buffer of the triangles' corners into
/// them, and one display list; one texture per image. The names go back into
/// the model objects' id fields; an id that already names a GL object is
/// reused.
class OglBufferManager {
public:
    OglBufferManager() = default;
    OglBufferManager(const OglBufferManager&) = default;
    OglBufferManager& operator=(const OglBufferManager&) = default;

    /// Creates and fills the buffers of every drawable geometry of `mesh`,
    /// reading `mesh`'s arrays, and sets its buffer vertex count. Corners
    /// with the same vertex, normal and texture-coordinate indices become
    /// one vertex; the triangles are reordered for the vertex cache. A
    /// geometry that fails CanDraw gets none.
    void Generate(Mesh& mesh);
    /// The GL type of the element buffer of a geometry whose buffers hold
    /// `bufferVertexCount` vertices: 16-bit indices where they fit.
    static unsigned int ElementType(unsigned int bufferVertexCount);
    /// Deletes the buffers of every geometry of `mesh` (ids kept).
    void Delete(Mesh& mesh);
    /// Loads the image file and uploads it as a mipmapped texture.
    void Generate(Image& image);
    void Delete(Image& image);
    /// Records the geometry's immediate-mode drawing into a display list,
    /// unless it has one. `renderer` must be in Immediate mode.
    void GenerateDisplayLists(Geometry& geometry, OglRenderer& renderer);
    void DeleteDisplayLists(Geometry& geometry);

    /// True when drawing `geometry` from `mesh`'s arrays reads only inside
    /// them: every vertex index in range, and the normal list (and the
    /// texture-coordinate list, when the geometry has one or a buffer for
    /// one) at least as long as the vertex list with every used index in
    /// range. Otherwise reports the geometry on standard output, once per
    /// geometry, and returns false; then no draw path draws it.
    bool CanDraw(const Geometry& geometry, const Mesh& mesh);
    /// Forgets that `geometry` was reported, before it is destroyed.
    void Forget(const Geometry& geometry) { reported.erase(&geometry); }

private:
    /// Geometries already reported by CanDraw, so a bad one is named once
    /// rather than every frame.
    std::unordered_set<const Geometry*> reported;
};
