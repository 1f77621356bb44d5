#pragma once
#include <utility>
#include <vector>

#include <nodara/BoundingBox.h>
#include <nodara/Object.h>
#include <nodara/OwnedList.h>
#include "vmath/vec2.h"
#include "vmath/vec3.h"

class Geometry;

/// Shared vertex, normal and texture-coordinate arrays and the geometry
/// pieces (owned) that index into them. Copies share the geometry and own
/// none of it (ownership rules as for OwnedList).
class Mesh : public Object {
public:
    Mesh();
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    ~Mesh() override;

    /// Appending does not grow the bounding volume; the loader expands it.
    void AddVertex(const vmath::vec3<float>& v) { vertexArray.push_back(v); }
    void AddNormal(const vmath::vec3<float>& n) { normalArray.push_back(n); }
    void AddTexCoord(const vmath::vec2<float>& t) { texCoordArray.push_back(t); }

    void SetVertexArray(const std::vector<vmath::vec3<float>>& value) { vertexArray = value; }
    void SetNormalArray(const std::vector<vmath::vec3<float>>& value) { normalArray = value; }
    void SetTexCoordArray(const std::vector<vmath::vec2<float>>& value) { texCoordArray = value; }
    /// Move forms, so a loader hands over large arrays without a copy.
    void SetVertexArray(std::vector<vmath::vec3<float>>&& value) { vertexArray = std::move(value); }
    void SetNormalArray(std::vector<vmath::vec3<float>>&& value) { normalArray = std::move(value); }
    void SetTexCoordArray(std::vector<vmath::vec2<float>>&& value) { texCoordArray = std::move(value); }
    const std::vector<vmath::vec3<float>>& GetVertexArray() const { return vertexArray; }
    const std::vector<vmath::vec3<float>>& GetNormalArray() const { return normalArray; }
    const std::vector<vmath::vec2<float>>& GetTexCoordArray() const { return texCoordArray; }
    unsigned int GetVertexArraySize() const { return static_cast<unsigned int>(vertexArray.size()); }
    unsigned int GetNormalArraySize() const { return static_cast<unsigned int>(normalArray.size()); }
    unsigned int GetTexCoordArraySize() const { return static_cast<unsigned int>(texCoordArray.size()); }

    /// Appends and takes ownership; null is ignored. The geometry's mesh
    /// pointer is left for the caller to set.
    void AddGeometry(Geometry* geometry);
    unsigned int GetGeometryCount() const { return geometries.GetCount(); }
    /// Null past the end.
    Geometry* GetGeometry(unsigned int index) const { return geometries.Get(index); }

    BoundingBox& GetBoundingVolume() { return boundingVolume; }
    const BoundingBox& GetBoundingVolume() const { return boundingVolume; }

private:
    std::vector<vmath::vec3<float>> vertexArray;
    std::vector<vmath::vec3<float>> normalArray;
    std::vector<vmath::vec2<float>> texCoordArray;
    OwnedList<Geometry> geometries;
    BoundingBox boundingVolume;
};
