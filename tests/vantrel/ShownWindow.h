#pragma once
// The game's window as the X server shows it, apart from the tests that read
// it: X11's names (Font, Window, None) clash with the game's.
#include <cstdint>
#include <vector>

/// What the current GL context's window shows since its last swap, RGB with
/// the bottom row first (as glReadPixels gives them), read over the X
/// connection GL swaps through, so after the swap's own image; empty when
/// it cannot be read.
std::vector<std::uint8_t> ReadShownWindow(int width, int height);
