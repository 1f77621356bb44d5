#pragma once

/// What the speed dial and the speed on the HUD are read in.
enum class SpeedUnit { Kmh, Mph };

/// Units of `unit` in one metre a second.
constexpr float SpeedPerMs(SpeedUnit unit) { return unit == SpeedUnit::Mph ? 3600.0f / 1609.344f : 3.6f; }
/// "km/h" or "mph", as the HUD writes it.
constexpr const char* SpeedUnitName(SpeedUnit unit) { return unit == SpeedUnit::Mph ? "mph" : "km/h"; }
