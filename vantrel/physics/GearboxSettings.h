#pragma once
#include <vector>

namespace physics {

/// Tuning of the automatic gearbox: ratios, shift points and the rules that
/// put it into neutral and reverse.
struct GearboxSettings {
    std::vector<float> forwardRatios{3.0f, 2.0f, 1.5f, 1.2f, 1.0f, 0.85f};  ///< gears 1 ... N
    float reverseRatio = 3.2f;        ///< gear -1, given as a positive number
    float finalDriveRatio = 3.4f;     ///< differential, applied to every gear
    float efficiency = 0.85f;         ///< share of the engine torque that reaches the wheels
    float shiftUpRpm = 7100.0f;       ///< shifts up at this engine speed (rpm)
    float shiftDownRpm = 4200.0f;     ///< shifts down below this at full throttle (rpm)
    float coastDownRpm = 2200.0f;     ///< shifts down below this with the throttle closed (rpm)
    float shiftTimeS = 0.15f;         ///< the clutch is open this long while a gear changes (s)
    float minShiftIntervalS = 0.5f;   ///< no further shift this soon after one (s)
    float standstillSpeedMs = 0.5f;   ///< slower than this the car counts as standing (m/s)
    float reverseDelayS = 0.4f;       ///< brake held at a standstill this long engages reverse (s)
};

}  // namespace physics
