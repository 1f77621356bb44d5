#pragma once
// SDL events in, Win32-style window messages out: the input half of the
// platform layer.
#include <cstdint>
#include <functional>

#include "WindowMessage.h"

union SDL_Event;

/// The virtual-key code of an SDL key: Return (and keypad Enter) 13, Escape
/// 27, the arrows 37 to 40, letters and digits as upper-case ASCII, F1 to F12
/// 112 to 123, and Backspace, Tab and Space.
/// @return 0 for any other key
unsigned VirtualKeyFromSdl(std::int32_t sdlKey);

/// Turns one SDL event into the message the window procedure expects: key
/// down and up (auto-repeat included) with the virtual-key code in wParam;
/// mouse movement and the left, right and middle buttons with the client-area
/// position packed into lParam; the wheel as WM_MOUSEWHEEL, its signed delta
/// (WheelDelta a notch, positive away from the player) in wParam's high word
/// and the pointer's client-area position in lParam; the window's close request, and SDL's quit
/// event (which SIGINT and SIGTERM raise), as WM_DESTROY; a size change as
/// WM_SIZE with the new client size packed into lParam; the loss of the keyboard
/// focus as WM_KILLFOCUS.
/// @return false when the event means nothing to the game
bool TranslateEvent(const SDL_Event& event, WindowMessage& message);

/// Takes at most one event off the queue, never waiting, and translates it.
/// Joystick and controller events on the way are handed to `deviceEvent`
/// (dropped without one) and cost no message: a moving stick sends dozens a
/// second, and the keyboard's messages would wait behind them. For the same
/// reason a mouse movement with another one queued behind it is dropped:
/// the last one tells where the pointer is.
/// @return true when an event was taken and it became `message`
bool PeekWindowMessage(WindowMessage& message,
                       const std::function<void(const SDL_Event&)>& deviceEvent = nullptr);
