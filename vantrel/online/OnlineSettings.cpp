#include "OnlineSettings.h"

#include <iostream>
#include <optional>

#include "net/HostAddress.h"
#include "net/Protocol.h"
#include "storage/SettingsStore.h"

const char* const OnlineSettings::Section = "online";
const char* const OnlineSettings::DefaultName = "Player";

namespace {

const char* const NameKey = "name";
const char* const AddressKey = "address";

}  // namespace

OnlineSettings OnlineSettings::Read(SettingsStore* store) {
    OnlineSettings settings;
    if (!store) return settings;
    if (const std::optional<std::string> name = store->Get(Section, NameKey); name && !name->empty()) {
        if (Protocol::IsValidName(*name))
            settings.name = *name;
        else
            std::cout << "[WARN] OnlineSettings: [" << Section << "] " << NameKey << " = \"" << *name
                      << "\" is no name the others can be shown (1 to " << Protocol::MaxNameLength
                      << " printable characters), " << DefaultName << " it is" << std::endl;
    }
    if (const std::optional<std::string> address = store->Get(Section, AddressKey);
        address && address->size() <= HostAddress::MaxTextLength)
        settings.address = *address;
    return settings;
}

void OnlineSettings::Keep(SettingsStore* store) const {
    if (!store) return;
    store->Set(Section, NameKey, name);
    store->Set(Section, AddressKey, address);
}
