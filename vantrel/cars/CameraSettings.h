#pragma once
// The race's view as the player sets it in settings.ini:
//   [camera]
//   chase_distance = 10
//   chase_height = 1.5
//   field_of_view = 60
struct Car;
class SettingsStore;

/// Where the chase camera hangs and how wide the race is seen.
struct CameraSettings {
    static const char* const Section;  ///< "camera"

    /// Distance the chase camera keeps from the car (m).
    float chaseDistanceM = 10.0f;
    /// Height of the first chase view's eye over its anchor (m); the other
    /// view (C) is raised or lowered by as much from its own.
    float chaseHeightM = 1.5f;
    /// Horizontal field of view of a 4:3 view (degrees); a wider window sees
    /// more to the sides at the same height, a narrower one less.
    float fieldOfViewDeg = 60.0f;

    /// What the options page may set.
    static constexpr float MinDistanceM = 5.0f, MaxDistanceM = 20.0f;
    static constexpr float MinHeightM = 0.5f, MaxHeightM = 5.0f;
    static constexpr float MinFieldOfViewDeg = 60.0f, MaxFieldOfViewDeg = 100.0f;

    /// The vertical field of view (degrees) the projection takes for
    /// `fieldOfViewDeg`, whatever the window's shape.
    double VerticalFieldOfViewDeg() const;
    /// Hangs `car`'s chase camera as set.
    void ApplyTo(Car& car) const;

    /// The values kept in `store` (null: the defaults); one out of range is
    /// clamped and one that is no number left at its default, each with one
    /// Warn line (SettingsStore::GetNumber).
    static CameraSettings Read(SettingsStore* store);
    /// Keeps every value in `store` (null: nothing).
    void Keep(SettingsStore* store) const;
};
