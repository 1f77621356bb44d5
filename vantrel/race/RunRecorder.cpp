#include "RunRecorder.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"

Logger RunRecorder::logger("RunRecorder");

namespace {

bool Finite(float value) { return std::isfinite(value); }

}  // namespace

void RunRecorder::Start(const Car& car, double distanceM, int sampleRateHz) {
    if (RecordedRun(sampleRateHz).GetSampleRateHz() == run.GetSampleRateHz())
        run.Clear();
    else
        run = RecordedRun(sampleRateHz);
    frameTimeS = 0.0;
    for (double& spin : spinRad) spin = 0.0;
    recording = Capture(car, distanceM, current);
    if (!recording) return;
    // Every sample the run may take, now: a vector growing mid-run would
    // copy megabytes within one frame.
    run.Reserve(run.GetMaxSamples());
    run.Append(current);
}

void RunRecorder::Record(const Car& car, double distanceM, float dtS) {
    if (!recording || !(dtS > 0.0f) || !std::isfinite(dtS)) return;
    if (!car.body) {
        Halt("the car has lost its body");
        return;
    }
    for (int i = 0; i < RecordedRun::WheelCount; ++i)
        spinRad[i] += static_cast<double>(car.body->GetWheelAngularSpeedRadS(i)) * dtS;
    const RecordedRun::Sample before = current;
    const double beforeS = frameTimeS;
    frameTimeS += dtS;
    if (!Capture(car, distanceM, current)) {
        Halt("the car's state is no longer finite");
        return;
    }
    const double rate = run.GetSampleRateHz();
    for (;;) {
        // Each instant from its index, so no error builds up over a long run.
        const double instantS = static_cast<double>(run.GetSampleCount()) / rate;
        // Rounding must not put off an instant that falls on the frame's end.
        if (instantS > frameTimeS + 1.0e-9) break;
        const auto t = static_cast<float>(std::clamp((instantS - beforeS) / dtS, 0.0, 1.0));
        if (!run.Append(RecordedRun::Blend(before, current, t))) {
            Halt("the run is longer than the " + std::to_string(static_cast<int>(RecordedRun::MaxDurationS / 60.0)) +
                 " minutes kept");
            return;
        }
    }
}

bool RunRecorder::Capture(const Car& car, double distanceM, RecordedRun::Sample& state) const {
    const physics::DynamicObjectCar* body = car.body;
    if (!body) return false;
    float matrix[16];
    body->GetMatrixGL(matrix);
    for (const float value : matrix)
        if (!Finite(value)) return false;
    state.positionM = vmath::vec3<float>(matrix[12], matrix[13], matrix[14]);
    state.orientation = RecordedRun::OrientationOfGL(matrix);
    state.distanceM = static_cast<float>(distanceM);
    state.speedMs = body->GetSpeedMs();
    state.engineRpm = body->GetEngineRpm();
    state.steering = car.steering;
    state.throttle = car.throttle;
    state.brake = car.brake;
    state.gear = body->GetCurrentGear();
    bool finite = Finite(state.distanceM) && Finite(state.speedMs) && Finite(state.engineRpm) &&
                  Finite(state.orientation.w) && Finite(state.steering) && Finite(state.throttle) &&
                  Finite(state.brake);
    for (int i = 0; i < RecordedRun::WheelCount; ++i) {
        state.wheelSpinRad[i] = static_cast<float>(spinRad[i]);
        state.wheelSteerRad[i] = body->GetWheelSteeringAngleRad(i);
        finite = finite && Finite(state.wheelSpinRad[i]) && Finite(state.wheelSteerRad[i]);
    }
    return finite;
}

void RunRecorder::Halt(const std::string& why) {
    Stop();
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << why << ": recording stopped after " << run.GetDurationS() << " s (" << run.GetSampleCount()
            << " samples)";
}
