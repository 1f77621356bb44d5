#include "EventHandler.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <utility>

void EventHandler::EventListener::OnMouse(EventHandler&, int, int, int, int) {}

void EventHandler::EventListener::OnWheel(EventHandler&, int, int, int) {}

void EventHandler::EventListener::OnQuit(EventHandler&) {}

void EventHandler::EventListener::OnFocusLost(EventHandler&) {}
void EventHandler::EventListener::OnChar(EventHandler&, unsigned) {}

EventHandler::EventHandler() : listeners(FocusLostEvent + 1) {}

EventHandler::~EventHandler() = default;

void EventHandler::AddListener(EventType type, EventListener* listener) {
    assert(type >= KeyEvent && type <= FocusLostEvent && "unknown event type");
    if (!listener) return;
    listeners[type].push_back(listener);
}

void EventHandler::RemoveListener(EventType type, EventListener* listener) {
    assert(type >= KeyEvent && type <= FocusLostEvent && "unknown event type");
    std::vector<EventListener*>& list = listeners[type];
    const auto found = std::find(list.begin(), list.end(), listener);
    if (found != list.end()) list.erase(found);
}

unsigned EventHandler::GetListenerCount(EventType type) const {
    assert(type >= KeyEvent && type <= FocusLostEvent && "unknown event type");
    return static_cast<unsigned>(listeners[type].size());
}

EventHandler::EventListener* EventHandler::GetListener(EventType type, unsigned index) const {
    assert(type >= KeyEvent && type <= FocusLostEvent && "unknown event type");
    const std::vector<EventListener*>& list = listeners[type];
    return index < list.size() ? list[index] : nullptr;
}

void EventHandler::HandleMessage(unsigned message, WParam wParam, LParam lParam) {
    // Coordinates are the unsigned low and high words, origin top left.
    const int x = static_cast<int>(LoWord(lParam));
    const int y = static_cast<int>(HiWord(lParam));
    switch (message) {
        case WM_KEYDOWN: DispatchKey(static_cast<unsigned>(wParam), 0); break;
        case WM_KEYUP: DispatchKey(static_cast<unsigned>(wParam), 1); break;
        case WM_CHAR: DispatchChar(static_cast<unsigned>(wParam)); break;
        case WM_MOUSEMOVE: DispatchMouse(x, y, 0, 1); break;
        case WM_LBUTTONDOWN: DispatchMouse(x, y, 1, 0); break;
        case WM_LBUTTONUP: DispatchMouse(x, y, 1, 1); break;
        case WM_MOUSEWHEEL: {
            // The delta is signed in the high word; a fraction of a notch (a
            // smooth wheel's) counts for nothing.
            const int notches = static_cast<std::int16_t>(HiWord(static_cast<LParam>(wParam))) / WheelDelta;
            if (notches != 0) DispatchWheel(x, y, notches);
            break;
        }
        case WM_DESTROY: DispatchQuit(); break;
        case WM_KILLFOCUS: DispatchFocusLost(); break;
        default: break;
    }
}

template <typename Call>
void EventHandler::Dispatch(EventType type, int pad, Call call) {
    // A listener may dispatch events of its own (a click as its key): the
    // outer event's pad is back once they are done.
    const int outer = std::exchange(padSlot, pad);
    // By index and with the size read before every call: listeners may be
    // removed or appended by the very calls made here.
    const std::vector<EventListener*>& list = listeners[type];
    for (std::size_t index = 0; index < list.size(); ++index) call(*list[index]);
    padSlot = outer;
}

void EventHandler::DispatchKey(unsigned key, int state, int pad) {
    Dispatch(KeyEvent, pad < 0 ? NoPad : pad, [&](EventListener& listener) { listener.OnKey(*this, key, state); });
}

void EventHandler::DispatchChar(unsigned character) {
    Dispatch(KeyEvent, NoPad, [&](EventListener& listener) { listener.OnChar(*this, character); });
}

void EventHandler::DispatchMouse(int x, int y, int button, int state) {
    Dispatch(MouseEvent, NoPad, [&](EventListener& listener) { listener.OnMouse(*this, x, y, button, state); });
}

void EventHandler::DispatchWheel(int x, int y, int notches) {
    Dispatch(MouseEvent, NoPad, [&](EventListener& listener) { listener.OnWheel(*this, x, y, notches); });
}

void EventHandler::DispatchQuit() {
    Dispatch(QuitEvent, NoPad, [&](EventListener& listener) { listener.OnQuit(*this); });
}

void EventHandler::DispatchFocusLost(int pad) {
    Dispatch(FocusLostEvent, pad < 0 ? NoPad : pad, [&](EventListener& listener) { listener.OnFocusLost(*this); });
}
