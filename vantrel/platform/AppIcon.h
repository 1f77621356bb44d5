#pragma once
// The window's icon, drawn in code so the program needs no resource file.
#include <cstdint>
#include <vector>

/// Width and height of the icon (px).
constexpr int AppIconSizePx = 48;

/// The icon: an amber "V" over a chequered finish line on a dark rounded
/// square with transparent corners.
/// @return AppIconSizePx × AppIconSizePx pixels as 0xAARRGGBB, rows top-down
std::vector<std::uint32_t> MakeAppIcon();
