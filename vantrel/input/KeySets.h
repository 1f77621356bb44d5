#pragma once
#include <string>

#include "InputDevice.h"
#include "KeyBindings.h"

class SettingsStore;

/// The keyboard's two key sets, for two players at one keyboard: the first
/// (the arrows, C, S, R and P, kept in [keys]) and the second (W A S D, E,
/// Q and Tab, kept in [keys2]). No key serves two actions across them, save
/// the first set's spectator key, which a player alone has and no race with
/// a second player offers; the first set is the older, and where the two
/// disagree in the file the second gives way.
class KeySets {
public:
    /// Both sets on their defaults.
    KeySets() : sets{KeyBindings(KeyBindings::FirstSet), KeyBindings(KeyBindings::SecondSet)} {}

    const KeyBindings& Get(KeyBindings::Set set) const { return sets[Index(set)]; }
    /// The bindings a player on `device` drives with: the second set's for
    /// the second key set, the first's for every other device (the pads'
    /// buttons send the first set's keys).
    const KeyBindings& For(InputDevice device) const;

    /// Binds `key` to `action` in `set` (KeyBindings::Bind), the other set's
    /// keys counting as taken.
    KeyBindings::Refusal Bind(KeyBindings::Set set, KeyBindings::Action action, unsigned key);
    /// The player's words for a refused Bind: "W is already bound to
    /// Throttle of player 2".
    std::string RefusalMessage(KeyBindings::Refusal refusal, KeyBindings::Set set, KeyBindings::Action action,
                               unsigned key) const;
    /// Both sets back on their defaults, which fit together.
    void Reset() { *this = KeySets(); }
    /// The second set back on its defaults; one the first set has is left unbound.
    void ResetSecond();

    /// The sets kept in `store` (null: the defaults), the first read as
    /// KeyBindings::Read does, then the second with the first's keys taken.
    static KeySets Read(SettingsStore* store);
    /// Keeps both sets in `store` (null: nothing).
    void Keep(SettingsStore* store) const;

    /// The device a key event came from, as a join step tells the players
    /// apart: the pad in `padSlot` (EventHandler::GetPadSlot), or for the
    /// keyboard's (EventHandler::NoPad) the second key set when `key` is
    /// one of its own, the first otherwise (Return, the arrows).
    InputDevice DeviceOf(int padSlot, unsigned key) const;

private:
    static int Index(KeyBindings::Set set) { return set == KeyBindings::SecondSet ? 1 : 0; }

    KeyBindings sets[KeyBindings::SetCount];
};
