#include "World.h"

#include <algorithm>
#include <cmath>

#include <BulletCollision/BroadphaseCollision/btAxisSweep3.h>
#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btDefaultCollisionConfiguration.h>
#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <BulletCollision/CollisionShapes/btTriangleShape.h>
#include <BulletDynamics/ConstraintSolver/btSequentialImpulseConstraintSolver.h>
#include <BulletDynamics/Dynamics/btDiscreteDynamicsWorld.h>

#include "BulletConversion.h"
#include "CarTemplate.h"
#include "DynamicObjectCar.h"
#include "StaticObject.h"

namespace physics {

namespace {

/// Bullet calls this for contacts with a body that asks for it (the static
/// meshes): a contact on an edge shared with a neighbouring triangle gets
/// the triangle's face normal instead of the edge's, so a body sliding over
/// the mesh does not bump on the seams. The mesh is always the second
/// object of a convex-against-mesh contact.
bool AdjustInternalEdgeContact(btManifoldPoint& point, const btCollisionObjectWrapper* object0, int, int,
                               const btCollisionObjectWrapper* object1, int partId1, int index1) {
    if (object1->getCollisionShape()->getShapeType() == TRIANGLE_SHAPE_PROXYTYPE)
        btAdjustInternalEdgeContacts(point, object1, object0, partId1, index1, BT_TRIANGLE_CONVEX_BACKFACE_MODE);
    return true;
}

bool IsUsableCar(const CarTemplate& car) {
    const vmath::vec3<float>& h = car.halfExtentsM;
    return car.massKg > 0.0f && h.x > 0.0f && h.y > 0.0f && h.z > 0.0f && car.wheelRadiusM > 0.0f &&
           car.suspensionRestLengthM > 0.0f && std::isfinite(car.centreOfMassDropM);
}

}  // namespace

World::World(const WorldSettings& settingsIn) : settings(settingsIn) {
    collisionConfiguration = std::make_unique<btDefaultCollisionConfiguration>();
    dispatcher = std::make_unique<btCollisionDispatcher>(collisionConfiguration.get());
    const btVector3 extent(settings.halfExtentM, settings.halfExtentM, settings.halfExtentM);
    broadphase = std::make_unique<btAxisSweep3>(-extent, extent);
    solver = std::make_unique<btSequentialImpulseConstraintSolver>();
    dynamicsWorld = std::make_unique<btDiscreteDynamicsWorld>(dispatcher.get(), broadphase.get(), solver.get(),
                                                              collisionConfiguration.get());
    dynamicsWorld->setGravity(ToBullet(settings.gravityMs2));
    dynamicsWorld->setInternalTickCallback(PreTick, this, true);
    dynamicsWorld->setInternalTickCallback(PostTick, this, false);
    // NOTE: Bullet has one contact-added hook for the whole process; every
    // world installs the same function, so several worlds can coexist.
    gContactAddedCallback = AdjustInternalEdgeContact;
}

World::~World() {
    cars.clear();
    staticObjects.clear();
}

StaticObject* World::AddStaticMesh(const vmath::vec3<float>* vertices, std::size_t vertexCount,
                                   const unsigned int* indices, std::size_t indexCount, const float matrixGL[16]) {
    if (!StaticObject::IsUsable(vertices, vertexCount, indices, indexCount, matrixGL)) return nullptr;
    staticObjects.push_back(
        std::make_unique<StaticObject>(*dynamicsWorld, vertices, vertexCount, indices, indexCount, matrixGL));
    return staticObjects.back().get();
}

StaticObject* World::AddStaticMesh(const std::vector<vmath::vec3<float>>& vertices,
                                   const std::vector<unsigned int>& indices, const float matrixGL[16]) {
    return AddStaticMesh(vertices.data(), vertices.size(), indices.data(), indices.size(), matrixGL);
}

DynamicObjectCar* World::CreateCar(const CarTemplate& carSettings, const float matrixGL[16]) {
    btTransform frame;
    if (!matrixGL || !RigidFrameFromGL(matrixGL, frame) || !IsUsableCar(carSettings)) return nullptr;
    cars.push_back(std::make_unique<DynamicObjectCar>(*dynamicsWorld, carSettings, matrixGL));
    return cars.back().get();
}

void World::DestroyCar(DynamicObjectCar* car) {
    auto found = std::find_if(cars.begin(), cars.end(), [car](const auto& owned) { return owned.get() == car; });
    if (found != cars.end()) cars.erase(found);
}

bool World::FindGround(float x, float y, vmath::vec3<float>& point, vmath::vec3<float>& normal) const {
    // Static objects only: the ray must pass through a car standing there.
    struct GroundOnly : btCollisionWorld::ClosestRayResultCallback {
        using ClosestRayResultCallback::ClosestRayResultCallback;
        bool needsCollision(btBroadphaseProxy* proxy) const override {
            const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
            return object->isStaticObject() && ClosestRayResultCallback::needsCollision(proxy);
        }
    };
    // Just inside the broadphase's box, which the ray must not leave.
    const float top = settings.halfExtentM * 0.999f;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    const btVector3 from(x, y, top), to(x, y, -top);
    GroundOnly hit(from, to);
    dynamicsWorld->rayTest(from, to, hit);
    if (!hit.hasHit()) return false;
    btVector3 up = hit.m_hitNormalWorld.normalized();
    if (up.z() < 0.0f) up = -up;
    point = FromBullet(hit.m_hitPointWorld);
    normal = FromBullet(up);
    return true;
}

int World::GetSubstepCount(float dtS) const {
    if (!(dtS > 0.0f) || !std::isfinite(dtS)) return 0;
    // The small allowance keeps 1/60 s at two substeps despite rounding.
    int count = static_cast<int>(std::ceil(dtS / settings.maxSubstepS - 1.0e-3f));
    return std::clamp(count, 1, std::max(1, settings.maxSubstepsPerStep));
}

void World::Step(float dtS) {
    int count = GetSubstepCount(dtS);
    if (count == 0) return;
    float substepS = std::min(dtS / static_cast<float>(count), settings.maxSubstepS * 1.001f);
    // Each call with no substep limit is exactly one internal step of the
    // given length: no remainder carried over and no interpolated motion
    // states, so the cars read exactly the last substep.
    for (int i = 0; i < count; ++i) dynamicsWorld->stepSimulation(substepS, 0);
    timeS += static_cast<double>(substepS) * count;
}

void World::PreTick(btDynamicsWorld* world, float dtS) {
    for (auto& car : static_cast<World*>(world->getWorldUserInfo())->cars) car->PreSubstep(dtS);
}

void World::PostTick(btDynamicsWorld* world, float dtS) {
    for (auto& car : static_cast<World*>(world->getWorldUserInfo())->cars) car->PostSubstep(dtS);
}

}  // namespace physics
