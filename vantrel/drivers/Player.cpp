#include "Player.h"

#include <cmath>

#include "cars/Car.h"
#include "input/Gamepad.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"

namespace {

const int LeftButton = 1;

/// The bit of whoever sent a key: the keyboard's, or a pad slot's (slots
/// past the 31st share the last bit).
std::uint32_t HolderBit(int padSlot) {
    if (padSlot < 0) return 1u;
    return 1u << (padSlot < 30 ? padSlot + 1 : 31);
}

void Hold(std::uint32_t& holders, std::uint32_t holder, bool pressed) {
    if (pressed)
        holders |= holder;
    else
        holders &= ~holder;
}

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
    if (autopilot) {
        if (car->controlsEnabled) autopilot->Drive(*car, dtS);
        carControls = {car->throttle, car->brake, car->steering};
        car->ApplyControls();
        return;
    }
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
    if (gamepad && device.GetKind() != InputDevice::Keys) {
        const Gamepad::Driving pad =
            device.GetKind() == InputDevice::Pad ? gamepad->GetDriving(device.GetIndex()) : gamepad->GetDriving();
        car->throttle = std::fmax(car->throttle, pad.throttle);
        car->brake = std::fmax(car->brake, pad.brake);
        if (std::fabs(pad.steering) > std::fabs(car->steering)) car->steering = pad.steering;
    }
    carControls = {car->throttle, car->brake, car->steering};
    car->ApplyControls();
    if (gamepad && car->body && device.GetKind() != InputDevice::Keys) Rumble(dtS);
}

void Player::Rumble(float dtS) {
    // A new body (the race run again) starts at rest: no impact either.
    if (car->body != rumbleBody) rumble.Reset();
    rumbleBody = car->body;
    const vmath::vec3<float> position = car->body->GetPosition();
    const double offRoadM = rumbleRoad ? CarRumble::DistanceFromRoad(*rumbleRoad, position.x, position.y) : -1.0;
    CarRumble::Pulse pulse;
    if (!rumble.Update(car->body->GetSpeedMs(), offRoadM, dtS, pulse)) return;
    if (device.GetKind() == InputDevice::Pad)
        gamepad->Rumble(device.GetIndex(), pulse.lowFrequency, pulse.highFrequency, pulse.durationMs);
    else
        gamepad->Rumble(pulse.lowFrequency, pulse.highFrequency, pulse.durationMs);
}

std::optional<KeyBindings::Action> Player::ActionOf(const EventHandler& handler, unsigned key) const {
    if (!device.Hears(handler.GetPadSlot())) return std::nullopt;
    const std::optional<KeyBindings::Action> action = bindings.ActionOf(key);
    // Beside other players: the first set's spectator key may be the second set's.
    if (action == KeyBindings::Spectator && device.GetKind() != InputDevice::Every) return std::nullopt;
    return action;
}

void Player::SetDevice(InputDevice value) {
    device = value;
    ReleaseKeys();
    if (device.GetKind() != InputDevice::Every) spectator = dragging = false;
}

bool Player::IsPadMissing() const {
    return device.GetKind() == InputDevice::Pad && !(gamepad && gamepad->IsPlugged(device.GetIndex()));
}

void Player::OnKey(EventHandler& handler, unsigned key, int state) {
    const bool pressed = state == 0;
    const std::optional<KeyBindings::Action> action = ActionOf(handler, key);
    if (!action) return;
    const std::uint32_t holder = HolderBit(handler.GetPadSlot());
    switch (*action) {
    case KeyBindings::SteerLeft: Hold(leftKey, holder, pressed); break;
    case KeyBindings::Throttle: Hold(accelerateKey, holder, pressed); break;
    case KeyBindings::SteerRight: Hold(rightKey, holder, pressed); break;
    case KeyBindings::Brake: Hold(brakeKey, holder, pressed); break;
    case KeyBindings::ChaseView:
        if (pressed && !spectator && car) car->cameraMode = car->cameraMode == 0 ? 1 : 0;
        break;
    case KeyBindings::Spectator:
        if (pressed) spectator = !spectator;
        break;
    default: break;  // the race's own
    }
}

void Player::OnFocusLost(EventHandler&) {
    ReleaseKeys();
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
