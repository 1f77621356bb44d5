#pragma once
#include <string>
#include <vector>

#include "vmath/vec3.h"

class DaePrimitive;
class DaeSource;
class Geometry;
class Logger;

/// Wraps one triangulated polygon group for the conversion: copies its index
/// lists into a new Geometry. Owns nothing.
class ColladaPolygonGroup {
public:
    explicit ColladaPolygonGroup(DaePrimitive* group) : group(group) {}

    /// The symbol the group's material is bound by ("" when it names none).
    std::string GetMaterialSymbol() const;

    /// A new geometry with the group's position, normal and texture-coordinate
    /// index lists, each input appended to the list of its kind in input order.
    /// Indices into a second source of a kind are moved past the earlier
    /// sources' elements, where the mesh keeps that source's data. The group's
    /// lists are moved into the geometry where they can be. Never null.
    Geometry* CreateGeometry(const std::vector<DaeSource>& sources);

    /// Gives a geometry without normals one flat normal per triangle, appended
    /// to `normals` (the mesh's normal array, set back by the caller), so that
    /// every index list is as long as the vertex list: the draw paths read
    /// them in step. Texture-coordinate lists too short to draw are dropped.
    /// Logs what it mends.
    static void CompleteIndexLists(Geometry& geometry, const std::vector<vmath::vec3<float>>& points,
                                   std::vector<vmath::vec3<float>>& normals);

    /// The "ColladaPolygonGroup" logger.
    static Logger& GetLogger();

private:
    DaePrimitive* group;
};
