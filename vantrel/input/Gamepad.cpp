#include "Gamepad.h"

#include <algorithm>
#include <cmath>

#include <SDL2/SDL.h>

#include "EventHandler.h"
#include "GameKeys.h"
#include "KeyBindings.h"
#include "platform/WindowMessage.h"

namespace {

/// The key a controller button stands for in the menus, or 0 for none.
unsigned MenuKeyOfButton(std::uint8_t button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A: return VK_RETURN;
    case SDL_CONTROLLER_BUTTON_B:
    case SDL_CONTROLLER_BUTTON_BACK: return VK_ESCAPE;
    case SDL_CONTROLLER_BUTTON_Y: return GameKeys::Recover;
    case SDL_CONTROLLER_BUTTON_START: return GameKeys::Pause;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return VK_UP;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return VK_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return VK_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return VK_RIGHT;
    default: return 0;
    }
}

/// An axis as -1 ... 1 (triggers 0 ... 1); SDL's range is one longer below zero.
float Axis(SDL_GameController* pad, SDL_GameControllerAxis axis) {
    return std::clamp(SDL_GameControllerGetAxis(pad, axis) / 32767.0f, -1.0f, 1.0f);
}

/// 0 inside `deadZone`, then 0 ... 1 over the rest of the travel.
float BeyondDeadZone(float value, float deadZone) {
    return value <= deadZone ? 0.0f : std::min((value - deadZone) / (1.0f - deadZone), 1.0f);
}

}  // namespace

Gamepad::Gamepad(EventHandler& handler) : handler(handler) {}

Gamepad::~Gamepad() {
    for (SDL_GameController* pad : pads) SDL_GameControllerClose(pad);
    if (started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool Gamepad::Initialize() {
    if (!started) {
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
        started = true;
    }
    // SDL also queues a device-added event for each of these; Open skips
    // pads already open.
    for (int i = 0; i < SDL_NumJoysticks(); ++i) Open(i);
    return true;
}

void Gamepad::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED: Open(event.cdevice.which); break;
    case SDL_CONTROLLERDEVICEREMOVED: Close(event.cdevice.which); break;
    case SDL_CONTROLLERBUTTONDOWN: {
        const unsigned key = KeyOfButton(event.cbutton.button);
        if (key == 0 || buttonKeys.count(event.cbutton.button)) break;
        buttonKeys[event.cbutton.button] = key;
        Hold(key, true);
        break;
    }
    case SDL_CONTROLLERBUTTONUP: {
        // The key it pressed, even should the bindings have changed since (a new mode).
        const auto pressed = buttonKeys.find(event.cbutton.button);
        if (pressed == buttonKeys.end()) break;
        const unsigned key = pressed->second;
        buttonKeys.erase(pressed);
        Hold(key, false);
        break;
    }
    default: break;
    }
}

void Gamepad::Update(bool stickSteps) {
    unsigned key = 0;
    if (stickSteps) {
        // The strongest push of all pads, along its larger axis.
        float x = 0.0f, y = 0.0f;
        for (SDL_GameController* pad : pads) {
            const float px = Axis(pad, SDL_CONTROLLER_AXIS_LEFTX), py = Axis(pad, SDL_CONTROLLER_AXIS_LEFTY);
            if (std::max(std::fabs(px), std::fabs(py)) > std::max(std::fabs(x), std::fabs(y))) x = px, y = py;
        }
        const bool horizontal = std::fabs(x) > std::fabs(y);
        const float deflection = std::max(std::fabs(x), std::fabs(y));
        const unsigned pushed = horizontal ? (x > 0.0f ? VK_RIGHT : VK_LEFT) : (y > 0.0f ? VK_DOWN : VK_UP);
        if (deflection > PressDeflection)
            key = pushed;
        else if (stickKey != 0 && deflection > ReleaseDeflection && pushed == stickKey)
            key = stickKey;  // still on its way back
    }
    if (key == stickKey) return;
    if (stickKey != 0) Hold(stickKey, false);
    stickKey = key;
    if (stickKey != 0) Hold(stickKey, true);
}

Gamepad::Driving Gamepad::GetDriving() const {
    Driving driving;
    for (SDL_GameController* pad : pads) {
        const float steering = SteeringFromStick(Axis(pad, SDL_CONTROLLER_AXIS_LEFTX),
                                                 Axis(pad, SDL_CONTROLLER_AXIS_LEFTY), deadZone, curve);
        if (std::fabs(steering) > std::fabs(driving.steering)) driving.steering = steering;
        driving.throttle = std::max(driving.throttle, PedalFromTrigger(Axis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT)));
        driving.brake = std::max(driving.brake, PedalFromTrigger(Axis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT)));
    }
    return driving;
}

void Gamepad::Rumble(float lowFrequency, float highFrequency, std::uint32_t durationMs) {
    const auto strength = [](float value) { return static_cast<Uint16>(std::clamp(value, 0.0f, 1.0f) * 65535.0f); };
    // Pads without a motor refuse; nothing is missing then.
    for (SDL_GameController* pad : pads)
        SDL_GameControllerRumble(pad, strength(lowFrequency), strength(highFrequency), durationMs);
}

void Gamepad::SetSteering(float zone, float exponent) {
    // A dead zone of the whole travel would leave the stick nothing to steer with.
    deadZone = std::clamp(zone, 0.0f, 0.95f);
    curve = std::max(exponent, 1.0f);
}

float Gamepad::SteeringFromStick(float x, float y, float zone, float exponent) {
    const float deflection = std::hypot(x, y);
    const float beyond = BeyondDeadZone(deflection, zone);
    if (beyond <= 0.0f) return 0.0f;
    // Along the push's direction, so a stick pushed straight ahead does not steer.
    return -(x / deflection) * std::pow(beyond, exponent);
}

unsigned Gamepad::KeyOfButton(std::uint8_t button) const {
    if (!bindings) return MenuKeyOfButton(button);
    switch (button) {
    case SDL_CONTROLLER_BUTTON_Y: return bindings->KeyOf(KeyBindings::Recover);
    case SDL_CONTROLLER_BUTTON_START: return bindings->KeyOf(KeyBindings::Pause);
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return bindings->KeyOf(KeyBindings::Throttle);
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return bindings->KeyOf(KeyBindings::Brake);
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return bindings->KeyOf(KeyBindings::SteerLeft);
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return bindings->KeyOf(KeyBindings::SteerRight);
    default: return MenuKeyOfButton(button);
    }
}

float Gamepad::PedalFromTrigger(float value) { return BeyondDeadZone(value, TriggerDeadZone); }

void Gamepad::Open(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* pad : pads)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return;
    if (SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex)) pads.push_back(pad);
}

void Gamepad::Close(std::int32_t instanceId) {
    const auto it = std::find_if(pads.begin(), pads.end(), [instanceId](SDL_GameController* pad) {
        return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == instanceId;
    });
    if (it == pads.end()) return;
    SDL_GameControllerClose(*it);
    pads.erase(it);
    // The releases of what it held will never come.
    ReleaseAll();
    handler.HandleMessage(WM_KILLFOCUS, 0, 0);
}

void Gamepad::Hold(unsigned key, bool down) {
    int& holders = held[key];
    if (down) {
        if (holders++ == 0) handler.HandleMessage(WM_KEYDOWN, key, 0);
    } else if (holders > 0 && --holders == 0) {
        handler.HandleMessage(WM_KEYUP, key, 0);
    }
}

void Gamepad::ReleaseAll() {
    stickKey = 0;
    buttonKeys.clear();
    // Copied: a release may switch modes, and the new mode's keys may come back here.
    std::map<unsigned, int> releasing;
    releasing.swap(held);
    for (const auto& [key, holders] : releasing)
        if (holders > 0) handler.HandleMessage(WM_KEYUP, key, 0);
}
