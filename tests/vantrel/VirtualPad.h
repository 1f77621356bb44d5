#pragma once
// SDL's virtual joystick as a game controller: SDL maps one of this type with
// the standard buttons and axes in SDL's own order, so the button and axis
// numbers are SDL_CONTROLLER_BUTTON_* and SDL_CONTROLLER_AXIS_*.
#include <utility>
#include <vector>

#include <SDL2/SDL.h>

#include "input/Gamepad.h"
#include "platform/EventTranslator.h"

/// A pad plugged in for as long as it lives (or until Unplug), whose rumble
/// requests are recorded. Needs SDL's joystick layer started.
class VirtualPad {
public:
    /// `model` 0 is SDL's plain virtual pad; others are each a model of their
    /// own (a GUID of its own), as two makes of pad are.
    explicit VirtualPad(Uint16 model = 0) {
        // SDL drops pad input while none of the process's windows has the
        // keyboard focus, and another test's window may take it at any time.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        // pid.codes' test vendor: no mapping of SDL's database is a real pad's.
        desc.vendor_id = model ? 0x1209 : 0;
        desc.product_id = model;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MISC1;
        desc.userdata = this;
        desc.Rumble = [](void* self, Uint16 low, Uint16 high) {
            static_cast<VirtualPad*>(self)->rumbles.emplace_back(low, high);
            return 0;
        };
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        joystick = index < 0 ? nullptr : SDL_JoystickOpen(index);
        // A virtual trigger's travel is the whole axis: at rest it would be half pressed.
        Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0.0f);
        Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.0f);
    }
    ~VirtualPad() { Unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool IsPlugged() const { return joystick != nullptr; }
    void Unplug() {
        if (!joystick) return;
        // By its device index now: pads unplugged before it moved it down.
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                return;
            }
    }
    void Button(SDL_GameControllerButton button, bool down) { SDL_JoystickSetVirtualButton(joystick, button, down); }
    /// A stick axis, -1 ... 1.
    void Stick(SDL_GameControllerAxis axis, float value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value * 32767.0f));
    }
    /// A trigger, 0 ... 1.
    void Trigger(SDL_GameControllerAxis axis, float value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(-32768.0f + value * 65535.0f));
    }

    /// Low- and high-frequency strengths of every rumble asked for, in order.
    std::vector<std::pair<Uint16, Uint16>> rumbles;

private:
    SDL_Joystick* joystick = nullptr;
};

/// Runs the game's event pump until the queue is empty: the joystick and
/// controller events go to `pad`, the rest is dropped.
inline void PumpPadEvents(Gamepad& pad) {
    SDL_PumpEvents();
    WindowMessage message;
    while (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT))
        PeekWindowMessage(message, [&pad](const SDL_Event& event) { pad.HandleEvent(event); });
}
