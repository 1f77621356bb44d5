#pragma once
#include <array>
#include <memory>

#include <vmath/vec3.h>

#include "CarTemplate.h"
#include "Engine.h"
#include "Gearbox.h"

class btBoxShape;
class btCompoundShape;
class btDiscreteDynamicsWorld;
class btRaycastVehicle;
class btRigidBody;

namespace physics {

class WheelRaycaster;

/// A car on the terrain: a box chassis on four raycast wheels, driven by
/// its own engine through an automatic gearbox. Made by World::CreateCar
/// from a CarTemplate, which it keeps a copy of.
///
/// Controls are set once per frame and hold for every substep until the
/// next call. All read-back values come from the last substep and agree with
/// one another: the engine speed is the driven wheels' speed through the
/// current gear, and the wheels turn with the ground under them.
///
/// The chassis frame (CS) is the box centre's: y forward, z up, wheel 0 at
/// +x. Positive steering turns the car towards -x, counter-clockwise seen
/// from above.
class DynamicObjectCar {
public:
    static constexpr int WheelCount = 4;

    /// Adds the car to `world`; the matrix must be usable (World::CreateCar checks).
    DynamicObjectCar(btDiscreteDynamicsWorld& world, const CarTemplate& settings, const float matrixGL[16]);
    /// Removes the car from its world.
    ~DynamicObjectCar();
    DynamicObjectCar(const DynamicObjectCar&) = delete;
    DynamicObjectCar& operator=(const DynamicObjectCar&) = delete;

    /// The driver's input for the coming steps; values are clamped.
    /// @param steering -1 ... 1, positive to the left
    /// @param throttle 0 ... 1
    /// @param brake 0 ... 1; held at a standstill it engages reverse, where
    ///        it drives backwards and the throttle brakes
    /// @param held true while the race holds the car on the spot: the brake
    ///        never engages reverse and the gearbox rests in neutral
    void SetControls(float steering, float throttle, float brake, bool held);

    /// Puts the car down at rest: upright on ground through `groundPoint`
    /// with `groundNormal`, facing `forward` as far as the ground's slope
    /// lets it, a couple of centimetres above the height it rests at on its
    /// springs. It then neither moves nor spins, its engine idles and its
    /// gearbox is in neutral; the controls are left as they are.
    /// @return false, leaving the car alone, when the vectors are not
    ///         finite, the normal has no length or `forward` lies along it
    bool PlaceAt(const vmath::vec3<float>& groundPoint, const vmath::vec3<float>& groundNormal,
                 const vmath::vec3<float>& forward);

    /// Moves the car to the chassis box frame `boxMatrixGL` (as GetMatrixGL
    /// gives it) going at `velocityMs`, not spinning: a car driven elsewhere
    /// (another player's, over the network) follows its states so, and
    /// still collides, pushes and is pushed until the next move. Its
    /// contacts stay: it touched what it touches.
    /// @return false, leaving the car alone, when a value is not finite
    bool MoveTo(const float boxMatrixGL[16], const vmath::vec3<float>& velocityMs);

    /// Chassis box frame in OpenGL's order: the three axes as rows 0 to 2,
    /// the box centre in row 3.
    void GetMatrixGL(float matrixGL[16]) const;
    /// Box centre in the world (m).
    vmath::vec3<float> GetPosition() const;
    /// Chassis axis in the world: 0 towards wheel 0's side, 1 forward, 2 up.
    vmath::vec3<float> GetAxis(int index) const;
    /// Velocity of the centre of mass over the last substep (m/s). This is
    /// how the car moved, not Bullet's body velocity after the step, which
    /// already holds the suspension's push against the next substep's
    /// gravity (about 0.08 m/s upwards at rest).
    vmath::vec3<float> GetLinearVelocity() const;
    /// Replaces the velocity of the centre of mass (m/s) for the coming steps.
    void SetLinearVelocity(const vmath::vec3<float>& velocityMs);
    /// Speed over the ground, whatever the direction (m/s, >= 0).
    float GetSpeedMs() const;
    float GetSpeedKmh() const { return GetSpeedMs() * 3.6f; }
    /// Speed along the forward axis (m/s, negative backwards).
    float GetForwardSpeedMs() const;

    float GetEngineAngularSpeedRadS() const { return engine.GetAngularSpeedRadS(); }
    float GetEngineRpm() const { return engine.GetRpm(); }
    /// -1 reverse, 0 neutral, 1 ... N forward.
    int GetCurrentGear() const { return gearbox.GetCurrentGear(); }

    /// Spin of a wheel about its axle (rad/s), positive rolling forward;
    /// 0 for an index out of range.
    float GetWheelAngularSpeedRadS(int wheel) const;
    /// Wheel frame in OpenGL's order: steered and spun, centred on its hub;
    /// identity for an index out of range.
    void GetWheelMatrixGL(int wheel, float matrixGL[16]) const;
    /// Steering angle of a wheel (rad, positive to the left).
    float GetWheelSteeringAngleRad(int wheel) const;
    bool IsWheelInContact(int wheel) const;
    /// How far a wheel's grip is exceeded in the last substep: 0 while it
    /// holds the road, towards 1 the harder it slides; 0 for an index out
    /// of range or a wheel off the ground.
    float GetWheelSkid(int wheel) const;
    /// True while the car is held on the spot (brake at a standstill, or held by the race).
    bool IsHolding() const { return holding; }

    const CarTemplate& GetSettings() const { return settings; }

private:
    friend class World;
    /// Sets steering, wheel forces and resistances before a substep.
    void PreSubstep(float dtS);
    /// Reads the wheels' spin after a substep.
    void PostSubstep(float dtS);

    /// Pins a car that stands with the brake on where it stopped.
    void UpdateHold(float dtS, bool wantHold, int wheelsOnGround);
    /// Drive, brakes and engine braking, through each wheel's engine force.
    void ApplyWheelForces(float dtS, float stopPedal, bool engaged, int wheelsOnGround);
    void ApplyResistance(float dtS, int wheelsOnGround);
    void ClampSweptMotion(float dtS);
    int CountWheelsOnGround() const;

    const CarTemplate settings;
    btDiscreteDynamicsWorld& world;
    std::unique_ptr<btBoxShape> boxShape;
    std::unique_ptr<btBoxShape> coreShape;  ///< the box shrunk by the swept-test margin
    std::unique_ptr<btCompoundShape> chassisShape;
    std::unique_ptr<btRigidBody> body;
    std::unique_ptr<WheelRaycaster> raycaster;
    std::unique_ptr<btRaycastVehicle> vehicle;
    Engine engine;
    Gearbox gearbox;

    float wheelbaseM = 2.2f;  ///< steered to unsteered axle (m)

    float steering = 0.0f;
    float throttle = 0.0f;
    float brake = 0.0f;
    bool held = false;

    bool holding = false;
    vmath::vec3<float> holdAnchor{0.0f, 0.0f, 0.0f};  ///< centre of mass where the hold began
    std::array<float, WheelCount> wheelAngularSpeedRadS{};
    vmath::vec3<float> substepStart{0.0f, 0.0f, 0.0f};     ///< centre of mass before the substep
    vmath::vec3<float> motionVelocity{0.0f, 0.0f, 0.0f};  ///< its motion over the last substep (m/s)
};

}  // namespace physics
