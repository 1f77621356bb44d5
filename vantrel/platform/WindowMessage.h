#pragma once
// The window messages and virtual-key codes the game's event handler reads.
// The values are those of Win32, so the key bindings keep their documented
// codes whatever window system delivers the input.
#include <cstdint>

/// First message parameter: a key code or a size type.
using WParam = std::uintptr_t;
/// Second message parameter: two packed 16-bit values (x, y or width, height).
using LParam = std::intptr_t;
/// What the window procedure returns for a message.
using LResult = std::intptr_t;

/// Message identifiers (Win32 values).
enum WindowMessageId : unsigned {
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_KILLFOCUS = 0x0008,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,  ///< a character typed, its code in the first parameter
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
};

/// One notch of the mouse wheel in WM_MOUSEWHEEL's delta.
constexpr int WheelDelta = 120;

/// Virtual-key codes (Win32 values). Letters and digits are their upper-case
/// ASCII codes and have no names of their own.
enum VirtualKey : unsigned {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_F1 = 0x70,
    VK_F12 = 0x7B,
};

/// One translated message, as the window procedure receives it.
struct WindowMessage {
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

/// Packs two 16-bit values the way Win32 packs coordinates and sizes; each is
/// cut to its low 16 bits.
constexpr LParam MakeLParam(int low, int high) {
    return static_cast<LParam>((static_cast<std::uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16));
}

/// Low 16 bits of a parameter, unsigned.
constexpr unsigned LoWord(LParam value) { return static_cast<std::uint32_t>(value) & 0xFFFFu; }
/// Bits 16 to 31 of a parameter, unsigned.
constexpr unsigned HiWord(LParam value) { return (static_cast<std::uint32_t>(value) >> 16) & 0xFFFFu; }
