// Players side by side at one keyboard and on pads, on cars without bodies:
// each hears its own device alone while a player alone hears them all, the
// race can tell whose pause or recovery a key is, and a pad's slot waits for
// that pad while it is unplugged.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "VirtualPad.h"
#include "cars/Car.h"
#include "drivers/Player.h"
#include "input/EventHandler.h"
#include "input/Gamepad.h"
#include "input/InputDevice.h"
#include "input/KeySets.h"
#include "platform/WindowMessage.h"

namespace {

const int Press = 0, Release = 1;
const float Frame = 1.0f / 60.0f;
const InputDevice FirstKeys = InputDevice::KeySet(KeyBindings::FirstSet);
const InputDevice SecondKeys = InputDevice::KeySet(KeyBindings::SecondSet);

/// A player on `device` with the bindings a race gives it, driving a car
/// without a body.
struct Seat {
    Seat(EventHandler& handler, InputDevice device, const KeySets& keys, Gamepad* pads = nullptr) {
        car.controlsEnabled = true;
        player.SetCar(&car);
        player.SetDevice(device);
        player.SetKeyBindings(keys.For(device));
        player.SetGamepad(pads, nullptr);
        handler.AddListener(EventHandler::KeyEvent, &player);
    }
    void Run(float seconds) {
        for (int i = 0; i < static_cast<int>(std::lround(seconds / Frame)); ++i) player.Update(Frame);
    }
    Player player;
    Car car;
};

/// What a race makes of each key pressed: whose action it is, by ActionOf.
struct RaceKeys : EventHandler::EventListener {
    void OnKey(EventHandler& handler, unsigned key, int state) override {
        if (state != Press) return;
        for (std::size_t i = 0; i < players.size(); ++i)
            if (const auto action = players[i]->ActionOf(handler, key))
                heard.push_back("player " + std::to_string(i + 1) + ": " + KeyBindings::ActionName(*action));
    }
    std::vector<const Player*> players;
    std::vector<std::string> heard;
};

/// The slot of each pad whose unplugging lost the focus.
struct Unplugged : EventHandler::EventListener {
    void OnKey(EventHandler&, unsigned, int) override {}
    void OnFocusLost(EventHandler& handler) override { slots.push_back(handler.GetPadSlot()); }
    std::vector<int> slots;
};

class PadPlayers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        ASSERT_TRUE(gamepad.Initialize());
        // As in a race: the pads' buttons send the first set's keys.
        gamepad.SetKeyBindings(&keys.Get(KeyBindings::FirstSet));
    }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }
    void Step() {
        PumpPadEvents(gamepad);
        gamepad.Update(false);
    }

    EventHandler handler;
    const KeySets keys;
    Gamepad gamepad{handler};
};

}  // namespace

TEST(LocalPlayers, EachKeySetDrivesItsOwnPlayersCarAndTheRaceTellsWhoseKeyItIs) {
    EventHandler handler;
    const KeySets keys;
    Seat one(handler, FirstKeys, keys), two(handler, SecondKeys, keys);
    const auto run = [&](float seconds) {
        one.Run(seconds);
        two.Run(seconds);
    };

    // W and A move player 2's car alone, the arrows player 1's alone.
    handler.DispatchKey('W', Press);
    handler.DispatchKey('A', Press);
    run(0.5f);
    EXPECT_NEAR(two.car.throttle, 0.5f, 1e-4f);
    EXPECT_NEAR(two.car.steering, 0.4f, 1e-4f);
    EXPECT_EQ(one.car.throttle, 0.0f);
    EXPECT_EQ(one.car.steering, 0.0f);
    handler.DispatchKey('W', Release);
    handler.DispatchKey('A', Release);
    handler.DispatchKey(VK_UP, Press);
    handler.DispatchKey(VK_RIGHT, Press);
    run(0.5f);
    EXPECT_NEAR(one.car.throttle, 0.5f, 1e-4f);
    EXPECT_NEAR(one.car.steering, -0.4f, 1e-4f);
    EXPECT_EQ(two.car.throttle, 0.0f);
    EXPECT_NEAR(two.car.steering, 0.0f, 1e-4f) << "back in the centre";

    // S is player 2's brake; beside them player 1 has no spectator camera.
    handler.DispatchKey('S', Press);
    run(Frame);
    EXPECT_GT(two.car.brake, 0.0f);
    EXPECT_EQ(one.car.brake, 0.0f);
    EXPECT_FALSE(one.player.IsSpectator());

    // A pad's Up is no keyboard player's.
    handler.DispatchKey(VK_UP, Release);
    handler.DispatchKey(VK_UP, Press, 0);
    run(Frame);
    EXPECT_EQ(one.car.throttle, 0.0f);

    // The race's own keys, each the player's whose set has it.
    RaceKeys race;
    race.players = {&one.player, &two.player};
    handler.AddListener(EventHandler::KeyEvent, &race);
    for (unsigned key : {unsigned(VK_TAB), unsigned('R'), unsigned('Q'), unsigned('P')})
        handler.DispatchKey(key, Press);
    handler.DispatchKey('P', Press, 0);
    EXPECT_EQ(race.heard, (std::vector<std::string>{"player 2: Pause", "player 1: Back on the road",
                                                    "player 2: Back on the road", "player 1: Pause"}));

    // A join step tells the devices apart by the key and the pad's slot.
    EXPECT_EQ(keys.DeviceOf(EventHandler::NoPad, VK_RETURN), FirstKeys);
    EXPECT_EQ(keys.DeviceOf(EventHandler::NoPad, 'W'), SecondKeys);
    EXPECT_EQ(keys.DeviceOf(EventHandler::NoPad, 'S'), SecondKeys) << "the first set's S is a player alone's";
    EXPECT_EQ(keys.DeviceOf(2, VK_RETURN), InputDevice::PadSlot(2));

    // A player alone hears the first set and every pad, and has the spectator camera.
    EventHandler alone;
    Seat single(alone, InputDevice(), keys);
    alone.DispatchKey(VK_UP, Press, 3);
    single.Run(0.5f);
    EXPECT_NEAR(single.car.throttle, 0.5f, 1e-4f);
    alone.DispatchKey('S', Press);
    EXPECT_TRUE(single.player.IsSpectator());
}

TEST_F(PadPlayers, APadDrivesOnlyItsPlayerWhileAPlayerAloneHasEveryPadMerged) {
    VirtualPad first, second;
    ASSERT_TRUE(first.IsPlugged() && second.IsPlugged()) << SDL_GetError();
    Step();
    ASSERT_EQ(gamepad.GetSlotCount(), 2);
    Seat one(handler, FirstKeys, keys, &gamepad), two(handler, InputDevice::PadSlot(1), keys, &gamepad);
    Seat single(handler, InputDevice(), keys, &gamepad);
    const auto run = [&](float seconds) {
        for (Seat* seat : {&one, &two, &single}) seat->Run(seconds);
    };

    // The second pad's trigger and the first's stick: player 2 speeds up
    // without steering, the player alone has both, player 1 on the keys neither.
    second.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 1.0f);
    first.Stick(SDL_CONTROLLER_AXIS_LEFTX, -1.0f);
    Step();
    run(Frame);
    EXPECT_FLOAT_EQ(two.car.throttle, 1.0f);
    EXPECT_EQ(two.car.steering, 0.0f);
    EXPECT_FLOAT_EQ(single.car.throttle, 1.0f);
    EXPECT_FLOAT_EQ(single.car.steering, 1.0f);
    EXPECT_EQ(one.car.throttle, 0.0f);
    EXPECT_EQ(one.car.steering, 0.0f);
    second.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.0f);
    first.Stick(SDL_CONTROLLER_AXIS_LEFTX, 0.0f);

    // The D-pad's Up is the second pad's player's, though player 1 has Up bound.
    second.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    Step();
    run(0.5f);
    EXPECT_NEAR(two.car.throttle, 0.5f, 1e-4f);
    EXPECT_NEAR(single.car.throttle, 0.5f, 1e-4f);
    EXPECT_EQ(one.car.throttle, 0.0f);
    // Both pads hold Up for the player alone: one let go, the other still holds it.
    first.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    Step();
    second.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    Step();
    run(0.25f);
    EXPECT_NEAR(single.car.throttle, 0.75f, 1e-4f);
    EXPECT_EQ(two.car.throttle, 0.0f);

    // Start and Y are the race's for the pad's player alone.
    RaceKeys race;
    race.players = {&one.player, &two.player};
    handler.AddListener(EventHandler::KeyEvent, &race);
    for (VirtualPad* pad : {&first, &second})
        for (SDL_GameControllerButton button : {SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_Y}) {
            pad->Button(button, true);
            Step();
            pad->Button(button, false);
            Step();
        }
    EXPECT_EQ(race.heard, (std::vector<std::string>{"player 2: Pause", "player 2: Back on the road"}));

    gamepad.Rumble(1, 0.5f, 0.5f, 100);
    EXPECT_TRUE(first.rumbles.empty());
    EXPECT_EQ(second.rumbles.size(), 1u);
}

TEST_F(PadPlayers, AnUnpluggedPadIsReportedAndTheSamePadTakesItsSlotBack) {
    auto a = std::make_unique<VirtualPad>(1), b = std::make_unique<VirtualPad>(2);
    ASSERT_TRUE(a->IsPlugged() && b->IsPlugged()) << SDL_GetError();
    Step();
    Seat one(handler, InputDevice::PadSlot(0), keys, &gamepad), two(handler, InputDevice::PadSlot(1), keys, &gamepad);
    Unplugged unplugged;
    handler.AddListener(EventHandler::FocusLostEvent, &unplugged);

    // Player 2's pad goes with its D-pad held: said with its slot, and let go.
    b->Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    Step();
    two.Run(0.25f);
    ASSERT_GT(two.car.throttle, 0.0f);
    b.reset();
    Step();
    EXPECT_EQ(unplugged.slots, std::vector<int>{1});
    EXPECT_TRUE(two.player.IsPadMissing());
    EXPECT_FALSE(one.player.IsPadMissing());
    two.Run(Frame);
    EXPECT_EQ(two.car.throttle, 0.0f);

    // A new pad meanwhile takes the next slot, not player 2's.
    VirtualPad c(3);
    Step();
    EXPECT_EQ(gamepad.GetSlotCount(), 3);
    EXPECT_TRUE(gamepad.IsPlugged(2));
    EXPECT_TRUE(two.player.IsPadMissing());

    // Both first pads away, and back the other way round: each in its own slot.
    a.reset();
    Step();
    b = std::make_unique<VirtualPad>(2);
    Step();
    EXPECT_FALSE(two.player.IsPadMissing());
    EXPECT_TRUE(one.player.IsPadMissing());
    b->Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 1.0f);
    Step();
    two.Run(Frame);
    EXPECT_FLOAT_EQ(two.car.throttle, 1.0f);
    a = std::make_unique<VirtualPad>(1);
    Step();
    EXPECT_FALSE(one.player.IsPadMissing());
    EXPECT_EQ(gamepad.GetSlotCount(), 3);
    EXPECT_EQ(gamepad.GetCount(), 3u);
    EXPECT_EQ(unplugged.slots, (std::vector<int>{1, 0}));
}
