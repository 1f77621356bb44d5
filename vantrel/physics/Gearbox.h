#pragma once
#include "GearboxSettings.h"

namespace physics {

/// The automatic gearbox of one car. Gears are numbered as the driver sees
/// them: 1 ... N forward, 0 neutral, -1 reverse.
///
/// Standing with no pedal, or held by the race, it rests in neutral; the
/// throttle engages first gear. Holding the brake at a standstill for
/// GearboxSettings::reverseDelayS engages reverse, where the brake pedal
/// drives backwards and the throttle brakes; the throttle at a standstill
/// returns to first gear.
class Gearbox {
public:
    /// @param settings kept by reference; must outlive the gearbox
    explicit Gearbox(const GearboxSettings& settings);

    /// Chooses the gear for one step.
    /// @param dtS step length (s)
    /// @param forwardSpeedMs car speed along its forward axis (m/s, negative backwards)
    /// @param wheelAngularSpeedRadS driven wheels' speed (rad/s, positive rolling forward)
    /// @param throttle, brake the pedals, 0 ... 1
    /// @param held true while the race holds the car: neutral, never reverse
    void Update(float dtS, float forwardSpeedMs, float wheelAngularSpeedRadS, float throttle, float brake,
                bool held);
    /// Back to a new gearbox's state: neutral, no change under way.
    void Reset();

    /// -1, 0 or 1 ... N.
    int GetCurrentGear() const { return gear; }
    int GetForwardGearCount() const { return static_cast<int>(settings.forwardRatios.size()); }
    /// Engine turns per wheel turn in `gearNumber`, final drive included;
    /// negative in reverse, 0 in neutral or for a gear that does not exist.
    float GetTotalRatio(int gearNumber) const;
    float GetTotalRatio() const { return GetTotalRatio(gear); }
    /// Engine speed the wheels impose in `gearNumber` (rpm, >= 0).
    float GetDrivelineRpm(int gearNumber, float wheelAngularSpeedRadS) const;
    /// True while the clutch is open for a gear change.
    bool IsShifting() const { return shiftRemainingS > 0.0f; }

private:
    void Select(int newGear);
    /// The lowest forward gear that does not over-rev at this wheel speed.
    int GearForSpeed(float wheelAngularSpeedRadS) const;
    void ShiftForward(float wheelAngularSpeedRadS, float throttle);

    const GearboxSettings& settings;
    int gear = 0;
    float shiftRemainingS = 0.0f;   ///< clutch open for this much longer (s)
    float sinceShiftS = 1.0e6f;     ///< time since the last change (s)
    float brakeAtRestS = 0.0f;      ///< how long the brake has been held at a standstill (s)
};

}  // namespace physics
