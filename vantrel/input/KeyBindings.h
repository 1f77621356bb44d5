#pragma once
// The race's keys as the player binds them, kept in settings.ini:
//   [keys]
//   throttle = Up
//   steer_left = A
// by the names KeyName gives.
#include <optional>
#include <string>

class SettingsStore;

/// Which key drives each of the race's actions. Every action has exactly one
/// key and no key serves two actions; the menus' keys (Return, Escape), the
/// function keys and the volume keys 7 to 0 are the game's own and never
/// bound, nor are the race's W (watch) and G (ghost).
class KeyBindings {
public:
    /// What a key does in a race, in the order the options page lists them.
    enum Action { Throttle, Brake, SteerLeft, SteerRight, ChaseView, Spectator, Recover, Pause, ActionCount };
    static const char* const Section;  ///< "keys"

    /// Every action on its default key: the arrows, C, S, R and P.
    KeyBindings();

    /// The key bound to `action` (a virtual-key code).
    unsigned KeyOf(Action action) const { return keys[action]; }
    /// The action `key` is bound to; none for an unbound key.
    std::optional<Action> ActionOf(unsigned key) const;

    /// Why a key cannot be bound: empty when it can.
    enum class Refusal { None, Taken, Reserved, Unknown };
    /// Binds `key` to `action`, unless another action has it (Taken), the
    /// game keeps it (Reserved) or it has no name (Unknown); binding an
    /// action to its own key again is no change and no refusal.
    Refusal Bind(Action action, unsigned key);
    /// Every action back on its default key.
    void Reset() { *this = KeyBindings(); }

    /// The player's words for a refused binding of `key` to `action`: "Up is
    /// already bound to Throttle", "Escape is the game's own key".
    std::string RefusalMessage(Refusal refusal, Action action, unsigned key) const;

    /// The bindings kept in `store` (null: the defaults). A key name that is
    /// unknown or the game's own, or a key that a second action names too,
    /// leaves that action on its default key with one Warn line; should the
    /// default be taken by then, every action goes back to its default.
    static KeyBindings Read(SettingsStore* store);
    /// Keeps every binding in `store` (null: nothing).
    void Keep(SettingsStore* store) const;

    static unsigned DefaultKey(Action action);
    /// "Throttle", "Steer left", ...: the options page's words.
    static const char* ActionName(Action action);
    /// "throttle", "steer_left", ...: the settings file's key.
    static const char* SettingsKey(Action action);
    /// "Up", "Space", "A", "7", "F2": the name of a key the game receives;
    /// empty for a code it never sends.
    static std::string KeyName(unsigned key);
    /// The code of a key by the name KeyName gives it (letters in either
    /// case); 0 for none.
    static unsigned KeyFromName(const std::string& name);
    /// Return, Escape, F1 to F12, 7 to 0, W and G: the menus, the render
    /// options, full screen, the screenshot, the volumes, watching a run
    /// again and the ghost.
    static bool IsReserved(unsigned key);

private:
    unsigned keys[ActionCount];
};
