#include "WheelRaycaster.h"

#include <cmath>

#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>

namespace physics {

namespace {

/// Offsets of the rays along the forward axis, as fractions of the radius.
constexpr float RayOffsets[] = {0.0f, -0.4f, 0.4f, -0.75f, 0.75f};

/// Closest hit that is neither the chassis nor a body without contact response.
struct NotChassisRayCallback : public btCollisionWorld::ClosestRayResultCallback {
    NotChassisRayCallback(const btVector3& from, const btVector3& to, const btCollisionObject* chassis)
        : ClosestRayResultCallback(from, to), chassis(chassis) {}

    bool needsCollision(btBroadphaseProxy* proxy) const override {
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        if (object == chassis || !object->hasContactResponse()) return false;
        return ClosestRayResultCallback::needsCollision(proxy);
    }

    const btCollisionObject* chassis;
};

}  // namespace

WheelRaycaster::WheelRaycaster(btCollisionWorld& world, const btRigidBody& chassis, float wheelRadiusM)
    : world(world), chassis(chassis), wheelRadiusM(wheelRadiusM) {}

void* WheelRaycaster::castRay(const btVector3& from, const btVector3& to, btVehicleRaycasterResult& result) {
    btVector3 ray = to - from;
    btScalar length = ray.length();
    if (!(length > 0.0f)) return nullptr;
    btVector3 down = ray / length;
    btVector3 forward = chassis.getWorldTransform().getBasis().getColumn(1);
    forward -= down * forward.dot(down);
    if (forward.length2() < 1.0e-8f) forward.setZero();
    else forward.normalize();

    const btCollisionObject* ground = nullptr;
    btScalar bestDistance = length;
    for (float offset : RayOffsets) {
        btScalar along = offset * wheelRadiusM;
        // How far the tyre's outline at this offset lies above its lowest point.
        btScalar lift = wheelRadiusM - std::sqrt(wheelRadiusM * wheelRadiusM - along * along);
        btVector3 shift = forward * along;
        btVector3 start = from + shift;
        btVector3 end = to + shift - down * lift;
        NotChassisRayCallback callback(start, end, &chassis);
        world.rayTest(start, end, callback);
        if (!callback.hasHit()) continue;
        btScalar distance = callback.m_closestHitFraction * (length - lift) + lift;
        if (distance >= bestDistance && ground) continue;
        bestDistance = distance;
        ground = callback.m_collisionObject;
        result.m_hitPointInWorld = callback.m_hitPointWorld;
        result.m_hitNormalInWorld = callback.m_hitNormalWorld.normalized();
    }
    if (!ground) return nullptr;

    btVector3 up = -down;
    btScalar cosine = result.m_hitNormalInWorld.dot(up);
    if (cosine < MinNormalCosine) {
        btVector3 across = result.m_hitNormalInWorld - up * cosine;
        across = across.length2() > 1.0e-8f ? across.normalized() : btVector3(0.0f, 0.0f, 0.0f);
        result.m_hitNormalInWorld = up * MinNormalCosine + across * std::sqrt(1.0f - MinNormalCosine * MinNormalCosine);
    }
    result.m_distFraction = bestDistance / length;
    return const_cast<btCollisionObject*>(ground);
}

}  // namespace physics
