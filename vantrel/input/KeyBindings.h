#pragma once
// The race's keys as the player binds them, kept in settings.ini:
//   [keys]
//   throttle = Up
//   steer_left = A
//   [keys2]
//   throttle = W
// by the names KeyName gives: [keys] the first key set's, [keys2] the
// second's, which a second player at the same keyboard drives with.
#include <optional>
#include <string>

class SettingsStore;

/// Which key drives each of the race's actions in one key set. Every action
/// has exactly one key (the second set has no spectator camera, which only
/// a player alone has) and no key serves two actions; the menus' keys
/// (Return, Escape), the function keys and the volume keys 7 to 0 are the
/// game's own and never bound, nor is the race's G (ghost), nor in the first
/// set W (watch): watching a run again is a player alone's, so the second
/// set may drive with it.
///
/// Where both sets are in use (KeySets), the keys of the other set count as
/// taken too, save the first set's spectator key: no race offers it while a
/// second player drives.
class KeyBindings {
public:
    /// What a key does in a race, in the order the options page lists them.
    enum Action { Throttle, Brake, SteerLeft, SteerRight, ChaseView, Spectator, Recover, Pause, ActionCount };
    /// The keyboard's key sets: the arrows' and the letters'.
    enum Set { FirstSet, SecondSet, SetCount };
    static const char* const Section;        ///< "keys", the first set's
    static const char* const SecondSection;  ///< "keys2"

    /// Every action on its default key: the arrows, C, S, R and P.
    KeyBindings() : KeyBindings(FirstSet) {}
    /// Every action of `set` on its default key; the second set's are W, S,
    /// A, D, E (chase view), Q (back on the road) and Tab (pause).
    explicit KeyBindings(Set set);

    Set GetSet() const { return set; }
    /// The key bound to `action` (a virtual-key code); 0 for none (the
    /// second set's spectator camera, an action left unbound by Read).
    unsigned KeyOf(Action action) const { return keys[action]; }
    /// The action `key` is bound to; none for an unbound key.
    std::optional<Action> ActionOf(unsigned key) const;
    /// Whether `set` has `action` at all: every action but the second set's
    /// spectator camera.
    static bool Has(Set set, Action action) {
        return action < ActionCount && !(set == SecondSet && action == Spectator);
    }

    /// Why a key cannot be bound: empty when it can.
    enum class Refusal { None, Taken, TakenByOtherSet, Reserved, Unknown };
    /// Binds `key` to `action`, unless another action has it (Taken), an
    /// action of `other`, the other set, has it (TakenByOtherSet), the game
    /// keeps it (Reserved) or it has no name (Unknown); binding an action to
    /// its own key again is no change and no refusal. An action the set
    /// does not have is Unknown.
    Refusal Bind(Action action, unsigned key, const KeyBindings* other = nullptr);
    /// Every action back on its default key.
    void Reset() { *this = KeyBindings(set); }

    /// The player's words for a refused binding of `key` to `action`: "Up is
    /// already bound to Throttle", "W is already bound to Throttle of player
    /// 2" (`other` the set holding it), "Escape is the game's own key".
    std::string RefusalMessage(Refusal refusal, Action action, unsigned key, const KeyBindings* other = nullptr) const;

    /// The first set's bindings kept in `store` (null: the defaults). A key
    /// name that is unknown or the game's own, or a key that a second action
    /// names too, leaves that action on its default key with one Warn line;
    /// should the default be taken by then, every action goes back to its
    /// default.
    static KeyBindings Read(SettingsStore* store) { return Read(store, FirstSet, nullptr); }
    /// The bindings of `set` kept in `store`, as Read does, where the keys of
    /// `other` (the other set, read first; null for none) count as taken:
    /// one named there leaves the action on its default key with one Warn
    /// line, and a default key `other` has (bound before this set had it)
    /// leaves the action unbound, with one Warn line too.
    static KeyBindings Read(SettingsStore* store, Set set, const KeyBindings* other);
    /// Keeps every binding in `store` (null: nothing), in the set's section;
    /// an unbound action as an empty value.
    void Keep(SettingsStore* store) const;

    /// The first set's default key of `action`.
    static unsigned DefaultKey(Action action) { return DefaultKey(FirstSet, action); }
    /// 0 for an action the set does not have.
    static unsigned DefaultKey(Set set, Action action);
    /// The settings file's section of `set`: Section or SecondSection.
    static const char* SectionOf(Set set);
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
    static bool IsReserved(unsigned key) { return IsReserved(key, FirstSet); }
    /// The keys `set` never has: those of IsReserved, W only in the first set.
    static bool IsReserved(unsigned key, Set set);

private:
    /// The action of `other` that keeps `key` from this set's `action`;
    /// none when `other` is null or the key may serve both (the first set's
    /// spectator key is a player alone's).
    std::optional<Action> OtherSetHolder(const KeyBindings* other, Action action, unsigned key) const;
    /// The defaults of `set`, an action whose default key `other` has left unbound.
    static KeyBindings Defaults(Set set, const KeyBindings* other);

    Set set;
    unsigned keys[ActionCount];
};
