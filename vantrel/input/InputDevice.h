#pragma once
#include <string>

#include "KeyBindings.h"

/// What one local player drives with: one of the keyboard's key sets, or
/// the pad in one of the pads' slots (Gamepad); or, for a player alone,
/// every device at once: the first key set and every pad, merged.
class InputDevice {
public:
    enum Kind { Every, Keys, Pad };

    /// Every device: how a player alone plays.
    InputDevice() = default;
    /// The keyboard's key set `set`.
    static InputDevice KeySet(KeyBindings::Set set) { return InputDevice(Keys, set); }
    /// The pad in `slot` (Gamepad's, from 0).
    static InputDevice PadSlot(int slot) { return InputDevice(Pad, slot); }

    Kind GetKind() const { return kind; }
    /// The key set (KeyBindings::Set) or the pad's slot; 0 for Every.
    int GetIndex() const { return index; }
    /// Whether a key event from the pad in `padSlot` (EventHandler::NoPad
    /// for the keyboard: EventHandler::GetPadSlot) comes from this device.
    /// For a key set, which of the keyboard's keys are its own is for its
    /// bindings to say.
    bool Hears(int padSlot) const;

    bool operator==(const InputDevice& other) const { return kind == other.kind && index == other.index; }
    bool operator!=(const InputDevice& other) const { return !(*this == other); }

    /// "Every device", "Keys 1", "Keys 2", "Pad 1": numbered from 1, as the
    /// players see them.
    std::string Name() const;

private:
    InputDevice(Kind kind, int index) : kind(kind), index(index) {}

    Kind kind = Every;
    int index = 0;
};
