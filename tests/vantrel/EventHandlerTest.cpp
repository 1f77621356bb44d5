#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input/EventHandler.h"

namespace {

/// Writes every event it receives into a shared journal as "name:kind(args)"
/// and runs its one-shot key action, if any, after journalling.
class Recorder : public EventHandler::EventListener {
public:
    Recorder(std::string name, std::vector<std::string>& journal) : name(std::move(name)), journal(journal) {}

    void OnKey(EventHandler& handler, unsigned key, int state) override {
        journal.push_back(name + ":key(" + std::to_string(key) + "," + std::to_string(state) + ")");
        if (!onKey) return;
        const std::function<void(EventHandler&)> action = std::move(onKey);
        onKey = nullptr;
        action(handler);
    }
    void OnMouse(EventHandler&, int x, int y, int button, int state) override {
        journal.push_back(name + ":mouse(" + std::to_string(x) + "," + std::to_string(y) + "," +
                          std::to_string(button) + "," + std::to_string(state) + ")");
    }
    void OnQuit(EventHandler&) override { journal.push_back(name + ":quit"); }
    void OnFocusLost(EventHandler&) override { journal.push_back(name + ":focus-lost"); }

    /// Runs on the next key event only.
    std::function<void(EventHandler&)> onKey;

private:
    std::string name;
    std::vector<std::string>& journal;
};

using Journal = std::vector<std::string>;

}  // namespace

TEST(EventHandler, ListenersAreCalledInRegistrationOrderPerKind) {
    Journal journal;
    Recorder a("a", journal), b("b", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &b);
    handler.AddListener(EventHandler::KeyEvent, &a);
    handler.AddListener(EventHandler::MouseEvent, &a);
    handler.AddListener(EventHandler::QuitEvent, &b);

    handler.DispatchKey(65, 0);
    handler.DispatchMouse(3, 4, 1, 0);
    handler.DispatchQuit();
    EXPECT_EQ(journal, (Journal{"b:key(65,0)", "a:key(65,0)", "a:mouse(3,4,1,0)", "b:quit"}));
}

TEST(EventHandler, AddAndRemoveEdges) {
    Journal journal;
    Recorder a("a", journal), b("b", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, nullptr);
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 0u);

    // The same listener twice is called twice; removal takes the first only.
    handler.AddListener(EventHandler::KeyEvent, &a);
    handler.AddListener(EventHandler::KeyEvent, &b);
    handler.AddListener(EventHandler::KeyEvent, &a);
    handler.RemoveListener(EventHandler::KeyEvent, &a);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 0), &b);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 1), &a);
    EXPECT_EQ(handler.GetListener(EventHandler::KeyEvent, 2), nullptr);

    // Removing what is not there, or from another kind's list, changes nothing.
    handler.RemoveListener(EventHandler::MouseEvent, &a);
    handler.RemoveListener(EventHandler::KeyEvent, nullptr);
    EXPECT_EQ(handler.GetListenerCount(EventHandler::KeyEvent), 2u);

    handler.DispatchKey(13, 1);
    EXPECT_EQ(journal, (Journal{"b:key(13,1)", "a:key(13,1)"}));
}

TEST(EventHandler, ListenerRemovedDuringDispatchSkipsTheOneMovingIntoItsPlace) {
    Journal journal;
    Recorder a("a", journal), b("b", journal), c("c", journal), d("d", journal);
    EventHandler handler;
    for (Recorder* r : {&a, &b, &c, &d}) handler.AddListener(EventHandler::KeyEvent, r);
    // b removes itself: c moves into index 1 and misses this event, d still gets it.
    b.onKey = [&](EventHandler& h) { h.RemoveListener(EventHandler::KeyEvent, &b); };

    handler.DispatchKey(40, 0);
    EXPECT_EQ(journal, (Journal{"a:key(40,0)", "b:key(40,0)", "d:key(40,0)"}));

    journal.clear();
    handler.DispatchKey(40, 1);
    EXPECT_EQ(journal, (Journal{"a:key(40,1)", "c:key(40,1)", "d:key(40,1)"}));
}

TEST(EventHandler, ListenerRemovingTheLastOneEndsTheDispatch) {
    Journal journal;
    Recorder a("a", journal), b("b", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &a);
    handler.AddListener(EventHandler::KeyEvent, &b);
    a.onKey = [&](EventHandler& h) { h.RemoveListener(EventHandler::KeyEvent, &b); };
    handler.DispatchKey(38, 0);
    EXPECT_EQ(journal, (Journal{"a:key(38,0)"}));
}

TEST(EventHandler, ListenerAppendedDuringDispatchReceivesTheSameEvent) {
    Journal journal;
    Recorder a("a", journal), late("late", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &a);
    a.onKey = [&](EventHandler& h) {
        h.AddListener(EventHandler::KeyEvent, &late);
    };
    handler.DispatchKey(13, 0);
    EXPECT_EQ(journal, (Journal{"a:key(13,0)", "late:key(13,0)"}));
}

TEST(EventHandler, GrowingTheListPastItsCapacityDuringDispatchIsSafe) {
    // Appending reallocates the list; dispatch must not hold on to the old storage.
    Journal journal;
    Recorder first("first", journal);
    std::vector<Recorder> extra;
    extra.reserve(64);
    for (int i = 0; i < 64; ++i) extra.emplace_back("x", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &first);
    first.onKey = [&](EventHandler& h) {
        for (Recorder& r : extra) h.AddListener(EventHandler::KeyEvent, &r);
    };
    handler.DispatchKey(65, 0);
    EXPECT_EQ(journal.size(), 65u);
}

TEST(EventHandler, EscapeDuringRaceReachesTheNewShowRoomAtIndexOne) {
    // Keyboard list [application, race, player]; on Escape the application
    // deletes the race (which removes itself and its player) and appends the
    // new show room, which then gets the same press at index 1.
    Journal journal;
    Recorder app("app", journal), race("race", journal), player("player", journal), showRoom("showRoom", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &app);
    handler.AddListener(EventHandler::KeyEvent, &race);
    handler.AddListener(EventHandler::KeyEvent, &player);
    app.onKey = [&](EventHandler& h) {
        h.RemoveListener(EventHandler::KeyEvent, &race);
        h.RemoveListener(EventHandler::KeyEvent, &player);
        h.AddListener(EventHandler::KeyEvent, &showRoom);
    };
    handler.DispatchKey(27, 0);
    EXPECT_EQ(journal, (Journal{"app:key(27,0)", "showRoom:key(27,0)"}));
}

TEST(EventHandler, ReturnInShowRoomReachesTheNewRaceAndPlayer) {
    // Keyboard list [application, show room]; Return replaces the show room
    // with the race and its player, both of which get the same press.
    Journal journal;
    Recorder app("app", journal), showRoom("showRoom", journal), race("race", journal), player("player", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &app);
    handler.AddListener(EventHandler::KeyEvent, &showRoom);
    app.onKey = [&](EventHandler& h) {
        h.RemoveListener(EventHandler::KeyEvent, &showRoom);
        h.AddListener(EventHandler::KeyEvent, &race);
        h.AddListener(EventHandler::KeyEvent, &player);
        h.AddListener(EventHandler::MouseEvent, &player);
    };
    handler.DispatchKey(13, 0);
    EXPECT_EQ(journal, (Journal{"app:key(13,0)", "race:key(13,0)", "player:key(13,0)"}));
}

TEST(EventHandler, HandleMessageTranslatesTheTable) {
    Journal journal;
    Recorder r("r", journal);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &r);
    handler.AddListener(EventHandler::MouseEvent, &r);
    handler.AddListener(EventHandler::QuitEvent, &r);
    handler.AddListener(EventHandler::FocusLostEvent, &r);

    struct Row {
        unsigned message;
        WParam wParam;
        LParam lParam;
        const char* expected;  ///< nullptr: nothing dispatched
    };
    const Row rows[] = {
        {WM_KEYDOWN, 37, 0, "r:key(37,0)"},                       // key down: state 0
        {WM_KEYUP, 37, 0, "r:key(37,1)"},                         // key up: state 1
        {WM_MOUSEMOVE, 0, MakeLParam(10, 20), "r:mouse(10,20,0,1)"},    // movement: button 0, state 1
        {WM_LBUTTONDOWN, 0, MakeLParam(5, 6), "r:mouse(5,6,1,0)"},      // left press
        {WM_LBUTTONUP, 0, MakeLParam(5, 6), "r:mouse(5,6,1,1)"},        // left release
        {WM_MOUSEMOVE, 0, MakeLParam(-1, -2), "r:mouse(65535,65534,0,1)"},  // words are unsigned
        {WM_DESTROY, 0, 0, "r:quit"},                             // window gone: quit
        {WM_KILLFOCUS, 0, 0, "r:focus-lost"},                     // keyboard gone elsewhere
        {WM_SYSKEYDOWN, 13, 0, nullptr},                          // system keys are not translated
        {WM_SYSKEYUP, 13, 0, nullptr},
        {WM_RBUTTONDOWN, 0, MakeLParam(1, 1), nullptr},           // nor the other buttons
        {WM_MBUTTONUP, 0, MakeLParam(1, 1), nullptr},
        {WM_SIZE, 0, MakeLParam(800, 600), nullptr},              // size is the window procedure's
    };
    for (const Row& row : rows) {
        journal.clear();
        handler.HandleMessage(row.message, row.wParam, row.lParam);
        if (row.expected)
            EXPECT_EQ(journal, (Journal{row.expected})) << "message " << row.message;
        else
            EXPECT_TRUE(journal.empty()) << "message " << row.message;
    }
}

TEST(EventHandler, AKeyTellsThePadThatSentItUntilItsDispatchEnds) {
    // A pad's key whose listener dispatches a key of its own (a click as its
    // key does): the inner one is the keyboard's, the outer one's pad is back after.
    std::vector<int> slots;
    struct Listener : EventHandler::EventListener {
        explicit Listener(std::vector<int>& slots) : slots(slots) {}
        void OnKey(EventHandler& handler, unsigned key, int) override {
            slots.push_back(handler.GetPadSlot());
            if (key == 'P') handler.DispatchKey('K', 0);
            slots.push_back(handler.GetPadSlot());
        }
        void OnFocusLost(EventHandler& handler) override { slots.push_back(handler.GetPadSlot()); }
        std::vector<int>& slots;
    } listener(slots);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &listener);
    handler.AddListener(EventHandler::FocusLostEvent, &listener);
    handler.DispatchKey('P', 0, 2);
    handler.HandleMessage(WM_KEYDOWN, 'A', 0);
    handler.DispatchFocusLost(1);
    handler.DispatchFocusLost();
    const int None = EventHandler::NoPad;
    EXPECT_EQ(slots, (std::vector<int>{2, None, None, 2, None, None, 1, None}));
    EXPECT_EQ(handler.GetPadSlot(), None);
}
