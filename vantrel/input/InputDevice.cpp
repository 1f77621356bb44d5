#include "InputDevice.h"

#include "EventHandler.h"

bool InputDevice::Hears(int padSlot) const {
    switch (kind) {
    case Keys: return padSlot == EventHandler::NoPad;
    case Pad: return padSlot != EventHandler::NoPad && padSlot == index;
    default: return true;
    }
}

std::string InputDevice::Name() const {
    switch (kind) {
    case Keys: return "Keys " + std::to_string(index + 1);
    case Pad: return "Pad " + std::to_string(index + 1);
    default: return "Every device";
    }
}
