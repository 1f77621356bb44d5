#include "KeyBindings.h"

#include <cctype>
#include <iostream>

#include "GameKeys.h"
#include "platform/WindowMessage.h"
#include "storage/SettingsStore.h"

const char* const KeyBindings::Section = "keys";
const char* const KeyBindings::SecondSection = "keys2";

namespace {

struct ActionInfo {
    unsigned key;        ///< the first set's default
    unsigned secondKey;  ///< the second set's; 0 for an action it lacks
    const char* name;
    const char* settingsKey;
};

// In the order of KeyBindings::Action. The second set's defaults share no
// key with the first's but S, which is the first set's spectator camera
// only while a player drives alone.
const ActionInfo Actions[KeyBindings::ActionCount] = {
    {VK_UP, 'W', "Throttle", "throttle"},
    {VK_DOWN, 'S', "Brake", "brake"},
    {VK_LEFT, 'A', "Steer left", "steer_left"},
    {VK_RIGHT, 'D', "Steer right", "steer_right"},
    {'C', 'E', "Chase view", "chase_view"},
    {'S', 0, "Spectator camera", "spectator"},
    {GameKeys::Recover, 'Q', "Back on the road", "recover"},
    {GameKeys::Pause, VK_TAB, "Pause", "pause"},
};

// The keys with names of their own among those the platform layer sends.
struct NamedKey {
    unsigned key;
    const char* name;
};
const NamedKey NamedKeys[] = {
    {VK_BACK, "Backspace"}, {VK_TAB, "Tab"},     {VK_RETURN, "Return"}, {VK_ESCAPE, "Escape"}, {VK_SPACE, "Space"},
    {VK_LEFT, "Left"},      {VK_UP, "Up"},       {VK_RIGHT, "Right"},   {VK_DOWN, "Down"},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void Warn(KeyBindings::Set set, KeyBindings::Action action, const std::string& text, const std::string& why,
          const std::string& outcome) {
    std::cout << "[WARN] KeyBindings: [" << KeyBindings::SectionOf(set) << "] " << KeyBindings::SettingsKey(action)
              << " = \"" << text << "\" " << why << ", " << outcome << std::endl;
}

/// " of player 2": whose set `bindings` is, as the options page names the sets.
std::string OfPlayer(const KeyBindings& bindings) {
    return " of player " + std::to_string(static_cast<int>(bindings.GetSet()) + 1);
}

}  // namespace

KeyBindings::KeyBindings(Set set) : set(set) {
    for (int i = 0; i < ActionCount; ++i) keys[i] = DefaultKey(set, static_cast<Action>(i));
}

std::optional<KeyBindings::Action> KeyBindings::ActionOf(unsigned key) const {
    if (key == 0) return std::nullopt;  // an unbound action's
    for (int i = 0; i < ActionCount; ++i)
        if (keys[i] == key) return static_cast<Action>(i);
    return std::nullopt;
}

std::optional<KeyBindings::Action> KeyBindings::OtherSetHolder(const KeyBindings* other, Action action,
                                                              unsigned key) const {
    if (!other) return std::nullopt;
    // The first set's spectator camera is a player alone's: the second set is never in use beside it.
    if (set == FirstSet && action == Spectator) return std::nullopt;
    const std::optional<Action> holder = other->ActionOf(key);
    if (holder && other->set == FirstSet && *holder == Spectator) return std::nullopt;
    return holder;
}

KeyBindings KeyBindings::Defaults(Set set, const KeyBindings* other) {
    KeyBindings bindings(set);
    for (int i = 0; i < ActionCount; ++i)
        if (bindings.OtherSetHolder(other, static_cast<Action>(i), bindings.keys[i])) bindings.keys[i] = 0;
    return bindings;
}

KeyBindings::Refusal KeyBindings::Bind(Action action, unsigned key, const KeyBindings* other) {
    if (!Has(set, action) || KeyName(key).empty()) return Refusal::Unknown;
    if (IsReserved(key, set)) return Refusal::Reserved;
    const std::optional<Action> holder = ActionOf(key);
    if (holder && *holder != action) return Refusal::Taken;
    if (OtherSetHolder(other, action, key)) return Refusal::TakenByOtherSet;
    keys[action] = key;
    return Refusal::None;
}

std::string KeyBindings::RefusalMessage(Refusal refusal, Action action, unsigned key, const KeyBindings* other) const {
    const std::string name = KeyName(key);
    switch (refusal) {
    case Refusal::Taken: {
        const std::optional<Action> holder = ActionOf(key);
        return name + " is already bound to " + (holder ? ActionName(*holder) : "another action");
    }
    case Refusal::TakenByOtherSet: {
        const std::optional<Action> holder = OtherSetHolder(other, action, key);
        return holder ? name + " is already bound to " + ActionName(*holder) + OfPlayer(*other)
                      : name + " is already bound to another player's action";
    }
    case Refusal::Reserved: return name + " is the game's own key";
    case Refusal::Unknown: return std::string("That key cannot be bound to ") + ActionName(action);
    default: return "";
    }
}

KeyBindings KeyBindings::Read(SettingsStore* store, Set set, const KeyBindings* other) {
    const KeyBindings defaults = Defaults(set, other);
    if (!store) return defaults;
    KeyBindings bindings(set);
    for (unsigned& key : bindings.keys) key = 0;
    for (int i = 0; i < ActionCount; ++i) {
        const Action action = static_cast<Action>(i);
        if (!Has(set, action)) continue;
        unsigned key = defaults.keys[i];
        const std::string outcome = key != 0 ? KeyName(key) + " it is" : "unbound";
        if (const std::optional<std::string> text = store->Get(SectionOf(set), SettingsKey(action));
            text && !text->empty()) {
            const unsigned named = KeyFromName(*text);
            std::optional<Action> holder;
            if (named == 0 || IsReserved(named, set)) {
                Warn(set, action, *text, "is no key a race can have", outcome);
            } else if ((holder = bindings.ActionOf(named))) {
                Warn(set, action, *text, std::string("is bound to ") + ActionName(*holder) + " already", outcome);
            } else if ((holder = bindings.OtherSetHolder(other, action, named))) {
                Warn(set, action, *text, std::string("is bound to ") + ActionName(*holder) + OfPlayer(*other) +
                                             " already", outcome);
            } else {
                key = named;
            }
        } else if (const unsigned wanted = DefaultKey(set, action);
                   const std::optional<Action> holder = bindings.OtherSetHolder(other, action, wanted)) {
            // The other set took this default while this set had no key kept:
            // the player binds one on the options page.
            std::cout << "[WARN] KeyBindings: [" << SectionOf(set) << "] " << SettingsKey(action) << " cannot have "
                      << KeyName(wanted) << ", bound to " << ActionName(*holder) << OfPlayer(*other)
                      << " already: unbound" << std::endl;
        }
        if (bindings.ActionOf(key)) {
            // The default went to an earlier action: only the defaults are sure to fit together.
            std::cout << "[WARN] KeyBindings: [" << SectionOf(set) << "] " << SettingsKey(action) << " cannot have "
                      << KeyName(key) << ", every key is back on its default" << std::endl;
            return defaults;
        }
        bindings.keys[i] = key;
    }
    return bindings;
}

void KeyBindings::Keep(SettingsStore* store) const {
    if (!store) return;
    for (int i = 0; i < ActionCount; ++i) {
        const Action action = static_cast<Action>(i);
        if (Has(set, action)) store->Set(SectionOf(set), SettingsKey(action), KeyName(keys[i]));
    }
}

unsigned KeyBindings::DefaultKey(Set set, Action action) {
    if (action >= ActionCount) return 0;
    return set == SecondSet ? Actions[action].secondKey : Actions[action].key;
}

const char* KeyBindings::SectionOf(Set set) { return set == SecondSet ? SecondSection : Section; }

const char* KeyBindings::ActionName(Action action) { return action < ActionCount ? Actions[action].name : "?"; }

const char* KeyBindings::SettingsKey(Action action) {
    return action < ActionCount ? Actions[action].settingsKey : "?";
}

std::string KeyBindings::KeyName(unsigned key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
    for (const NamedKey& named : NamedKeys)
        if (named.key == key) return named.name;
    return "";
}

unsigned KeyBindings::KeyFromName(const std::string& name) {
    if (name.size() == 1) {
        const unsigned c = static_cast<unsigned>(std::toupper(static_cast<unsigned char>(name[0])));
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : 0;
    }
    const std::string lower = Lower(name);
    for (unsigned key = VK_F1; key <= VK_F12; ++key)
        if (lower == Lower(KeyName(key))) return key;
    for (const NamedKey& named : NamedKeys)
        if (lower == Lower(named.name)) return named.key;
    return 0;
}

bool KeyBindings::IsReserved(unsigned key, Set set) {
    return key == VK_RETURN || key == VK_ESCAPE || (key >= VK_F1 && key <= VK_F12) || key == '7' || key == '8' ||
           key == '9' || key == '0' || (key == GameKeys::Watch && set == FirstSet) || key == GameKeys::Ghost;
}
