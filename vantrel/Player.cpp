#include "Player.h"

#include "Car.h"
#include "platform/WindowMessage.h"

namespace {

const unsigned KeyC = 'C';
const unsigned KeyS = 'S';
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
    // Releasing Up or Down drops the pedal at once.
    car->AdjustThrottle(accelerateKey ? ThrottleRate * dtS : -1.0f);
    car->AdjustBrake(brakeKey ? BrakeRate * dtS : -1.0f);
    if (leftKey) car->AdjustLeft(SteeringRate * dtS);
    if (rightKey) car->AdjustRight(SteeringRate * dtS);
    if (!leftKey && !rightKey) {
        // Back towards the centre at the steering rate, never past it.
        if (car->steering > 0.0f)
            car->AdjustLeft(-SteeringRate * dtS);
        else
            car->AdjustRight(-SteeringRate * dtS);
    }
    car->ApplyControls();
}

void Player::OnKey(EventHandler&, unsigned key, int state) {
    const bool pressed = state == 0;
    switch (key) {
    case VK_LEFT: leftKey = pressed; break;
    case VK_UP: accelerateKey = pressed; break;
    case VK_RIGHT: rightKey = pressed; break;
    case VK_DOWN: brakeKey = pressed; break;
    case KeyC:
        if (pressed && !spectator && car) car->cameraMode = car->cameraMode == 0 ? 1 : 0;
        break;
    case KeyS:
        if (pressed) spectator = !spectator;
        break;
    default: break;
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
