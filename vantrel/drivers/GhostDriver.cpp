#include "GhostDriver.h"

#include <algorithm>
#include <cmath>

#include <nodara/GroupNode.h>

#include "cars/Car.h"

namespace {

const float RadToDeg = 57.29577951308232f;
const float TwoPi = 6.283185307179586f;

}  // namespace

GhostDriver::GhostDriver(const RecordedRun& run, const Car& car) : run(run), sample(run.At(0.0)) {
    for (const GroupNode* wheel : car.wheels) wheelRest.push_back(wheel->GetTransform().GetMatrix());
    for (const GroupNode* steer : car.steeringNodes) steeringRest.push_back(steer->GetTransform().GetMatrix());
}

void GhostDriver::Drive(Car& car, float dtS) {
    PoseAt(car, timeS + (std::isfinite(dtS) ? dtS : 0.0f));
}

void GhostDriver::PoseAt(Car& car, double time) {
    if (std::isfinite(time)) timeS = std::clamp(time, 0.0, run.GetDurationS());
    sample = run.At(timeS);
    Pose(car);
}

void GhostDriver::Show(Car& car, const RecordedRun::Sample& shown) {
    sample = shown;
    Pose(car);
}

void GhostDriver::Pose(Car& car) {
    car.throttle = sample.throttle;
    car.brake = sample.brake;
    car.steering = sample.steering;
    if (car.node) car.node->GetTransform().SetMatrix(RecordedRun::MatrixGL(sample));
    const vmath::vec3<float> axle(1.0f, 0.0f, 0.0f), upright(0.0f, 0.0f, 1.0f);
    // The wheel nodes turn the other way round their x axis from the
    // physics' forward roll, as Car::UpdateNodes turns them.
    const std::size_t wheels = std::min({car.wheels.size(), wheelRest.size(), std::size_t(RecordedRun::WheelCount)});
    for (std::size_t i = 0; i < wheels; ++i) {
        Transform& transform = car.wheels[i]->GetTransform();
        transform.SetMatrix(wheelRest[i]);
        // Whole turns off first: a float angle of many thousand degrees loses its fraction.
        transform.Rotate(-std::fmod(sample.wheelSpinRad[i], TwoPi) * RadToDeg, axle);
    }
    // The steering nodes are the front wheels', the run's first two.
    const std::size_t steered =
        std::min({car.steeringNodes.size(), steeringRest.size(), std::size_t(RecordedRun::WheelCount)});
    for (std::size_t i = 0; i < steered; ++i) {
        Transform& transform = car.steeringNodes[i]->GetTransform();
        transform.SetMatrix(steeringRest[i]);
        transform.Rotate(sample.wheelSteerRad[i] * RadToDeg, upright);
    }
}
