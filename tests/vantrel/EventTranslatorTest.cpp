#include <gtest/gtest.h>

#include <cstdio>

#include <SDL2/SDL.h>

#include "input/EventHandler.h"
#include "platform/EventTranslator.h"

namespace {

SDL_Event Key(Uint32 type, SDL_Keycode sym) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = sym;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    return event;
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event Motion(int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event Window(SDL_WindowEventID id, int data1 = 0, int data2 = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

/// Counts what the handler dispatches for one translated message.
class Tally : public EventHandler::EventListener {
public:
    void OnKey(EventHandler&, unsigned k, int s) override { key = k, keyState = s, ++events; }
    void OnMouse(EventHandler&, int px, int py, int b, int s) override { x = px, y = py, button = b, mouseState = s, ++events; }
    void OnQuit(EventHandler&) override { ++quits, ++events; }
    unsigned key = 0;
    int keyState = -1, x = -1, y = -1, button = -1, mouseState = -1, quits = 0, events = 0;
};

}  // namespace

TEST(EventTranslator, KeysBecomeWin32VirtualKeyCodes) {
    struct Row {
        SDL_Keycode sym;
        unsigned vk;
    };
    const Row rows[] = {
        {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13},  // both Enter keys are Return
        {SDLK_ESCAPE, 27},
        {SDLK_LEFT, 37}, {SDLK_UP, 38}, {SDLK_RIGHT, 39}, {SDLK_DOWN, 40},
        {SDLK_a, 'A'}, {SDLK_c, 'C'}, {SDLK_s, 'S'}, {SDLK_z, 'Z'},  // letters as upper case
        {SDLK_0, '0'}, {SDLK_9, '9'},
        {SDLK_F1, 112}, {SDLK_F3, 114}, {SDLK_F4, 115}, {SDLK_F5, 116}, {SDLK_F6, 117},
        {SDLK_F9, 120}, {SDLK_F10, 121}, {SDLK_F12, 123},
        {SDLK_BACKSPACE, 8}, {SDLK_TAB, 9}, {SDLK_SPACE, 32},
    };
    for (const Row& row : rows) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            WindowMessage message;
            ASSERT_TRUE(TranslateEvent(Key(type, row.sym), message)) << SDL_GetKeyName(row.sym);
            EXPECT_EQ(message.message, type == SDL_KEYDOWN ? unsigned(WM_KEYDOWN) : unsigned(WM_KEYUP));
            EXPECT_EQ(message.wParam, row.vk) << SDL_GetKeyName(row.sym);
        }
    }
}

TEST(EventTranslator, KeysWithoutACodeAreDropped) {
    WindowMessage message;
    for (SDL_Keycode sym : {SDLK_LSHIFT, SDLK_LALT, SDLK_F13, SDLK_KP_4, SDLK_CAPSLOCK, SDLK_UNKNOWN}) {
        EXPECT_FALSE(TranslateEvent(Key(SDL_KEYDOWN, sym), message)) << SDL_GetKeyName(sym);
    }
}

TEST(EventTranslator, AutoRepeatStaysAKeyDown) {
    SDL_Event event = Key(SDL_KEYDOWN, SDLK_F4);
    event.key.repeat = 1;
    WindowMessage message;
    ASSERT_TRUE(TranslateEvent(event, message));
    EXPECT_EQ(message.message, unsigned(WM_KEYDOWN));
    EXPECT_EQ(message.wParam, 115u);
}

TEST(EventTranslator, StaleRepeatsDoNotDelayTheRelease) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event repeat = Key(SDL_KEYDOWN, SDLK_LEFT);
    repeat.key.repeat = 1;
    for (int i = 0; i < 20; ++i) SDL_PushEvent(&repeat);  // a slow frame's backlog
    SDL_Event release = Key(SDL_KEYUP, SDLK_LEFT);
    SDL_PushEvent(&release);
    SDL_PushEvent(&repeat);  // the last repeat, with nothing behind it, is still delivered

    WindowMessage message;
    ASSERT_TRUE(PeekWindowMessage(message));
    EXPECT_EQ(message.message, unsigned(WM_KEYUP));
    EXPECT_EQ(message.wParam, 37u);
    ASSERT_TRUE(PeekWindowMessage(message));
    EXPECT_EQ(message.message, unsigned(WM_KEYDOWN));
    EXPECT_FALSE(PeekWindowMessage(message));
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(EventTranslator, MouseMessagesCarryClientCoordinates) {
    struct Row {
        SDL_Event event;
        unsigned message;  ///< 0: dropped
    };
    const Row rows[] = {
        {Motion(17, 311), WM_MOUSEMOVE},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 17, 311), WM_LBUTTONDOWN},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 17, 311), WM_LBUTTONUP},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 17, 311), WM_RBUTTONDOWN},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 17, 311), WM_MBUTTONUP},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 17, 311), 0},  // side buttons mean nothing
    };
    for (const Row& row : rows) {
        WindowMessage message;
        const bool translated = TranslateEvent(row.event, message);
        EXPECT_EQ(translated, row.message != 0) << row.message;
        if (!translated) continue;
        EXPECT_EQ(message.message, row.message);
        EXPECT_EQ(LoWord(message.lParam), 17u);
        EXPECT_EQ(HiWord(message.lParam), 311u);
    }
}

TEST(EventTranslator, TouchAsMouseIsDropped) {
    SDL_Event event = Motion(1, 1);
    event.motion.which = SDL_TOUCH_MOUSEID;
    WindowMessage message;
    EXPECT_FALSE(TranslateEvent(event, message));
}

TEST(EventTranslator, CloseQuitAndSizeEvents) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    WindowMessage message;
    ASSERT_TRUE(TranslateEvent(quit, message));  // SIGINT, SIGTERM
    EXPECT_EQ(message.message, unsigned(WM_DESTROY));
    ASSERT_TRUE(TranslateEvent(Window(SDL_WINDOWEVENT_CLOSE), message));
    EXPECT_EQ(message.message, unsigned(WM_DESTROY));
    ASSERT_TRUE(TranslateEvent(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 0), message));
    EXPECT_EQ(message.message, unsigned(WM_SIZE));
    EXPECT_EQ(LoWord(message.lParam), 800u);
    EXPECT_EQ(HiWord(message.lParam), 0u);
    // Only SIZE_CHANGED: a user resize sends RESIZED as well, which would size the view twice.
    EXPECT_FALSE(TranslateEvent(Window(SDL_WINDOWEVENT_RESIZED, 800, 600), message));
    EXPECT_FALSE(TranslateEvent(Window(SDL_WINDOWEVENT_EXPOSED), message));
    // Losing the keyboard pauses a race; getting it back changes nothing.
    ASSERT_TRUE(TranslateEvent(Window(SDL_WINDOWEVENT_FOCUS_LOST), message));
    EXPECT_EQ(message.message, unsigned(WM_KILLFOCUS));
    EXPECT_FALSE(TranslateEvent(Window(SDL_WINDOWEVENT_FOCUS_GAINED), message));
}

TEST(EventTranslator, TranslatedEventsReachTheListenersAsTheGameExpects) {
    struct Row {
        SDL_Event event;
        const char* what;
        unsigned key;
        int keyState, x, y, button, mouseState, quits;
    };
    const Row rows[] = {
        {Key(SDL_KEYDOWN, SDLK_ESCAPE), "Escape press", 27, 0, -1, -1, -1, -1, 0},
        {Key(SDL_KEYUP, SDLK_RETURN), "Return release", 13, 1, -1, -1, -1, -1, 0},
        {Motion(640, 480), "move", 0, -1, 640, 480, 0, 1, 0},
        {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 4), "left press", 0, -1, 3, 4, 1, 0, 0},
        {Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 3, 4), "left release", 0, -1, 3, 4, 1, 1, 0},
        {Window(SDL_WINDOWEVENT_CLOSE), "close", 0, -1, -1, -1, -1, -1, 1},
    };
    for (const Row& row : rows) {
        Tally tally;
        EventHandler handler;
        handler.AddListener(EventHandler::KeyEvent, &tally);
        handler.AddListener(EventHandler::MouseEvent, &tally);
        handler.AddListener(EventHandler::QuitEvent, &tally);
        WindowMessage message;
        ASSERT_TRUE(TranslateEvent(row.event, message)) << row.what;
        handler.HandleMessage(message.message, message.wParam, message.lParam);
        EXPECT_EQ(tally.events, 1) << row.what;
        EXPECT_EQ(tally.key, row.key) << row.what;
        EXPECT_EQ(tally.keyState, row.keyState) << row.what;
        EXPECT_EQ(tally.x, row.x) << row.what;
        EXPECT_EQ(tally.y, row.y) << row.what;
        EXPECT_EQ(tally.button, row.button) << row.what;
        EXPECT_EQ(tally.mouseState, row.mouseState) << row.what;
        EXPECT_EQ(tally.quits, row.quits) << row.what;
    }
}

TEST(EventTranslator, TheWheelArrivesInNotchesWhereThePointerIsAndStaleMovesGiveWay) {
    struct Wheel : EventHandler::EventListener {
        void OnKey(EventHandler&, unsigned, int) override {}
        void OnWheel(EventHandler&, int px, int py, int n) override { x = px, y = py, notches += n, ++events; }
        int x = -1, y = -1, notches = 0, events = 0;
    };
    const auto wheel = [](int y, bool flipped) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.y = y;
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        event.wheel.mouseX = 300;
        event.wheel.mouseY = 200;
        return event;
    };
    struct Row {
        SDL_Event event;
        int notches;  ///< 0: no message
    };
    const Row rows[] = {
        {wheel(2, false), 2},   // two notches away from the player
        {wheel(-1, false), -1},
        {wheel(1, true), -1},   // "natural" scrolling turns the wheel's sign round
        {wheel(0, false), 0},   // sideways only
    };
    for (const Row& row : rows) {
        Wheel listener;
        EventHandler handler;
        handler.AddListener(EventHandler::MouseEvent, &listener);
        WindowMessage message;
        ASSERT_EQ(TranslateEvent(row.event, message), row.notches != 0) << row.notches;
        if (row.notches == 0) continue;
        EXPECT_EQ(message.message, unsigned(WM_MOUSEWHEEL));
        handler.HandleMessage(message.message, message.wParam, message.lParam);
        EXPECT_EQ(listener.events, 1);
        EXPECT_EQ(listener.notches, row.notches);
        EXPECT_EQ(listener.x, 300);
        EXPECT_EQ(listener.y, 200);
    }

    // A frame's worth of movement: only the last position counts, and a
    // press among the moves keeps its place.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < 30; ++i) {
        SDL_Event move = Motion(i, i);
        SDL_PushEvent(&move);
    }
    SDL_Event press = Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 29, 29);
    SDL_PushEvent(&press);
    SDL_Event last = Motion(40, 41);
    SDL_PushEvent(&last);
    WindowMessage message;
    ASSERT_TRUE(PeekWindowMessage(message));
    EXPECT_EQ(message.message, unsigned(WM_LBUTTONDOWN));
    ASSERT_TRUE(PeekWindowMessage(message));
    EXPECT_EQ(message.message, unsigned(WM_MOUSEMOVE));
    EXPECT_EQ(LoWord(message.lParam), 40u);
    EXPECT_EQ(HiWord(message.lParam), 41u);
    EXPECT_FALSE(PeekWindowMessage(message));
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(EventTranslator, TypedTextBecomesOneCharacterMessageOfPrintableAsciiOnly) {
    const auto text = [](const char* typed) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        std::snprintf(event.text.text, sizeof event.text.text, "%s", typed);
        return event;
    };
    WindowMessage message;
    ASSERT_TRUE(TranslateEvent(text(":"), message));
    EXPECT_EQ(message.message, unsigned(WM_CHAR));
    EXPECT_EQ(message.wParam, WParam(':'));
    // Names and addresses are sent as they are typed: nothing else is taken.
    for (const char* refused : {"\xc3\xa9", "ab", "\x7f", ""}) EXPECT_FALSE(TranslateEvent(text(refused), message));
}
