#include "Gearbox.h"

#include <cmath>

namespace physics {

namespace {
constexpr float RadSToRpm = 60.0f / (2.0f * 3.14159265f);
}

Gearbox::Gearbox(const GearboxSettings& settings) : settings(settings) {}

void Gearbox::Reset() {
    gear = 0;
    shiftRemainingS = 0.0f;
    sinceShiftS = 1.0e6f;
    brakeAtRestS = 0.0f;
}

float Gearbox::GetTotalRatio(int gearNumber) const {
    if (gearNumber == -1) return -settings.reverseRatio * settings.finalDriveRatio;
    if (gearNumber < 1 || gearNumber > GetForwardGearCount()) return 0.0f;
    return settings.forwardRatios[gearNumber - 1] * settings.finalDriveRatio;
}

float Gearbox::GetDrivelineRpm(int gearNumber, float wheelAngularSpeedRadS) const {
    return std::fabs(wheelAngularSpeedRadS * GetTotalRatio(gearNumber)) * RadSToRpm;
}

void Gearbox::Select(int newGear) {
    if (newGear == gear) return;
    // Only a change between forward gears opens the clutch for a while;
    // leaving or entering neutral and reverse happens at a standstill.
    if (gear > 0 && newGear > 0) shiftRemainingS = settings.shiftTimeS;
    gear = newGear;
    sinceShiftS = 0.0f;
}

void Gearbox::Update(float dtS, float forwardSpeedMs, float wheelAngularSpeedRadS, float throttle, float brake,
                     bool held) {
    shiftRemainingS = std::fmax(0.0f, shiftRemainingS - dtS);
    sinceShiftS += dtS;
    bool standing = std::fabs(forwardSpeedMs) < settings.standstillSpeedMs;

    if (held) {
        brakeAtRestS = 0.0f;
        if (standing) Select(0);
        return;
    }

    if (gear == -1) {
        brakeAtRestS = 0.0f;
        // The throttle at a standstill, or rolling forward, ends reverse.
        if ((standing && throttle > 0.0f) || forwardSpeedMs > 2.0f * settings.standstillSpeedMs)
            Select(GearForSpeed(wheelAngularSpeedRadS));
        return;
    }

    if (standing && brake > 0.0f && throttle <= 0.0f) {
        brakeAtRestS += dtS;
        if (brakeAtRestS >= settings.reverseDelayS) {
            brakeAtRestS = 0.0f;
            Select(-1);
            return;
        }
    } else {
        brakeAtRestS = 0.0f;
    }

    if (standing && throttle <= 0.0f) {
        Select(0);
        return;
    }
    if (gear == 0) {
        // Rolling or driving off: the gear that suits the speed, so a car
        // that rolls in neutral brakes with its engine as it would in gear.
        Select(GearForSpeed(wheelAngularSpeedRadS));
        return;
    }
    ShiftForward(wheelAngularSpeedRadS, throttle);
}

int Gearbox::GearForSpeed(float wheelAngularSpeedRadS) const {
    int chosen = 1;
    while (chosen < GetForwardGearCount() && GetDrivelineRpm(chosen, wheelAngularSpeedRadS) > settings.shiftUpRpm)
        ++chosen;
    return chosen;
}

void Gearbox::ShiftForward(float wheelAngularSpeedRadS, float throttle) {
    if (IsShifting() || sinceShiftS < settings.minShiftIntervalS) return;
    float rpm = GetDrivelineRpm(gear, wheelAngularSpeedRadS);
    if (rpm > settings.shiftUpRpm && gear < GetForwardGearCount()) {
        Select(gear + 1);
        return;
    }
    if (gear > 1) {
        float downRpm = settings.coastDownRpm + throttle * (settings.shiftDownRpm - settings.coastDownRpm);
        // Never shift down into a gear that would be shifted straight back up.
        if (rpm < downRpm && GetDrivelineRpm(gear - 1, wheelAngularSpeedRadS) < 0.9f * settings.shiftUpRpm)
            Select(gear - 1);
    }
}

}  // namespace physics
