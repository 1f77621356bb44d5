#include "CarStates.h"

#include <cmath>

#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"

bool CarStates::Take(const Car& car, std::uint8_t id, std::uint32_t tick, unsigned checkpoints,
                     Protocol::CarState& state, unsigned recoveries) {
    const physics::DynamicObjectCar* body = car.body;
    if (!body) return false;
    float matrix[16];
    body->GetMatrixGL(matrix);
    for (const float value : matrix)
        if (!std::isfinite(value)) return false;
    RecordedRun::Sample& s = state.sample;
    s.positionM = vmath::vec3<float>(matrix[12], matrix[13], matrix[14]);
    s.orientation = RecordedRun::OrientationOfGL(matrix);
    s.speedMs = body->GetSpeedMs();
    s.engineRpm = body->GetEngineRpm();
    s.steering = car.steering;
    s.throttle = car.throttle;
    s.brake = car.brake;
    s.gear = body->GetCurrentGear();
    for (int i = 0; i < RecordedRun::WheelCount; ++i) {
        // The spin goes wrapped; its rate is enough to turn a drawn wheel.
        s.wheelSpinRad[i] = 0.0f;
        s.wheelSteerRad[i] = body->GetWheelSteeringAngleRad(i);
    }
    state.playerId = id;
    state.tick = tick;
    state.checkpoints = static_cast<std::uint8_t>(checkpoints);
    state.recoveries = static_cast<std::uint8_t>(recoveries % Protocol::RecoveryWrap);
    return std::isfinite(s.speedMs) && std::isfinite(s.engineRpm) && std::isfinite(s.steering);
}

vmath::vec3<float> CarStates::Forward(const RecordedRun::Sample& sample) {
    const vmath::mat4<float> m = RecordedRun::MatrixGL(sample);
    const float* p = m.ptr();
    return vmath::vec3<float>(p[4], p[5], p[6]) * sample.speedMs;
}

bool CarStates::Follow(Car& car, const RecordedRun::Sample& sample, const vmath::vec3<float>& velocityMs) {
    if (!car.body) return false;
    car.throttle = car.brake = car.steering = 0.0f;
    car.body->SetControls(0.0f, 0.0f, 0.0f, false);
    const vmath::mat4<float> m = RecordedRun::MatrixGL(sample);
    return car.body->MoveTo(m.ptr(), velocityMs);
}
