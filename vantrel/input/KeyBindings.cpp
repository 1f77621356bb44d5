#include "KeyBindings.h"

#include <cctype>
#include <iostream>

#include "GameKeys.h"
#include "platform/WindowMessage.h"
#include "storage/SettingsStore.h"

const char* const KeyBindings::Section = "keys";

namespace {

struct ActionInfo {
    unsigned key;
    const char* name;
    const char* settingsKey;
};

// In the order of KeyBindings::Action.
const ActionInfo Actions[KeyBindings::ActionCount] = {
    {VK_UP, "Throttle", "throttle"},
    {VK_DOWN, "Brake", "brake"},
    {VK_LEFT, "Steer left", "steer_left"},
    {VK_RIGHT, "Steer right", "steer_right"},
    {'C', "Chase view", "chase_view"},
    {'S', "Spectator camera", "spectator"},
    {GameKeys::Recover, "Back on the road", "recover"},
    {GameKeys::Pause, "Pause", "pause"},
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

void Warn(KeyBindings::Action action, const std::string& text, const std::string& why, const std::string& outcome) {
    std::cout << "[WARN] KeyBindings: [" << KeyBindings::Section << "] " << KeyBindings::SettingsKey(action) << " = \""
              << text << "\" " << why << ", " << outcome << std::endl;
}

}  // namespace

KeyBindings::KeyBindings() {
    for (int i = 0; i < ActionCount; ++i) keys[i] = Actions[i].key;
}

std::optional<KeyBindings::Action> KeyBindings::ActionOf(unsigned key) const {
    for (int i = 0; i < ActionCount; ++i)
        if (keys[i] == key) return static_cast<Action>(i);
    return std::nullopt;
}

KeyBindings::Refusal KeyBindings::Bind(Action action, unsigned key) {
    if (KeyName(key).empty()) return Refusal::Unknown;
    if (IsReserved(key)) return Refusal::Reserved;
    const std::optional<Action> holder = ActionOf(key);
    if (holder && *holder != action) return Refusal::Taken;
    keys[action] = key;
    return Refusal::None;
}

std::string KeyBindings::RefusalMessage(Refusal refusal, Action action, unsigned key) const {
    const std::string name = KeyName(key);
    switch (refusal) {
    case Refusal::Taken: {
        const std::optional<Action> holder = ActionOf(key);
        return name + " is already bound to " + (holder ? ActionName(*holder) : "another action");
    }
    case Refusal::Reserved: return name + " is the game's own key";
    case Refusal::Unknown: return std::string("That key cannot be bound to ") + ActionName(action);
    default: return "";
    }
}

KeyBindings KeyBindings::Read(SettingsStore* store) {
    KeyBindings bindings;
    if (!store) return bindings;
    for (int i = 0; i < ActionCount; ++i) bindings.keys[i] = 0;
    for (int i = 0; i < ActionCount; ++i) {
        const Action action = static_cast<Action>(i);
        unsigned key = DefaultKey(action);
        if (const std::optional<std::string> text = store->Get(Section, SettingsKey(action)); text && !text->empty()) {
            const unsigned named = KeyFromName(*text);
            if (named == 0 || IsReserved(named)) {
                Warn(action, *text, "is no key a race can have", KeyName(key) + " it is");
            } else if (const std::optional<Action> holder = bindings.ActionOf(named)) {
                Warn(action, *text, std::string("is bound to ") + ActionName(*holder) + " already",
                     KeyName(key) + " it is");
            } else {
                key = named;
            }
        }
        if (bindings.ActionOf(key)) {
            // The default went to an earlier action: only the defaults are sure to fit together.
            std::cout << "[WARN] KeyBindings: [" << Section << "] " << SettingsKey(action) << " cannot have "
                      << KeyName(key) << ", every key is back on its default" << std::endl;
            return KeyBindings();
        }
        bindings.keys[i] = key;
    }
    return bindings;
}

void KeyBindings::Keep(SettingsStore* store) const {
    if (!store) return;
    for (int i = 0; i < ActionCount; ++i) store->Set(Section, SettingsKey(static_cast<Action>(i)), KeyName(keys[i]));
}

unsigned KeyBindings::DefaultKey(Action action) { return action < ActionCount ? Actions[action].key : 0; }

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

bool KeyBindings::IsReserved(unsigned key) {
    return key == VK_RETURN || key == VK_ESCAPE || (key >= VK_F1 && key <= VK_F12) || key == '7' || key == '8' ||
           key == '9' || key == '0' || key == GameKeys::Watch || key == GameKeys::Ghost;
}
