#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include <vmath/vec3.h>

class btBvhTriangleMeshShape;
class btDynamicsWorld;
class btRigidBody;
class btTriangleIndexVertexArray;
struct btTriangleInfoMap;

namespace physics {

/// A static triangle mesh in the world, such as the terrain: a BVH mesh
/// shape with internal-edge information, so sliding bodies do not catch on
/// the edges between its triangles. It adds itself to the world when made
/// and removes itself when destroyed.
class StaticObject {
public:
    /// True when the arrays make at least one triangle, every index is in
    /// range, the index count is a multiple of three and every value is finite.
    static bool IsUsable(const vmath::vec3<float>* vertices, std::size_t vertexCount, const unsigned int* indices,
                         std::size_t indexCount, const float matrixGL[16]);

    /// Copies the mesh (see World::AddStaticMesh); the arrays must be usable.
    StaticObject(btDynamicsWorld& world, const vmath::vec3<float>* vertices, std::size_t vertexCount,
                 const unsigned int* indices, std::size_t indexCount, const float matrixGL[16]);
    ~StaticObject();
    StaticObject(const StaticObject&) = delete;
    StaticObject& operator=(const StaticObject&) = delete;

    std::size_t GetTriangleCount() const { return triangleIndices.size() / 3; }

private:
    btDynamicsWorld& world;
    std::vector<float> vertexCoordinates;  ///< x, y, z per vertex, scaled into the rigid frame
    std::vector<int> triangleIndices;      ///< (i0, i2, i1) per source triple
    std::unique_ptr<btTriangleIndexVertexArray> meshInterface;
    std::unique_ptr<btBvhTriangleMeshShape> shape;
    std::unique_ptr<btTriangleInfoMap> triangleInfoMap;
    std::unique_ptr<btRigidBody> body;
};

}  // namespace physics
