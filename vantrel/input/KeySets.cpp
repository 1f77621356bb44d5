#include "KeySets.h"

#include "EventHandler.h"

const KeyBindings& KeySets::For(InputDevice device) const {
    const bool second = device.GetKind() == InputDevice::Keys && device.GetIndex() == KeyBindings::SecondSet;
    return Get(second ? KeyBindings::SecondSet : KeyBindings::FirstSet);
}

KeyBindings::Refusal KeySets::Bind(KeyBindings::Set set, KeyBindings::Action action, unsigned key) {
    return sets[Index(set)].Bind(action, key, &sets[1 - Index(set)]);
}

std::string KeySets::RefusalMessage(KeyBindings::Refusal refusal, KeyBindings::Set set, KeyBindings::Action action,
                                    unsigned key) const {
    return sets[Index(set)].RefusalMessage(refusal, action, key, &sets[1 - Index(set)]);
}

void KeySets::ResetSecond() { sets[1] = KeyBindings::Read(nullptr, KeyBindings::SecondSet, &sets[0]); }

KeySets KeySets::Read(SettingsStore* store) {
    KeySets keys;
    keys.sets[0] = KeyBindings::Read(store);
    keys.sets[1] = KeyBindings::Read(store, KeyBindings::SecondSet, &keys.sets[0]);
    return keys;
}

void KeySets::Keep(SettingsStore* store) const {
    for (const KeyBindings& set : sets) set.Keep(store);
}

InputDevice KeySets::DeviceOf(int padSlot, unsigned key) const {
    if (padSlot >= 0) return InputDevice::PadSlot(padSlot);
    return InputDevice::KeySet(sets[1].ActionOf(key) ? KeyBindings::SecondSet : KeyBindings::FirstSet);
}
