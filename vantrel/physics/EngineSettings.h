#pragma once
#include <vector>

namespace physics {

/// Tuning of a car's engine: its torque curve, idle and rev limit, and how
/// hard it brakes the car with the throttle closed.
struct EngineSettings {
    /// One point of the torque curve.
    struct CurvePoint {
        float rpm;       ///< engine speed (rpm)
        float fraction;  ///< torque there, as a fraction of maxTorqueNm
    };

    float idleRpm = 900.0f;         ///< engine speed with the throttle closed and the clutch open (rpm)
    float launchRpm = 3000.0f;      ///< speed the slipping clutch lets the engine reach while the car is slow (rpm)
    float revLimitRpm = 7500.0f;    ///< no torque at or above this (rpm)
    float limiterBandRpm = 250.0f;  ///< the torque fades out over this band below the limit (rpm)
    float maxTorqueNm = 450.0f;     ///< peak of the torque curve (N m)
    /// Torque curve, rising in rpm; between points the torque is interpolated
    /// linearly, outside them it keeps the end values.
    std::vector<CurvePoint> torqueCurve{{1000.0f, 0.6f}, {4500.0f, 1.0f}, {7500.0f, 0.8f}};
    float engineBrakingTorqueNm = 120.0f;  ///< drag torque at the rev limit with the throttle closed (N m)
    float rpmResponseS = 0.08f;     ///< time constant of the engine speed following its target (s)
};

}  // namespace physics
