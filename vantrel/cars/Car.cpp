#include "Car.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <nodara/Camera.h>
#include <nodara/GroupNode.h>
#include <nodara/View.h>

#include "hud/Gauge.h"
#include "physics/DynamicObjectCar.h"

const Car::ChaseView Car::Views[2] = {
    {{0.0f, 1.5f, 2.0f}, {0.0f, 1.0f, 1.0f}, 10.0f},
    {{0.0f, 2.5f, -3.0f}, {0.0f, 1.0f, 1.0f}, 10.0f},
};

namespace {

using vec3f = vmath::vec3<float>;

// rad/s to revolutions per minute, and radians to degrees as the wheel spin uses it.
const float RadSToRpm = 9.549304291547923f;
const float RadToDeg = 57.2957763671875f;

}  // namespace

std::string Car::GearLabel(int gear) {
    if (gear < 0) return "R";
    if (gear == 0) return "N";
    return std::to_string(gear);
}

void Car::AdjustThrottle(float amount) { throttle = std::clamp(throttle + amount, 0.0f, 1.0f); }

void Car::AdjustBrake(float amount) { brake = std::clamp(brake + amount, 0.0f, 1.0f); }

void Car::AdjustLeft(float amount) { steering = std::clamp(steering + amount, 0.0f, 1.0f); }

void Car::AdjustRight(float amount) { steering = std::clamp(steering - amount, -1.0f, 0.0f); }

void Car::ApplyControls() {
    if (body) {
        if (controlsEnabled) {
            if (held && (throttle > 0.0f || brake > 0.0f)) held = false;
            // The physics needs no second per-frame call: the controls hold
            // for every substep until the next frame.
            if (held)
                body->SetControls(steering, 0.0f, 1.0f, true);
            else
                body->SetControls(steering, throttle, brake, false);
            steeringRate = 40.0f * (steering - previousSteering);
            previousSteering = steering;
        } else {
            body->SetControls(0.0f, 0.0f, 1.0f, true);
        }
    } else if (controlsEnabled) {
        steeringRate = 40.0f * (steering - previousSteering);
        previousSteering = steering;
    }
    if (body) ShowSpeed(body->GetSpeedMs());
    if (body && rpmGauge) rpmGauge->SetValue(body->GetEngineAngularSpeedRadS() * RadSToRpm);
}

void Car::ShowSpeed(float speedMs) {
    shownSpeedMs = speedMs;
    if (speedGauge) speedGauge->SetValue(speedMs * SpeedPerMs(speedUnit));
}

void Car::UpdateNodes(float dtS) {
    if (!body || !node) return;
    float frame[16];
    body->GetMatrixGL(frame);
    PoseNodes(frame, dtS);
}

void Car::PoseNodes(const float frameGL[16], float dtS) {
    if (!body || !node) return;
    vmath::mat4<float> matrix;
    std::copy(frameGL, frameGL + 16, matrix.ptr());
    node->GetTransform().SetMatrix(matrix);
    for (std::size_t i = 0; i < wheels.size(); ++i)
        wheels[i]->GetTransform().Rotate(body->GetWheelAngularSpeedRadS(static_cast<int>(i)) * dtS * -RadToDeg,
                                         vec3f(1.0f, 0.0f, 0.0f));
    for (GroupNode* steer : steeringNodes) steer->GetTransform().Rotate(steeringRate, vec3f(0.0f, 0.0f, 1.0f));
}

void Car::UpdateCamera(Camera& camera, float dtS) {
    if (!body) return;
    float frame[16];
    body->GetMatrixGL(frame);
    UpdateCamera(camera, frame, body->GetLinearVelocity(), dtS);
}

void Car::UpdateCamera(Camera& camera, const float frameGL[16], const vmath::vec3<float>& v, float dtS) {
    const vec3f p(frameGL[12], frameGL[13], frameGL[14]);
    const vec3f x(frameGL[0], frameGL[1], frameGL[2]), y(frameGL[4], frameGL[5], frameGL[6]),
        z(frameGL[8], frameGL[9], frameGL[10]);
    const ChaseView& view = Views[cameraMode == 1 ? 1 : 0];
    vec3f a(cameraPosition[0], cameraPosition[1], cameraPosition[2]);
    float distance = chaseDistanceM > 0.0f ? chaseDistanceM : view.distance;

    if (cameraTime < 2.0f) {
        const vec3f target = p - y * 20.0f;
        if (cameraTime <= 1.0f)
            a = target;
        else
            a = a + (target - a) * (2.0f - cameraTime);
        distance += (2.0f - cameraTime) * (2.0f - cameraTime);
        cameraTime += dtS;
    }
    const float dist = vmath::length(a - p);
    if (dist < distance) {
        a = a - x * (1.1f * (distance - dist));
        a.z += 0.2f * (distance - dist);
    }
    // Per frame, not per second: the lag grows with the frame rate's inverse.
    a = a - v * 0.1f;
    a.x -= 0.2f * cameraHeightTerm * z.x;
    a.y -= 0.2f * cameraHeightTerm * z.y;
    cameraHeightTerm = std::clamp(0.1f * vmath::dot(p - a, z), -1.0f, 1.0f);

    const float toCar = vmath::length(p - a);
    const vec3f dir = toCar > 0.0f ? (p - a) * (1.0f / toCar) : vec3f(0.0f, 1.0f, 0.0f);
    a = p - dir * distance;
    cameraPosition[0] = a.x;
    cameraPosition[1] = a.y;
    cameraPosition[2] = a.z;
    cameraPosition[3] = 0.0f;
    // Straight above or below the car the frame below has no sideways axis.
    if (std::fabs(dir.z) > 0.99f) return;

    const vec3f l2 = dir;
    const vec3f l0 = vmath::normalize(vmath::cross(vec3f(0.0f, 0.0f, 1.0f), dir));
    const vec3f l1 = vmath::cross(l2, l0);
    const vec3f eye = a + l0 * view.eye[0] + l1 * (view.eye[1] + chaseRaiseM) + l2 * view.eye[2];
    const vec3f centre = p + l0 * view.centre[0] + l1 * view.centre[1] + l2 * view.centre[2];
    View& cameraView = camera.GetView();
    cameraView.SetEye(vmath::vec3<double>(eye.x, eye.y, eye.z));
    cameraView.SetCenter(vmath::vec3<double>(centre.x, centre.y, centre.z));
}

