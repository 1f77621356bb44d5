#include "EventTranslator.h"

#include <SDL2/SDL.h>

unsigned VirtualKeyFromSdl(std::int32_t sdlKey) {
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z) return static_cast<unsigned>(sdlKey - SDLK_a) + 'A';
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) return static_cast<unsigned>(sdlKey - SDLK_0) + '0';
    // SDL numbers F1 to F12 consecutively, as Win32 does.
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12) return static_cast<unsigned>(sdlKey - SDLK_F1) + VK_F1;
    switch (sdlKey) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        default: return 0;
    }
}

namespace {

/// The button message for an SDL mouse button, or 0 for buttons past the middle one.
unsigned ButtonMessage(std::uint8_t button, bool down) {
    switch (button) {
        case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        default: return 0;
    }
}

bool Set(WindowMessage& message, unsigned id, WParam wParam, LParam lParam) {
    message.message = id;
    message.wParam = wParam;
    message.lParam = lParam;
    return true;
}

}  // namespace

bool TranslateEvent(const SDL_Event& event, WindowMessage& message) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const unsigned key = VirtualKeyFromSdl(event.key.keysym.sym);
            if (key == 0) return false;
            return Set(message, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key, 0);
        }
        case SDL_TEXTINPUT: {
            // One character a message; the lines typed (names, addresses)
            // are printable ASCII, so anything else is not taken.
            const unsigned char c = static_cast<unsigned char>(event.text.text[0]);
            if (c < 0x20 || c > 0x7e || event.text.text[1] != '\0') return false;
            return Set(message, WM_CHAR, c, 0);
        }
        case SDL_MOUSEMOTION:
            // Touch input arrives twice, as touch and as a synthetic mouse; the
            // game takes the mouse only.
            if (event.motion.which == SDL_TOUCH_MOUSEID) return false;
            return Set(message, WM_MOUSEMOVE, 0, MakeLParam(event.motion.x, event.motion.y));
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (event.button.which == SDL_TOUCH_MOUSEID) return false;
            const unsigned id = ButtonMessage(event.button.button, event.type == SDL_MOUSEBUTTONDOWN);
            if (id == 0) return false;
            return Set(message, id, 0, MakeLParam(event.button.x, event.button.y));
        }
        case SDL_MOUSEWHEEL: {
            if (event.wheel.which == SDL_TOUCH_MOUSEID || event.wheel.y == 0) return false;
            const int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            const WParam delta = static_cast<std::uint16_t>(static_cast<std::int16_t>(notches * WheelDelta));
            return Set(message, WM_MOUSEWHEEL, delta << 16, MakeLParam(event.wheel.mouseX, event.wheel.mouseY));
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) return Set(message, WM_DESTROY, 0, 0);
            // SIZE_CHANGED rather than RESIZED: it also follows sizes set by the program.
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                return Set(message, WM_SIZE, 0, MakeLParam(event.window.data1, event.window.data2));
            // The keyboard went elsewhere: keys released meanwhile will not arrive.
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) return Set(message, WM_KILLFOCUS, 0, 0);
            return false;
        case SDL_QUIT:
            return Set(message, WM_DESTROY, 0, 0);
        default:
            return false;
    }
}

bool PeekWindowMessage(WindowMessage& message, const std::function<void(const SDL_Event&)>& deviceEvent) {
    SDL_Event event;
    // One message a frame: when frames are slow, auto-repeats pile up in front
    // of the key's release and the car would keep steering for seconds. A
    // repeat with more events queued behind it is stale and dropped.
    for (;;) {
        if (!SDL_PollEvent(&event)) return false;
        // The joystick and controller events, up to the touch events.
        if (event.type >= SDL_JOYAXISMOTION && event.type < SDL_FINGERDOWN) {
            if (deviceEvent) deviceEvent(event);
            continue;
        }
        if (event.type == SDL_KEYDOWN && event.key.repeat && SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) continue;
        if (event.type == SDL_MOUSEMOTION && SDL_HasEvent(SDL_MOUSEMOTION)) continue;
        return TranslateEvent(event, message);
    }
}
