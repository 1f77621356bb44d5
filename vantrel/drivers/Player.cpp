#include "Player.h"

#include <cmath>

#include "cars/Car.h"
#include "input/Gamepad.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"

namespace {

const int LeftButton = 1;

}  // namespace

void Player::Update(float dtS) {
    if (spectator) {
        if (!camera) return;
        const double step = SpectatorSpeed * dtS;
        if (accelerateKey) spectatorCamera.Move(*camera, step);
        if (brakeKey) spectatorCamera.Move(*camera, -step);
        if (leftKey) spectatorCamera.Strafe(*camera, step);
        if (rightKey) spectatorCamera.Strafe(*camera, -step);
        return;
    }
    if (!car) return;
    if (car->throttle != carControls.throttle || car->brake != carControls.brake ||
        car->steering != carControls.steering) {
        // Set elsewhere (a recovery): the ramps go on from there, and the
        // car's sudden stop is no impact.
        rumble.Reset();
    } else {
        car->throttle = keyControls.throttle;
        car->brake = keyControls.brake;
        car->steering = keyControls.steering;
    }
    // Releasing Up or Down drops the pedal at once.
    car->AdjustThrottle(accelerateKey ? ThrottleRate * dtS : -1.0f);
    car->AdjustBrake(brakeKey ? BrakeRate * dtS : -1.0f);
    if (leftKey) car->AdjustLeft(controls.steeringSpeed * dtS);
    if (rightKey) car->AdjustRight(controls.steeringSpeed * dtS);
    if (!leftKey && !rightKey) {
        // Back towards the centre at the return speed, never past it.
        if (car->steering > 0.0f)
            car->AdjustLeft(-controls.returnSpeed * dtS);
        else
            car->AdjustRight(-controls.returnSpeed * dtS);
    }
    keyControls = {car->throttle, car->brake, car->steering};
    if (gamepad) {
        const Gamepad::Driving pad = gamepad->GetDriving();
        car->throttle = std::fmax(car->throttle, pad.throttle);
        car->brake = std::fmax(car->brake, pad.brake);
        if (std::fabs(pad.steering) > std::fabs(car->steering)) car->steering = pad.steering;
    }
    carControls = {car->throttle, car->brake, car->steering};
    car->ApplyControls();
    if (gamepad && car->body) Rumble(dtS);
}

void Player::Rumble(float dtS) {
    // A new body (the race run again) starts at rest: no impact either.
    if (car->body != rumbleBody) rumble.Reset();
    rumbleBody = car->body;
    const vmath::vec3<float> position = car->body->GetPosition();
    const double offRoadM = rumbleRoad ? CarRumble::DistanceFromRoad(*rumbleRoad, position.x, position.y) : -1.0;
    CarRumble::Pulse pulse;
    if (rumble.Update(car->body->GetSpeedMs(), offRoadM, dtS, pulse))
        gamepad->Rumble(pulse.lowFrequency, pulse.highFrequency, pulse.durationMs);
}

void Player::OnKey(EventHandler&, unsigned key, int state) {
    const bool pressed = state == 0;
    const std::optional<KeyBindings::Action> action = bindings.ActionOf(key);
    if (!action) return;
    switch (*action) {
    case KeyBindings::SteerLeft: leftKey = pressed; break;
    case KeyBindings::Throttle: accelerateKey = pressed; break;
    case KeyBindings::SteerRight: rightKey = pressed; break;
    case KeyBindings::Brake: brakeKey = pressed; break;
    case KeyBindings::ChaseView:
        if (pressed && !spectator && car) car->cameraMode = car->cameraMode == 0 ? 1 : 0;
        break;
    case KeyBindings::Spectator:
        if (pressed && spectatorOffered) spectator = !spectator;
        break;
    default: break;  // the race's own
    }
}

void Player::OnFocusLost(EventHandler&) {
    accelerateKey = brakeKey = leftKey = rightKey = false;
    dragging = false;
}

void Player::OnMouse(EventHandler&, int x, int y, int button, int state) {
    if (!spectator) return;
    if (button == LeftButton) {
        if (state == 0) spectatorCamera.SetReferencePoint(vmath::vec2<int>(x, y));
        dragging = state == 0;
    }
    if (dragging && camera) {
        spectatorCamera.Yaw(*camera, 1.0f, x);
        spectatorCamera.Pitch(*camera, 1.0f, y);
        spectatorCamera.SetReferencePoint(vmath::vec2<int>(x, y));
    }
}
