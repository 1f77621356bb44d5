#pragma once
#include "EngineSettings.h"

namespace physics {

/// The running engine of one car: its speed follows the driveline (or the
/// slipping clutch while the car is slow) and it delivers the torque curve's
/// torque times the throttle, nothing above the rev limit, and a drag torque
/// with the throttle closed.
class Engine {
public:
    /// @param settings kept by reference; must outlive the engine
    explicit Engine(const EngineSettings& settings);

    /// Advances the engine by one step.
    /// @param dtS step length (s)
    /// @param throttle 0 ... 1
    /// @param drivelineRpm engine speed the wheels impose through the engaged gear (rpm, >= 0)
    /// @param engaged false in neutral and while a gear changes: the engine revs freely
    void Update(float dtS, float throttle, float drivelineRpm, bool engaged);
    /// Back to a started engine's state: idling, no torque.
    void Reset();

    /// Driving torque at the crankshaft after the last update (N m, >= 0).
    float GetDriveTorqueNm() const { return driveTorqueNm; }
    /// Drag torque with the throttle closed after the last update (N m, >= 0);
    /// it opposes the driveline's rotation.
    float GetBrakingTorqueNm() const { return brakingTorqueNm; }
    float GetRpm() const { return rpm; }
    float GetAngularSpeedRadS() const;
    /// True while the rev limiter takes torque away.
    bool IsLimiting() const { return limiting; }
    /// The torque curve at `rpmValue` as a fraction of the peak torque.
    float GetTorqueFraction(float rpmValue) const;

private:
    const EngineSettings& settings;
    float rpm;
    float driveTorqueNm = 0.0f;
    float brakingTorqueNm = 0.0f;
    bool limiting = false;
};

}  // namespace physics
