#pragma once
// How the keys and the pads steer, as the player tunes them in settings.ini:
//   [controls]
//   steering_speed = 0.8
//   return_speed = 0.8
//   pad_dead_zone = 15
//   pad_curve = 1.8
#include "Gamepad.h"

class SettingsStore;

/// The steering's feel. The keys ramp the steering while held and back to
/// the centre once let go; the pad's stick steers through a dead zone and a
/// power curve (Gamepad::SteeringFromStick).
struct ControlSettings {
    static const char* const Section;  ///< "controls"

    /// Share of full lock a second of a steering key held adds (1/s).
    float steeringSpeed = 0.8f;
    /// Share of full lock a second the steering goes back to the centre by
    /// once no steering key is held (1/s).
    float returnSpeed = 0.8f;
    /// Radial dead zone of the left stick, a fraction of full deflection.
    float padDeadZone = Gamepad::StickDeadZone;
    /// Exponent of the stick's power curve: 1 is linear, more is gentler round the centre.
    float padCurve = Gamepad::SteeringExponent;

    /// What the options page may set.
    static constexpr float MinSpeed = 0.2f, MaxSpeed = 3.0f;
    static constexpr float MinDeadZone = 0.0f, MaxDeadZone = 0.5f;
    static constexpr float MinCurve = 1.0f, MaxCurve = 3.0f;

    /// The values kept in `store` (null: the defaults); one out of range is
    /// clamped and one that is no number left at its default, each with one
    /// Warn line (SettingsStore::GetNumber). The dead zone is kept in percent.
    static ControlSettings Read(SettingsStore* store);
    /// Keeps every value in `store` (null: nothing).
    void Keep(SettingsStore* store) const;
};
