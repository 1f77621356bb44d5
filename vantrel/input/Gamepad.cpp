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

/// What tells a pad from another when it comes back: its GUID (its bus,
/// maker, model and name), and its serial where it reports one, so that
/// one of two pads of a model finds its own slot.
std::string Identity(SDL_GameController* pad) {
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(SDL_GameControllerGetJoystick(pad)), guid, sizeof guid);
    const char* serial = SDL_GameControllerGetSerial(pad);
    return serial && *serial ? std::string(guid) + " " + serial : std::string(guid);
}

Uint16 Strength(float value) { return static_cast<Uint16>(std::clamp(value, 0.0f, 1.0f) * 65535.0f); }

}  // namespace

Gamepad::Gamepad(EventHandler& handler) : handler(handler) {}

Gamepad::~Gamepad() {
    for (Slot& slot : slots)
        if (slot.pad) SDL_GameControllerClose(slot.pad);
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
        const int slot = SlotOf(event.cbutton.which);
        const unsigned key = KeyOfButton(event.cbutton.button);
        if (slot < 0 || key == 0 || slots[slot].buttonKeys.count(event.cbutton.button)) break;
        slots[slot].buttonKeys[event.cbutton.button] = key;
        Hold(slot, key, true);
        break;
    }
    case SDL_CONTROLLERBUTTONUP: {
        const int slot = SlotOf(event.cbutton.which);
        if (slot < 0) break;
        // The key it pressed, even should the bindings have changed since (a new mode).
        std::map<std::uint8_t, unsigned>& pressed = slots[slot].buttonKeys;
        const auto button = pressed.find(event.cbutton.button);
        if (button == pressed.end()) break;
        const unsigned key = button->second;
        pressed.erase(button);
        Hold(slot, key, false);
        break;
    }
    default: break;
    }
}

void Gamepad::Update(bool stickSteps) {
    // By index: a key event may switch modes, and the new mode's keys may come back here.
    for (std::size_t i = 0; i < slots.size(); ++i) {
        unsigned key = 0;
        const unsigned stickKey = slots[i].stickKey;
        if (stickSteps && slots[i].pad) {
            // Along the stick's larger axis.
            const float x = Axis(slots[i].pad, SDL_CONTROLLER_AXIS_LEFTX);
            const float y = Axis(slots[i].pad, SDL_CONTROLLER_AXIS_LEFTY);
            const bool horizontal = std::fabs(x) > std::fabs(y);
            const float deflection = std::max(std::fabs(x), std::fabs(y));
            const unsigned pushed = horizontal ? (x > 0.0f ? VK_RIGHT : VK_LEFT) : (y > 0.0f ? VK_DOWN : VK_UP);
            if (deflection > PressDeflection)
                key = pushed;
            else if (stickKey != 0 && deflection > ReleaseDeflection && pushed == stickKey)
                key = stickKey;  // still on its way back
        }
        if (key == stickKey) continue;
        if (stickKey != 0) Hold(i, stickKey, false);
        slots[i].stickKey = key;
        if (key != 0) Hold(i, key, true);
    }
}

Gamepad::Driving Gamepad::DrivingOf(SDL_GameController* pad) const {
    Driving driving;
    driving.steering = SteeringFromStick(Axis(pad, SDL_CONTROLLER_AXIS_LEFTX), Axis(pad, SDL_CONTROLLER_AXIS_LEFTY),
                                         deadZone, curve);
    driving.throttle = PedalFromTrigger(Axis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    driving.brake = PedalFromTrigger(Axis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    return driving;
}

Gamepad::Driving Gamepad::GetDriving() const {
    Driving driving;
    for (const Slot& slot : slots) {
        if (!slot.pad) continue;
        const Driving pad = DrivingOf(slot.pad);
        if (std::fabs(pad.steering) > std::fabs(driving.steering)) driving.steering = pad.steering;
        driving.throttle = std::max(driving.throttle, pad.throttle);
        driving.brake = std::max(driving.brake, pad.brake);
    }
    return driving;
}

Gamepad::Driving Gamepad::GetDriving(int slot) const {
    return IsPlugged(slot) ? DrivingOf(slots[slot].pad) : Driving();
}

void Gamepad::Rumble(float lowFrequency, float highFrequency, std::uint32_t durationMs) {
    for (int i = 0; i < GetSlotCount(); ++i) Rumble(i, lowFrequency, highFrequency, durationMs);
}

void Gamepad::Rumble(int slot, float lowFrequency, float highFrequency, std::uint32_t durationMs) {
    // Pads without a motor refuse; nothing is missing then.
    if (IsPlugged(slot))
        SDL_GameControllerRumble(slots[slot].pad, Strength(lowFrequency), Strength(highFrequency), durationMs);
}

std::size_t Gamepad::GetCount() const {
    return static_cast<std::size_t>(
        std::count_if(slots.begin(), slots.end(), [](const Slot& slot) { return slot.pad != nullptr; }));
}

bool Gamepad::IsPlugged(int slot) const { return slot >= 0 && slot < GetSlotCount() && slots[slot].pad; }

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
    if (!SDL_IsGameController(deviceIndex) || SlotOf(SDL_JoystickGetDeviceInstanceID(deviceIndex)) >= 0) return;
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (!pad) return;
    const std::string identity = Identity(pad);
    const std::size_t slot = SlotFor(identity);
    if (slot == slots.size()) slots.emplace_back();
    slots[slot].pad = pad;
    slots[slot].identity = identity;
}

std::size_t Gamepad::SlotFor(const std::string& identity) const {
    // Back where it was, the first of that model's places should two have left.
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!slots[i].pad && slots[i].identity == identity) return i;
    if (slots.size() < static_cast<std::size_t>(MaxSlots)) return slots.size();
    // Every place kept: the first one waiting forgets its pad.
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!slots[i].pad) return i;
    return slots.size();
}

int Gamepad::SlotOf(std::int32_t instanceId) const {
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (slots[i].pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(slots[i].pad)) == instanceId)
            return static_cast<int>(i);
    return -1;
}

void Gamepad::Close(std::int32_t instanceId) {
    const int slot = SlotOf(instanceId);
    if (slot < 0) return;
    SDL_GameControllerClose(slots[slot].pad);
    slots[slot].pad = nullptr;
    // The releases of what it held will never come.
    ReleaseAll(slot);
    handler.DispatchFocusLost(slot);
}

void Gamepad::Hold(std::size_t slot, unsigned key, bool down) {
    int& holders = slots[slot].held[key];
    const int from = static_cast<int>(slot);
    if (down) {
        if (holders++ == 0) handler.DispatchKey(key, 0, from);
    } else if (holders > 0 && --holders == 0) {
        handler.DispatchKey(key, 1, from);
    }
}

void Gamepad::ReleaseAll(std::size_t slot) {
    slots[slot].stickKey = 0;
    slots[slot].buttonKeys.clear();
    // Copied: a release may switch modes, and the new mode's keys may come back here.
    std::map<unsigned, int> releasing;
    releasing.swap(slots[slot].held);
    for (const auto& [key, holders] : releasing)
        if (holders > 0) handler.DispatchKey(key, 1, static_cast<int>(slot));
}
