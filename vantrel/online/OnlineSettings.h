#pragma once
// Who the player is online and where they last joined, as kept in settings.ini:
//   [online]
//   name = Ann
//   address = 192.168.1.20:27440
#include <string>

class SettingsStore;

struct OnlineSettings {
    static const char* const Section;      ///< "online"
    static const char* const DefaultName;  ///< "Player"

    /// The name the other players see (Protocol::IsValidName).
    std::string name = DefaultName;
    /// The address last typed on the online page, host[:port].
    std::string address;

    /// The values kept in `store` (null: the defaults); a name the network
    /// would refuse stays at its default with one Warn line.
    static OnlineSettings Read(SettingsStore* store);
    /// Keeps both in `store` (null: nothing).
    void Keep(SettingsStore* store) const;
};
