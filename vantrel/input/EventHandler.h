#pragma once
#include <vector>

#include "platform/WindowMessage.h"

/// Turns the window messages that matter to the game into key, mouse, quit
/// and focus-lost events and hands each to every listener registered for its
/// kind, in registration order. The application owns the one handler of the program
/// and feeds it every message its window procedure sees.
///
/// NOTE: listeners may add and remove listeners while an event is being
/// dispatched (a mode made or deleted from a callback would). Dispatch walks the list by index and
/// reads its size again before every call, so a listener appended during a
/// dispatch receives the same event, and when a listener is removed the one
/// that moves into the current index is skipped for that event.
///
/// A key event carries where it came from: the keyboard, or a pad's slot
/// when a pad's button sent it (Gamepad), which a listener asks for while
/// the event is dispatched (GetPadSlot); listeners that do not ask take every
/// key as before.
class EventHandler {
public:
    /// Kind of event, and the index of its listener list.
    enum EventType { KeyEvent = 0, MouseEvent = 1, QuitEvent = 2, FocusLostEvent = 3 };

    /// Receives events. The handler only refers to its listeners; they are
    /// destroyed through their own class, never through this one.
    class EventListener {
    public:
        /// A key went down (state 0; auto-repeat sends more of these) or up (state 1).
        /// @param key Win32 virtual-key code
        virtual void OnKey(EventHandler& handler, unsigned key, int state) = 0;
        /// The mouse moved (button 0, state 1) or the left button went down
        /// (button 1, state 0) or up (button 1, state 1), at client-area
        /// coordinates with the origin top left. Does nothing by default.
        virtual void OnMouse(EventHandler& handler, int x, int y, int button, int state);
        /// The mouse wheel turned by `notches` (positive away from the player)
        /// with the pointer at client-area coordinates; a mouse listener's.
        /// Does nothing by default.
        virtual void OnWheel(EventHandler& handler, int x, int y, int notches);
        /// The window is gone or the game is asked to end. Does nothing by default.
        virtual void OnQuit(EventHandler& handler);
        /// The window lost the keyboard focus: no key presses or releases
        /// reach the game until it comes back. Does nothing by default.
        virtual void OnFocusLost(EventHandler& handler);
        /// A character typed (its code point; a key listener's), while the
        /// window takes text (AppWindow::SetTextInput). Does nothing by default.
        virtual void OnChar(EventHandler& handler, unsigned character);

    protected:
        ~EventListener() = default;
    };

    /// The slot of no pad: the keyboard's and the game's own events.
    static constexpr int NoPad = -1;

    /// Four empty listener lists.
    EventHandler();
    virtual ~EventHandler();

    /// Appends `listener` to the list of `type`; it may stand there more than
    /// once. Null is ignored.
    void AddListener(EventType type, EventListener* listener);
    /// Removes the first occurrence of `listener` from the list of `type`,
    /// keeping the order of the others; nothing if it is not there.
    void RemoveListener(EventType type, EventListener* listener);

    /// Number of listeners registered for `type`.
    unsigned GetListenerCount(EventType type) const;
    /// The listener at `index` in the list of `type`, or null past the end.
    EventListener* GetListener(EventType type, unsigned index) const;

    /// Translates one window message: key down and up, mouse movement, the
    /// left button, the wheel (whole notches), the window's destruction and
    /// the loss of the keyboard focus; every other message, system keys and
    /// the other buttons included, is ignored.
    void HandleMessage(unsigned message, WParam wParam, LParam lParam);

    /// A key event from the pad in `padSlot`, or from the keyboard (NoPad).
    void DispatchKey(unsigned key, int state, int padSlot = NoPad);
    void DispatchMouse(int x, int y, int button, int state);
    /// To the key listeners.
    void DispatchChar(unsigned character);
    /// To the mouse listeners.
    void DispatchWheel(int x, int y, int notches);
    /// Asks every quit listener to end the game; listeners may call it too.
    void DispatchQuit();
    /// The keyboard went elsewhere (NoPad), or the pad in `padSlot` was unplugged.
    void DispatchFocusLost(int padSlot = NoPad);

    /// The slot of the pad whose button sent the key event being dispatched,
    /// or whose unplugging sent the focus-lost event; NoPad for the keyboard,
    /// for every other event and outside a dispatch.
    int GetPadSlot() const { return padSlot; }

private:
    /// Calls `call` on each listener of `type`, tolerating changes to the
    /// list, with GetPadSlot saying `pad` meanwhile.
    template <typename Call>
    void Dispatch(EventType type, int pad, Call call);

    /// One list per EventType, indexed by it.
    std::vector<std::vector<EventListener*>> listeners;
    int padSlot = NoPad;
};
