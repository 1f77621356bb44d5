#include "DynamicObjectCar.h"

#include <algorithm>
#include <cmath>

#include <BulletCollision/CollisionShapes/btBoxShape.h>
#include <BulletCollision/CollisionShapes/btCompoundShape.h>
#include <BulletDynamics/Dynamics/btDiscreteDynamicsWorld.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>
#include <BulletDynamics/Vehicle/btRaycastVehicle.h>

#include "BulletConversion.h"
#include "WheelRaycaster.h"

namespace physics {

namespace {

const btVector3 StrutDirectionCS(0.0f, 0.0f, -1.0f);
// With the coordinate system (right 0, up 2, forward 1) the axle must point
// along +x: Bullet derives the wheel's forward direction as up x axle, and
// (-1, 0, 0) would drive the car backwards and flip it when steering.
const btVector3 AxleCS(1.0f, 0.0f, 0.0f);

/// Closest swept hit that is neither the chassis nor one the motion leaves
/// or slides along: the box may already rest on the ground it moves over.
struct SweepCallback : public btCollisionWorld::ClosestConvexResultCallback {
    SweepCallback(const btVector3& from, const btVector3& to, const btCollisionObject* chassis)
        : ClosestConvexResultCallback(from, to), chassis(chassis), motion(to - from) {}

    bool needsCollision(btBroadphaseProxy* proxy) const override {
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        if (object == chassis || !object->hasContactResponse()) return false;
        return ClosestConvexResultCallback::needsCollision(proxy);
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override {
        btVector3 normal = normalInWorldSpace
                               ? result.m_hitNormalLocal
                               : result.m_hitCollisionObject->getWorldTransform().getBasis() * result.m_hitNormalLocal;
        if (normal.dot(motion) >= 0.0f) return 1.0f;
        return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
    }

    const btCollisionObject* chassis;
    btVector3 motion;
};

}  // namespace

DynamicObjectCar::DynamicObjectCar(btDiscreteDynamicsWorld& world, const CarTemplate& settingsIn,
                                   const float matrixGL[16])
    : settings(settingsIn), world(world), engine(settings.engine), gearbox(settings.gearbox) {
    const btVector3 halfExtents = ToBullet(settings.halfExtentsM);
    const btScalar drop = settings.centreOfMassDropM;
    const btScalar mass = settings.massKg;

    // The body's own frame sits at the centre of mass; the box is a child
    // raised above it, so the chassis frame is the body's frame moved up.
    boxShape = std::make_unique<btBoxShape>(halfExtents);
    btVector3 coreHalfExtents = halfExtents - btVector3(1.0f, 1.0f, 1.0f) * settings.ccdCoreMarginM;
    coreHalfExtents.setMax(btVector3(0.05f, 0.05f, 0.05f));
    coreShape = std::make_unique<btBoxShape>(coreHalfExtents);
    chassisShape = std::make_unique<btCompoundShape>();
    btTransform boxInBody = btTransform::getIdentity();
    boxInBody.setOrigin(btVector3(0.0f, 0.0f, drop));
    chassisShape->addChildShape(boxInBody, boxShape.get());

    // A solid box's inertia about its centre, moved down to the centre of
    // mass (the compound's own estimate would use its bounding box).
    const btVector3& h = halfExtents;
    btVector3 inertia(mass / 3.0f * (h.y() * h.y() + h.z() * h.z()) + mass * drop * drop,
                      mass / 3.0f * (h.x() * h.x() + h.z() * h.z()) + mass * drop * drop,
                      mass / 3.0f * (h.x() * h.x() + h.y() * h.y()));

    btTransform chassisFrame;
    RigidFrameFromGL(matrixGL, chassisFrame);
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, chassisShape.get(), inertia);
    info.m_startWorldTransform = chassisFrame * boxInBody.inverse();
    info.m_friction = 0.6f;
    info.m_restitution = 0.1f;
    body = std::make_unique<btRigidBody>(info);
    // A parked car must stay simulated: a sleeping chassis never wakes for
    // the vehicle's own forces.
    body->setActivationState(DISABLE_DEACTIVATION);
    world.addRigidBody(body.get());

    raycaster = std::make_unique<WheelRaycaster>(world, *body, settings.wheelRadiusM);
    btRaycastVehicle::btVehicleTuning tuning;
    vehicle = std::make_unique<btRaycastVehicle>(tuning, body.get(), raycaster.get());
    vehicle->setCoordinateSystem(0, 2, 1);
    for (const CarTemplate::Wheel& wheel : settings.wheels) {
        btVector3 strutTopInBody = ToBullet(wheel.upperPointCS) + btVector3(0.0f, 0.0f, drop);
        btWheelInfo& info = vehicle->addWheel(strutTopInBody, StrutDirectionCS, AxleCS, settings.suspensionRestLengthM,
                                              settings.wheelRadiusM, tuning, wheel.steered);
        // Bullet scales stiffness and damping by the chassis mass, not the
        // force limit, whose default (6000 N) is too low for this car.
        info.m_suspensionStiffness = settings.suspensionStiffness;
        info.m_wheelsDampingCompression = settings.suspensionCompressionDamping;
        info.m_wheelsDampingRelaxation = settings.suspensionReboundDamping;
        info.m_maxSuspensionForce = settings.maxSuspensionForceN;
        info.m_maxSuspensionTravelCm = settings.suspensionTravelM * 100.0f;
        info.m_frictionSlip = wheel.steered ? settings.frontGrip : settings.rearGrip;
        info.m_rollInfluence = settings.rollInfluence;
    }
    world.addAction(vehicle.get());
    vehicle->resetSuspension();

    float frontY = 0.0f, rearY = 0.0f;
    int fronts = 0, rears = 0;
    for (const CarTemplate::Wheel& wheel : settings.wheels) {
        (wheel.steered ? frontY : rearY) += wheel.upperPointCS.y;
        ++(wheel.steered ? fronts : rears);
    }
    if (fronts > 0 && rears > 0) wheelbaseM = std::fabs(frontY / fronts - rearY / rears);
}

DynamicObjectCar::~DynamicObjectCar() {
    world.removeAction(vehicle.get());
    world.removeRigidBody(body.get());
}

void DynamicObjectCar::SetControls(float steeringIn, float throttleIn, float brakeIn, bool heldIn) {
    // NaN fails every comparison, so it is caught before clamping.
    auto clean = [](float v, float low) { return std::isfinite(v) ? std::clamp(v, low, 1.0f) : 0.0f; };
    steering = clean(steeringIn, -1.0f);
    throttle = clean(throttleIn, 0.0f);
    brake = clean(brakeIn, 0.0f);
    held = heldIn;
}

int DynamicObjectCar::CountWheelsOnGround() const {
    int count = 0;
    for (int i = 0; i < vehicle->getNumWheels(); ++i)
        if (vehicle->getWheelInfo(i).m_raycastInfo.m_isInContact) ++count;
    return count;
}

void DynamicObjectCar::PreSubstep(float dtS) {
    const btVector3 forward = body->getWorldTransform().getBasis().getColumn(1);
    const btScalar forwardSpeed = body->getLinearVelocity().dot(forward);
    const int wheelsOnGround = CountWheelsOnGround();

    float drivenSpeed = 0.0f;
    int drivenCount = 0;
    for (int i = 0; i < WheelCount; ++i) {
        if (!settings.wheels[i].driven) continue;
        drivenSpeed += wheelAngularSpeedRadS[i];
        ++drivenCount;
    }
    if (drivenCount > 0) drivenSpeed /= static_cast<float>(drivenCount);

    gearbox.Update(dtS, forwardSpeed, drivenSpeed, throttle, brake, held);
    const int gear = gearbox.GetCurrentGear();
    // In reverse the pedals swap roles: the brake drives, the throttle stops.
    float drivePedal = gear < 0 ? brake : throttle;
    const float stopPedal = gear < 0 ? throttle : brake;
    // A Bullet wheel with engine force ignores its brake; braking wins here.
    if (stopPedal > 0.0f || held) drivePedal = 0.0f;
    if (gear < 0) drivePedal *= std::clamp((settings.maxReverseSpeedMs + forwardSpeed) / 2.0f, 0.0f, 1.0f);

    const bool engaged = gear != 0 && !gearbox.IsShifting();
    engine.Update(dtS, drivePedal, gearbox.GetDrivelineRpm(gear, drivenSpeed), engaged);

    // Steering lock for a given cornering demand: tan(angle) = a L / v^2.
    const float speed = std::fabs(forwardSpeed);
    const float lock =
        speed > 0.1f ? std::min(settings.maxSteeringAngleRad,
                                std::atan(settings.fullLockLateralAccelerationMs2 * wheelbaseM / (speed * speed)))
                     : settings.maxSteeringAngleRad;
    for (int i = 0; i < WheelCount; ++i)
        vehicle->setSteeringValue(settings.wheels[i].steered ? steering * lock : 0.0f, i);

    UpdateHold(dtS, held || stopPedal > 0.0f, wheelsOnGround);
    if (holding) {
        for (int i = 0; i < WheelCount; ++i) vehicle->applyEngineForce(0.0f, i);
    } else {
        ApplyWheelForces(dtS, stopPedal, engaged, wheelsOnGround);
    }
    ApplyResistance(dtS, wheelsOnGround);
    ClampSweptMotion(dtS);
    substepStart = FromBullet(body->getCenterOfMassPosition());
}

void DynamicObjectCar::ApplyWheelForces(float dtS, float stopPedal, bool engaged, int wheelsOnGround) {
    const btMatrix3x3& basis = body->getWorldTransform().getBasis();
    const btVector3 right = basis.getColumn(0);
    const btVector3 forward = basis.getColumn(1);
    int drivenCount = 0, brakedCount = 0;
    for (const CarTemplate::Wheel& wheel : settings.wheels) {
        if (wheel.driven) ++drivenCount;
        if (wheel.braked) ++brakedCount;
    }
    const float ratio = gearbox.GetTotalRatio();
    const float radius = settings.wheelRadiusM;
    const float driveForce = engaged ? engine.GetDriveTorqueNm() * ratio * settings.gearbox.efficiency / radius : 0.0f;
    const float engineBrakeForce = engaged ? engine.GetBrakingTorqueNm() * std::fabs(ratio) / radius : 0.0f;
    const btVector3 centreOfMass = body->getCenterOfMassPosition();
    for (int i = 0; i < WheelCount; ++i) {
        const CarTemplate::Wheel& wheel = settings.wheels[i];
        const btWheelInfo& info = vehicle->getWheelInfo(i);
        float force = 0.0f;
        float resisting = 0.0f;
        if (wheel.driven) {
            force += driveForce / static_cast<float>(drivenCount);
            resisting += engineBrakeForce / static_cast<float>(drivenCount);
        }
        if (wheel.braked) {
            float axleShare = wheel.steered ? settings.frontBrakeShare : 1.0f - settings.frontBrakeShare;
            resisting += stopPedal * settings.maxBrakeForceN * axleShare * 2.0f / static_cast<float>(brakedCount);
        }
        // Bullet's own brake is an impulse per substep that each wheel spends
        // on stopping the whole car, which rocks a car at rest; brakes here
        // are forces, capped so that the wheels together never more than
        // stop the car within the substep.
        if (resisting > 0.0f && info.m_raycastInfo.m_isInContact) {
            float steer = info.m_steering;
            btVector3 wheelForward = forward * std::cos(steer) - right * std::sin(steer);
            btVector3 contact = info.m_raycastInfo.m_contactPointWS - centreOfMass;
            float groundSpeed = body->getVelocityInLocalPoint(contact).dot(wheelForward);
            float stopping = settings.massKg * std::fabs(groundSpeed) / (dtS * static_cast<float>(std::max(1, wheelsOnGround)));
            force -= std::copysign(std::min(resisting, stopping), groundSpeed);
        }
        vehicle->applyEngineForce(force, i);
    }
}

void DynamicObjectCar::UpdateHold(float dtS, bool wantHold, int wheelsOnGround) {
    btVector3 normal(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < vehicle->getNumWheels(); ++i) {
        const btWheelInfo& info = vehicle->getWheelInfo(i);
        if (info.m_raycastInfo.m_isInContact) normal += info.m_raycastInfo.m_contactNormalWS;
    }
    if (wheelsOnGround < 3 || normal.length2() < 1.0e-6f) {
        holding = false;
        return;
    }
    normal.normalize();
    const btVector3 velocity = body->getLinearVelocity();
    const btVector3 planeVelocity = velocity - normal * velocity.dot(normal);
    const float planeSpeed = planeVelocity.length();
    if (!wantHold || planeSpeed > 2.0f * settings.holdSpeedMs) {
        holding = false;
        return;
    }
    const btVector3 position = body->getCenterOfMassPosition();
    if (!holding) {
        if (planeSpeed >= settings.holdSpeedMs) return;
        holding = true;
        holdAnchor = FromBullet(position);
    }

    // Velocity that leads back to the anchor, with this substep's gravity
    // along the ground already cancelled: otherwise the car would slip by
    // g dt^2 every substep.
    const btVector3 gravity = world.getGravity();
    const btVector3 planeGravity = gravity - normal * gravity.dot(normal);
    btVector3 offset = position - ToBullet(holdAnchor);
    offset -= normal * offset.dot(normal);
    const float returnTimeS = 0.25f;
    btVector3 target = -offset / returnTimeS;
    btVector3 impulse = (target - planeVelocity - planeGravity * dtS) * settings.massKg;
    // The brakes' grip is the limit: too steep a slope and the car slides.
    const float maxImpulse = settings.maxBrakeForceN * dtS;
    if (impulse.length() > maxImpulse) impulse *= maxImpulse / impulse.length();
    body->applyCentralImpulse(impulse);
    // No yaw either: the car stands, it does not pivot on its brakes.
    btVector3 spin = body->getAngularVelocity();
    body->setAngularVelocity(spin - normal * spin.dot(normal));
}

void DynamicObjectCar::ApplyResistance(float dtS, int wheelsOnGround) {
    // Forces applied here would pile up over the substeps of one
    // stepSimulation call (Bullet clears them per call), so these are impulses.
    const btVector3 velocity = body->getLinearVelocity();
    // Rolling resistance acts along the ground only: Bullet's velocity after
    // a step holds the suspension's upward push, which it must not damp.
    const btVector3 up = body->getWorldTransform().getBasis().getColumn(2);
    const btVector3 rolling = velocity - up * velocity.dot(up);
    const float speed = velocity.length();
    const float rollingSpeed = rolling.length();
    const float gravity = world.getGravity().length();
    const float rollingForce = settings.rollingResistance * settings.massKg * gravity *
                               static_cast<float>(wheelsOnGround) / static_cast<float>(WheelCount);
    btVector3 impulse(0.0f, 0.0f, 0.0f);
    // Neither slows the car by more than it moves: resistance never turns it round.
    if (speed > 1.0e-4f)
        impulse -= velocity / speed * std::min(settings.dragCoefficient * speed * speed * dtS, settings.massKg * speed);
    if (rollingSpeed > 1.0e-4f)
        impulse -= rolling / rollingSpeed * std::min(rollingForce * dtS, settings.massKg * rollingSpeed);
    body->applyCentralImpulse(impulse);
}

void DynamicObjectCar::ClampSweptMotion(float dtS) {
    // Bullet's own continuous collision skips compound shapes and sweeps a
    // sphere about the centre of mass, which sits at road level here; so the
    // chassis box's core is swept instead, from the box centre.
    const btTransform boxFrame = body->getWorldTransform() *
                                 btTransform(btMatrix3x3::getIdentity(), btVector3(0.0f, 0.0f, settings.centreOfMassDropM));
    const btVector3 boxVelocity = body->getVelocityInLocalPoint(boxFrame.getOrigin() - body->getCenterOfMassPosition());
    const btVector3 motion = (boxVelocity + world.getGravity() * dtS) * dtS;
    if (motion.length() <= settings.ccdMotionThresholdM) return;

    btTransform to = boxFrame;
    to.setOrigin(boxFrame.getOrigin() + motion);
    SweepCallback callback(boxFrame.getOrigin(), to.getOrigin(), body.get());
    world.convexSweepTest(coreShape.get(), boxFrame, to, callback);
    if (!callback.hasHit()) return;
    // Keep only the part of the approach that reaches the surface this
    // substep; the contact solver takes it from there.
    const btVector3 normal = callback.m_hitNormalWorld.normalized();
    const float approach = boxVelocity.dot(normal);
    if (approach >= 0.0f) return;
    const float blocked = 1.0f - callback.m_closestHitFraction;
    body->setLinearVelocity(body->getLinearVelocity() - normal * (approach * blocked));
}

void DynamicObjectCar::PostSubstep(float dtS) {
    motionVelocity = (FromBullet(body->getCenterOfMassPosition()) - substepStart) * (1.0f / dtS);
    for (int i = 0; i < WheelCount; ++i)
        wheelAngularSpeedRadS[i] = vehicle->getWheelInfo(i).m_deltaRotation / dtS;
}

bool DynamicObjectCar::PlaceAt(const vmath::vec3<float>& groundPoint, const vmath::vec3<float>& groundNormal,
                               const vmath::vec3<float>& forward) {
    auto finite = [](const vmath::vec3<float>& v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    };
    if (!finite(groundPoint) || !finite(groundNormal) || !finite(forward)) return false;
    const btVector3 ground = ToBullet(groundPoint), normal = ToBullet(groundNormal), ahead = ToBullet(forward);
    if (normal.length2() < 1.0e-12f) return false;
    const btVector3 up = normal.normalized();
    btVector3 y = ahead - up * ahead.dot(up);
    // Forward (nearly) along the normal leaves no heading on the ground.
    if (y.length2() < 1.0e-6f * ahead.length2() || y.length2() < 1.0e-12f) return false;
    y.normalize();
    const btVector3 x = y.cross(up);
    const btMatrix3x3 basis(x.x(), y.x(), up.x(), x.y(), y.y(), up.y(), x.z(), y.z(), up.z());

    // The box centre at the height the car rests at on its springs (the
    // longest strut's reach less the static sag), and a little higher: it
    // settles without a drop that would bounce it.
    float reach = 0.0f;
    for (const CarTemplate::Wheel& wheel : settings.wheels)
        reach = std::max(reach, settings.suspensionRestLengthM + settings.wheelRadiusM - wheel.upperPointCS.z);
    const float sagM = world.getGravity().length() / (static_cast<float>(WheelCount) * settings.suspensionStiffness);
    const float clearanceM = 0.02f;
    const btTransform boxFrame(basis, ground + up * (reach - sagM + clearanceM));
    const btTransform bodyFrame =
        boxFrame * btTransform(btMatrix3x3::getIdentity(), btVector3(0.0f, 0.0f, settings.centreOfMassDropM)).inverse();

    body->setWorldTransform(bodyFrame);
    body->setInterpolationWorldTransform(bodyFrame);
    body->setLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setInterpolationLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setInterpolationAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->clearForces();
    // Contacts cached where the car was would push it on its first step here.
    world.getBroadphase()->getOverlappingPairCache()->cleanProxyFromPairs(body->getBroadphaseHandle(),
                                                                         world.getDispatcher());
    world.updateSingleAabb(body.get());
    vehicle->resetSuspension();
    for (int i = 0; i < vehicle->getNumWheels(); ++i) {
        btWheelInfo& info = vehicle->getWheelInfo(i);
        info.m_deltaRotation = 0.0f;
        vehicle->updateWheelTransform(i, false);
    }
    wheelAngularSpeedRadS = {};
    engine.Reset();
    gearbox.Reset();
    holding = false;
    substepStart = FromBullet(bodyFrame.getOrigin());
    motionVelocity = vmath::vec3<float>(0.0f, 0.0f, 0.0f);
    return true;
}

bool DynamicObjectCar::MoveTo(const float boxMatrixGL[16], const vmath::vec3<float>& velocityMs) {
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(boxMatrixGL[i])) return false;
    if (!std::isfinite(velocityMs.x) || !std::isfinite(velocityMs.y) || !std::isfinite(velocityMs.z)) return false;
    btTransform boxFrame;
    boxFrame.setFromOpenGLMatrix(boxMatrixGL);
    const btTransform bodyFrame =
        boxFrame * btTransform(btMatrix3x3::getIdentity(), btVector3(0.0f, 0.0f, settings.centreOfMassDropM)).inverse();
    body->setWorldTransform(bodyFrame);
    body->setInterpolationWorldTransform(bodyFrame);
    body->setLinearVelocity(ToBullet(velocityMs));
    body->setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setInterpolationLinearVelocity(ToBullet(velocityMs));
    body->setInterpolationAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->activate(true);
    world.updateSingleAabb(body.get());
    holding = false;
    substepStart = FromBullet(bodyFrame.getOrigin());
    motionVelocity = velocityMs;
    return true;
}

void DynamicObjectCar::GetMatrixGL(float matrixGL[16]) const {
    btTransform boxFrame = body->getWorldTransform() *
                           btTransform(btMatrix3x3::getIdentity(), btVector3(0.0f, 0.0f, settings.centreOfMassDropM));
    boxFrame.getOpenGLMatrix(matrixGL);
}

vmath::vec3<float> DynamicObjectCar::GetPosition() const {
    const btTransform& t = body->getWorldTransform();
    return FromBullet(t.getOrigin() + t.getBasis().getColumn(2) * settings.centreOfMassDropM);
}

vmath::vec3<float> DynamicObjectCar::GetAxis(int index) const {
    if (index < 0 || index > 2) return vmath::vec3<float>(0.0f, 0.0f, 0.0f);
    return FromBullet(body->getWorldTransform().getBasis().getColumn(index));
}

vmath::vec3<float> DynamicObjectCar::GetLinearVelocity() const { return motionVelocity; }

void DynamicObjectCar::SetLinearVelocity(const vmath::vec3<float>& velocityMs) {
    body->setLinearVelocity(ToBullet(velocityMs));
    motionVelocity = velocityMs;
    holding = false;
}

float DynamicObjectCar::GetSpeedMs() const { return vmath::length(motionVelocity); }

float DynamicObjectCar::GetForwardSpeedMs() const {
    return vmath::dot(motionVelocity, FromBullet(body->getWorldTransform().getBasis().getColumn(1)));
}

float DynamicObjectCar::GetWheelAngularSpeedRadS(int wheel) const {
    return wheel >= 0 && wheel < WheelCount ? wheelAngularSpeedRadS[wheel] : 0.0f;
}

float DynamicObjectCar::GetWheelSteeringAngleRad(int wheel) const {
    return wheel >= 0 && wheel < WheelCount ? vehicle->getWheelInfo(wheel).m_steering : 0.0f;
}

bool DynamicObjectCar::IsWheelInContact(int wheel) const {
    return wheel >= 0 && wheel < WheelCount && vehicle->getWheelInfo(wheel).m_raycastInfo.m_isInContact;
}

float DynamicObjectCar::GetWheelSkid(int wheel) const {
    if (!IsWheelInContact(wheel)) return 0.0f;
    // Bullet's friction solver scales a sliding wheel's impulse down by its
    // skid factor, 1 while the tyre grips.
    return std::clamp(1.0f - static_cast<float>(vehicle->getWheelInfo(wheel).m_skidInfo), 0.0f, 1.0f);
}

void DynamicObjectCar::GetWheelMatrixGL(int wheel, float matrixGL[16]) const {
    if (wheel < 0 || wheel >= WheelCount) {
        btTransform::getIdentity().getOpenGLMatrix(matrixGL);
        return;
    }
    const btWheelInfo& info = vehicle->getWheelInfo(wheel);
    // Bullet's own wheel transform is mirrored (its axle column is -x), so
    // the frame is built here: hub on the strut, steered about the chassis
    // up axis, then rolled about the axle (forward roll is negative about +x).
    btVector3 hubCS = ToBullet(settings.wheels[wheel].upperPointCS) +
                      StrutDirectionCS * info.m_raycastInfo.m_suspensionLength;
    btTransform boxFrame = body->getWorldTransform() *
                           btTransform(btMatrix3x3::getIdentity(), btVector3(0.0f, 0.0f, settings.centreOfMassDropM));
    btQuaternion steer(btVector3(0.0f, 0.0f, 1.0f), info.m_steering);
    btQuaternion roll(AxleCS, -info.m_rotation);
    btTransform wheelFrame = boxFrame * btTransform(steer * roll, hubCS);
    wheelFrame.getOpenGLMatrix(matrixGL);
}

}  // namespace physics
