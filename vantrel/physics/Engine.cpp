#include "Engine.h"

#include <algorithm>
#include <cmath>

namespace physics {

namespace {
constexpr float RpmToRadS = 2.0f * 3.14159265f / 60.0f;
}

Engine::Engine(const EngineSettings& settings) : settings(settings), rpm(settings.idleRpm) {}

void Engine::Reset() {
    rpm = settings.idleRpm;
    driveTorqueNm = 0.0f;
    brakingTorqueNm = 0.0f;
    limiting = false;
}

float Engine::GetAngularSpeedRadS() const { return rpm * RpmToRadS; }

float Engine::GetTorqueFraction(float rpmValue) const {
    const auto& curve = settings.torqueCurve;
    if (curve.empty()) return 0.0f;
    if (rpmValue <= curve.front().rpm) return curve.front().fraction;
    if (rpmValue >= curve.back().rpm) return curve.back().fraction;
    auto upper = std::upper_bound(curve.begin(), curve.end(), rpmValue,
                                  [](float value, const EngineSettings::CurvePoint& p) { return value < p.rpm; });
    auto lower = upper - 1;
    float t = (rpmValue - lower->rpm) / (upper->rpm - lower->rpm);
    return lower->fraction + t * (upper->fraction - lower->fraction);
}

void Engine::Update(float dtS, float throttle, float drivelineRpm, bool engaged) {
    throttle = std::clamp(throttle, 0.0f, 1.0f);
    // With the clutch closed the wheels set the speed; below the launch speed
    // the clutch slips, so a pressed throttle still revs the engine up.
    float clutchRpm = settings.idleRpm + throttle * (settings.launchRpm - settings.idleRpm);
    float freeRpm = settings.idleRpm + throttle * (settings.revLimitRpm - settings.idleRpm);
    float target = engaged ? std::max(drivelineRpm, clutchRpm) : freeRpm;
    float blend = settings.rpmResponseS > 0.0f ? std::min(1.0f, dtS / settings.rpmResponseS) : 1.0f;
    rpm += (target - rpm) * blend;
    // The engaged engine cannot lag behind the wheels that drive it.
    if (engaged) rpm = std::max(rpm, drivelineRpm);

    // The limiter fades the torque out over its band below the limit, so the
    // car holds its top speed instead of surging on and off the cut.
    float effectiveRpm = engaged ? std::max(drivelineRpm, clutchRpm) : rpm;
    float band = std::max(settings.limiterBandRpm, 1.0f);
    float limiterFactor = std::clamp((settings.revLimitRpm - effectiveRpm) / band, 0.0f, 1.0f);
    limiting = limiterFactor < 1.0f;
    driveTorqueNm = throttle * limiterFactor * settings.maxTorqueNm * GetTorqueFraction(effectiveRpm);
    brakingTorqueNm = 0.0f;
    if (engaged && throttle <= 0.0f) {
        float span = settings.revLimitRpm - settings.idleRpm;
        float above = std::max(0.0f, drivelineRpm - settings.idleRpm);
        brakingTorqueNm = span > 0.0f ? settings.engineBrakingTorqueNm * std::min(1.0f, above / span) : 0.0f;
    }
}

}  // namespace physics
