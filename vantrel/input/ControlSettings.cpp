#include "ControlSettings.h"

#include <cmath>

#include "storage/SettingsStore.h"

const char* const ControlSettings::Section = "controls";

namespace {

const char* const SteeringSpeedKey = "steering_speed";
const char* const ReturnSpeedKey = "return_speed";
const char* const DeadZoneKey = "pad_dead_zone";
const char* const CurveKey = "pad_curve";

}  // namespace

ControlSettings ControlSettings::Read(SettingsStore* store) {
    ControlSettings settings;
    if (!store) return settings;
    const auto read = [store](const char* key, float min, float max, float fallback) {
        return static_cast<float>(store->GetNumber(Section, key, min, max, fallback));
    };
    settings.steeringSpeed = read(SteeringSpeedKey, MinSpeed, MaxSpeed, settings.steeringSpeed);
    settings.returnSpeed = read(ReturnSpeedKey, MinSpeed, MaxSpeed, settings.returnSpeed);
    settings.padDeadZone =
        read(DeadZoneKey, MinDeadZone * 100.0f, MaxDeadZone * 100.0f, settings.padDeadZone * 100.0f) / 100.0f;
    settings.padCurve = read(CurveKey, MinCurve, MaxCurve, settings.padCurve);
    return settings;
}

void ControlSettings::Keep(SettingsStore* store) const {
    if (!store) return;
    store->SetNumber(Section, SteeringSpeedKey, steeringSpeed, 2);
    store->SetNumber(Section, ReturnSpeedKey, returnSpeed, 2);
    store->SetNumber(Section, DeadZoneKey, std::round(padDeadZone * 100.0f), 0);
    store->SetNumber(Section, CurveKey, padCurve, 2);
}
