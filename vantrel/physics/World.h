#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include <vmath/vec3.h>

#include "WorldSettings.h"

class btBroadphaseInterface;
class btCollisionDispatcher;
class btDefaultCollisionConfiguration;
class btDiscreteDynamicsWorld;
class btDynamicsWorld;
class btSequentialImpulseConstraintSolver;

namespace physics {

class DynamicObjectCar;
class StaticObject;
struct CarTemplate;

/// The one physics world of a race: static terrain meshes and the cars that
/// drive on them, under gravity, inside fixed bounds. It owns everything
/// added to it and releases the cars first, then the meshes; a car can also
/// be released earlier.
///
/// Single-threaded; matrices cross the interface as 16 floats in OpenGL's
/// order (rotation rows 0 to 2, translation in row 3).
class World {
public:
    explicit World(const WorldSettings& settings = WorldSettings());
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    /// Adds a static triangle mesh, such as the track's terrain. The arrays
    /// are copied. Every index triple (i0, i1, i2) becomes the triangle
    /// (i0, i2, i1). The matrix places the mesh; a scale in it is applied to
    /// the vertices, so the mesh's frame stays rigid.
    /// @param vertices vertex positions in the mesh's own frame (m)
    /// @param indices vertex indices, three per triangle
    /// @param matrixGL the mesh's frame in the world
    /// @return the mesh, owned by the world; null when the arrays hold no
    ///         triangle, an index is out of range, their size is not a
    ///         multiple of three, or a value is not finite
    StaticObject* AddStaticMesh(const vmath::vec3<float>* vertices, std::size_t vertexCount,
                                const unsigned int* indices, std::size_t indexCount, const float matrixGL[16]);
    StaticObject* AddStaticMesh(const std::vector<vmath::vec3<float>>& vertices,
                                const std::vector<unsigned int>& indices, const float matrixGL[16]);

    /// Creates a car whose chassis box is centred at the matrix's position
    /// and turned as its rotation (scale is ignored).
    /// @return the car, owned by the world; null when the matrix or the
    ///         settings are not usable (no mass, a non-positive size or radius)
    DynamicObjectCar* CreateCar(const CarTemplate& settings, const float matrixGL[16]);
    /// Removes a car from the world and destroys it. Null or a car of
    /// another world is ignored.
    void DestroyCar(DynamicObjectCar* car);

    /// The static ground straight below or above (x, y): the highest surface
    /// of the static meshes there, inside the world's bounds; cars are not ground.
    /// @param point receives the surface point (m)
    /// @param normal receives the surface's unit normal on the side facing up
    /// @return false when no static mesh lies at (x, y)
    bool FindGround(float x, float y, vmath::vec3<float>& point, vmath::vec3<float>& normal) const;

    /// Advances the world by `dtS` seconds in equal substeps of at most
    /// WorldSettings::maxSubstepS; the cars' read-back values are those of
    /// the last substep. Zero, negative and non-finite steps do nothing.
    void Step(float dtS);
    /// Number of substeps Step takes for `dtS`.
    int GetSubstepCount(float dtS) const;
    /// Simulated time since creation (s).
    double GetTimeS() const { return timeS; }

    const WorldSettings& GetSettings() const { return settings; }
    std::size_t GetStaticObjectCount() const { return staticObjects.size(); }
    std::size_t GetCarCount() const { return cars.size(); }

private:
    /// Bullet's callbacks around every substep; they hand it to the cars.
    static void PreTick(btDynamicsWorld* world, float dtS);
    static void PostTick(btDynamicsWorld* world, float dtS);


    WorldSettings settings;
    std::unique_ptr<btDefaultCollisionConfiguration> collisionConfiguration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
    std::unique_ptr<btBroadphaseInterface> broadphase;
    std::unique_ptr<btSequentialImpulseConstraintSolver> solver;
    std::unique_ptr<btDiscreteDynamicsWorld> dynamicsWorld;
    std::vector<std::unique_ptr<StaticObject>> staticObjects;
    std::vector<std::unique_ptr<DynamicObjectCar>> cars;
    double timeS = 0.0;
};

}  // namespace physics
