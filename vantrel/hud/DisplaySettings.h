#pragma once
// What the HUD shows, as the player sets it in settings.ini:
//   [display]
//   speed_unit = mph
//   frame_rate = true
#include "SpeedUnit.h"

class SettingsStore;

struct DisplaySettings {
    static const char* const Section;  ///< "display"

    SpeedUnit speedUnit = SpeedUnit::Kmh;
    /// The frames a second in a corner of the show room and the race.
    bool showFrameRate = false;

    /// The values kept in `store` (null: the defaults); a unit other than
    /// "kmh" or "mph" or a flag other than "true" or "false" stays at its
    /// default with one Warn line.
    static DisplaySettings Read(SettingsStore* store);
    /// Keeps both values in `store` (null: nothing).
    void Keep(SettingsStore* store) const;
};
