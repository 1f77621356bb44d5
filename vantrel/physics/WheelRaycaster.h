#pragma once
// Private to the physics component: it derives from a Bullet interface.
#include <BulletDynamics/Vehicle/btVehicleRaycaster.h>

class btCollisionWorld;
class btRigidBody;

namespace physics {

/// Finds the ground under one of a car's wheels. A single ray down the strut
/// misses a slope or a step until it reaches the tyre's lowest point, and the
/// tyre has already sunk into it; this casts a fan of parallel rays across
/// the tyre's profile (along the car's forward axis) and reports the one the
/// round tyre meets first, as if the centre ray had hit there.
class WheelRaycaster : public btVehicleRaycaster {
public:
    /// @param world the world to search; the chassis itself is never hit
    /// @param chassis the car's body, for its forward axis
    /// @param wheelRadiusM radius of the car's tyres (all four alike)
    WheelRaycaster(btCollisionWorld& world, const btRigidBody& chassis, float wheelRadiusM);

    void* castRay(const btVector3& from, const btVector3& to, btVehicleRaycasterResult& result) override;

    /// Reported normals lean at most this far from the strut (cosine): a
    /// steeper face would multiply the spring force many times over.
    static constexpr float MinNormalCosine = 0.5f;

private:
    btCollisionWorld& world;
    const btRigidBody& chassis;
    float wheelRadiusM;
};

}  // namespace physics
