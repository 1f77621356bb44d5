#include "DisplaySettings.h"

#include <iostream>
#include <optional>
#include <string>

#include "storage/SettingsStore.h"

const char* const DisplaySettings::Section = "display";

namespace {

const char* const SpeedUnitKey = "speed_unit";
const char* const FrameRateKey = "frame_rate";

const char* UnitKey(SpeedUnit unit) { return unit == SpeedUnit::Mph ? "mph" : "kmh"; }

}  // namespace

DisplaySettings DisplaySettings::Read(SettingsStore* store) {
    DisplaySettings settings;
    if (!store) return settings;
    if (const std::optional<std::string> text = store->Get(Section, SpeedUnitKey); text && !text->empty()) {
        if (*text == UnitKey(SpeedUnit::Mph))
            settings.speedUnit = SpeedUnit::Mph;
        else if (*text != UnitKey(SpeedUnit::Kmh))
            std::cout << "[WARN] DisplaySettings: [" << Section << "] " << SpeedUnitKey << " = \"" << *text
                      << "\" is neither kmh nor mph, kmh it is" << std::endl;
    }
    settings.showFrameRate = store->GetFlag(Section, FrameRateKey, settings.showFrameRate);
    return settings;
}

void DisplaySettings::Keep(SettingsStore* store) const {
    if (!store) return;
    store->Set(Section, SpeedUnitKey, UnitKey(speedUnit));
    store->SetFlag(Section, FrameRateKey, showFrameRate);
}
