#include "StaticObject.h"

#include <cmath>
#include <limits>

#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleIndexVertexArray.h>
#include <BulletCollision/CollisionShapes/btTriangleInfoMap.h>
#include <BulletDynamics/Dynamics/btDynamicsWorld.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>

#include "BulletConversion.h"

namespace physics {

bool StaticObject::IsUsable(const vmath::vec3<float>* vertices, std::size_t vertexCount, const unsigned int* indices,
                            std::size_t indexCount, const float matrixGL[16]) {
    if (!vertices || !indices || !matrixGL || indexCount == 0 || indexCount % 3 != 0) return false;
    // Bullet indexes with int.
    if (vertexCount > static_cast<std::size_t>(std::numeric_limits<int>::max()) || indexCount > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    btTransform frame;
    if (!RigidFrameFromGL(matrixGL, frame)) return false;
    for (std::size_t i = 0; i < indexCount; ++i)
        if (indices[i] >= vertexCount) return false;
    for (std::size_t i = 0; i < vertexCount; ++i)
        if (!std::isfinite(vertices[i].x) || !std::isfinite(vertices[i].y) || !std::isfinite(vertices[i].z))
            return false;
    return true;
}

StaticObject::StaticObject(btDynamicsWorld& world, const vmath::vec3<float>* vertices, std::size_t vertexCount,
                           const unsigned int* indices, std::size_t indexCount, const float matrixGL[16])
    : world(world) {
    btTransform frame;
    btVector3 scale(1.0f, 1.0f, 1.0f);
    RigidFrameFromGL(matrixGL, frame, &scale);

    vertexCoordinates.reserve(vertexCount * 3);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        vertexCoordinates.push_back(vertices[i].x * scale.x());
        vertexCoordinates.push_back(vertices[i].y * scale.y());
        vertexCoordinates.push_back(vertices[i].z * scale.z());
    }
    triangleIndices.reserve(indexCount);
    for (std::size_t i = 0; i + 2 < indexCount; i += 3) {
        triangleIndices.push_back(static_cast<int>(indices[i]));
        triangleIndices.push_back(static_cast<int>(indices[i + 2]));
        triangleIndices.push_back(static_cast<int>(indices[i + 1]));
    }

    btIndexedMesh part;
    part.m_numTriangles = static_cast<int>(triangleIndices.size() / 3);
    part.m_triangleIndexBase = reinterpret_cast<const unsigned char*>(triangleIndices.data());
    part.m_triangleIndexStride = 3 * sizeof(int);
    part.m_numVertices = static_cast<int>(vertexCount);
    part.m_vertexBase = reinterpret_cast<const unsigned char*>(vertexCoordinates.data());
    part.m_vertexStride = 3 * sizeof(float);
    part.m_indexType = PHY_INTEGER;
    part.m_vertexType = PHY_FLOAT;
    meshInterface = std::make_unique<btTriangleIndexVertexArray>();
    meshInterface->addIndexedMesh(part, PHY_INTEGER);

    const bool useQuantizedAabbCompression = true;
    shape = std::make_unique<btBvhTriangleMeshShape>(meshInterface.get(), useQuantizedAabbCompression);
    // The shape keeps a pointer to the map; both live as long as this object.
    triangleInfoMap = std::make_unique<btTriangleInfoMap>();
    btGenerateInternalEdgeInfo(shape.get(), triangleInfoMap.get());

    btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, shape.get());
    info.m_startWorldTransform = frame;
    info.m_friction = 0.8f;
    info.m_restitution = 0.0f;
    body = std::make_unique<btRigidBody>(info);
    // Asks the contact-added callback of World for the edge correction.
    body->setCollisionFlags(body->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
    world.addRigidBody(body.get());
}

StaticObject::~StaticObject() { world.removeRigidBody(body.get()); }

}  // namespace physics
