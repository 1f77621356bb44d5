#pragma once
#include <array>

#include <vmath/vec3.h>

#include "EngineSettings.h"
#include "GearboxSettings.h"

namespace physics {

/// Settings of one car, apart from its running state (DynamicObjectCar):
/// chassis, wheels, suspension, tyres, steering, brakes, drivetrain and
/// resistances. Units: metres, kilograms, seconds, newtons, radians. The
/// game's cars fill it from their descriptions (CarDescription); what they
/// leave is the same for every car.
///
/// Chassis space (CS) is the frame of the chassis box: origin at the box
/// centre, y forward, z up; wheel 0 sits at +x.
struct CarTemplate {
    /// One wheel and its suspension strut.
    struct Wheel {
        vmath::vec3<float> upperPointCS{0.0f, 0.0f, 0.0f};  ///< strut top: the suspension ray starts here (m)
        bool steered = false;  ///< turns with the steering
        bool driven = false;   ///< receives engine torque
        bool braked = true;    ///< has a brake
    };

    vmath::vec3<float> halfExtentsM{1.0f, 2.35f, 0.55f};  ///< chassis box (m)
    float massKg = 1500.0f;
    float centreOfMassDropM = 0.7f;  ///< centre of mass below the box centre (m)

    /// Front left, front right, rear left, rear right: the order of the
    /// car model's wheel nodes.
    std::array<Wheel, 4> wheels;
    float wheelRadiusM = 0.30f;

    /// Strut length from the upper point to the wheel centre with no load (m);
    /// the wheel hangs there in the air.
    float suspensionRestLengthM = 0.53f;
    float suspensionTravelM = 0.33f;         ///< how far the strut can shorten from its rest length (m)
    /// Spring rate per wheel for each kilogram of car (N/m/kg); the static
    /// sag is gravity / (4 x stiffness).
    float suspensionStiffness = 22.0f;
    float suspensionCompressionDamping = 1.6f;  ///< per wheel and kilogram, compressing (N s/m/kg)
    float suspensionReboundDamping = 2.6f;      ///< per wheel and kilogram, extending (N s/m/kg)
    float maxSuspensionForceN = 24000.0f;        ///< per wheel (N)

    float frontGrip = 1.25f;   ///< tyre friction coefficient, front axle
    float rearGrip = 1.35f;    ///< rear axle; above the front's so the car understeers at speed
    float rollInfluence = 1.0f;  ///< share of the cornering force's roll moment passed to the chassis

    float maxSteeringAngleRad = 0.55f;  ///< front wheel angle at full lock when slow
    /// Above walking pace the lock shrinks so that full lock asks for this
    /// much cornering (m/s^2), a little more than the tyres give: the
    /// steering input then maps onto cornering force at any speed, and a
    /// touch of it at 250 km/h does not throw the car sideways.
    float fullLockLateralAccelerationMs2 = 16.0f;

    float maxBrakeForceN = 16500.0f;  ///< all four brakes together at pedal 1 (N)
    float frontBrakeShare = 0.6f;     ///< share of the brake force on the front axle

    float dragCoefficient = 0.44f;      ///< air drag per squared speed (N s^2/m^2)
    float rollingResistance = 0.015f;   ///< rolling resistance per newton of weight

    /// Reverse gear gives no more drive at this speed backwards; the drive
    /// fades out over the last 2 m/s below it (m/s).
    float maxReverseSpeedMs = 12.0f;

    /// Below this speed, with the brake pressed and no throttle (or while the
    /// race holds the car), the car is held on the spot (m/s).
    float holdSpeedMs = 0.35f;

    /// Swept collision test once the box centre moves this far in a step (m).
    float ccdMotionThresholdM = 0.15f;
    /// The swept core is the box shrunk by this on every side: the real box
    /// may touch the ground, the core must not (m).
    float ccdCoreMarginM = 0.3f;

    EngineSettings engine;
    GearboxSettings gearbox;
};

}  // namespace physics
