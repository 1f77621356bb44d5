#include "CameraSettings.h"

#include <cmath>

#include "Car.h"
#include "storage/SettingsStore.h"

const char* const CameraSettings::Section = "camera";

namespace {

const char* const DistanceKey = "chase_distance";
const char* const HeightKey = "chase_height";
const char* const FieldOfViewKey = "field_of_view";

const double DegToRad = 3.14159265358979323846 / 180.0;

}  // namespace

double CameraSettings::VerticalFieldOfViewDeg() const {
    // Measured across a 4:3 view, so the height seen stays as the player set it
    // in any window, and a wide one gains at the sides.
    return 2.0 * std::atan(std::tan(fieldOfViewDeg * DegToRad / 2.0) * 3.0 / 4.0) / DegToRad;
}

void CameraSettings::ApplyTo(Car& car) const {
    car.chaseDistanceM = chaseDistanceM;
    // Both views move by as much: the second keeps its height over the first.
    car.chaseRaiseM = chaseHeightM - Car::Views[0].eye[1];
}

CameraSettings CameraSettings::Read(SettingsStore* store) {
    CameraSettings settings;
    if (!store) return settings;
    const auto read = [store](const char* key, float min, float max, float fallback) {
        return static_cast<float>(store->GetNumber(Section, key, min, max, fallback));
    };
    settings.chaseDistanceM = read(DistanceKey, MinDistanceM, MaxDistanceM, settings.chaseDistanceM);
    settings.chaseHeightM = read(HeightKey, MinHeightM, MaxHeightM, settings.chaseHeightM);
    settings.fieldOfViewDeg = read(FieldOfViewKey, MinFieldOfViewDeg, MaxFieldOfViewDeg, settings.fieldOfViewDeg);
    return settings;
}

void CameraSettings::Keep(SettingsStore* store) const {
    if (!store) return;
    store->SetNumber(Section, DistanceKey, chaseDistanceM, 1);
    store->SetNumber(Section, HeightKey, chaseHeightM, 2);
    store->SetNumber(Section, FieldOfViewKey, fieldOfViewDeg, 0);
}
