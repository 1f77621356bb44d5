// The pads through SDL's virtual joystick, without a window: buttons and the
// menu stick as key messages, the analogue steering and pedals beside the
// keyboard, and what the car's rumble asks of the pad.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "cars/Car.h"
#include "drivers/CarRumble.h"
#include "input/EventHandler.h"
#include "input/Gamepad.h"
#include "drivers/Player.h"
#include "VirtualPad.h"
#include "platform/WindowMessage.h"

namespace {

const int Press = 0, Release = 1;
const float Frame = 1.0f / 60.0f;
using KeyLog = std::vector<std::pair<unsigned, int>>;

/// Every key message, in order.
class Recorder : public EventHandler::EventListener {
public:
    void OnKey(EventHandler&, unsigned key, int state) override { keys.emplace_back(key, state); }
    /// What came since the last call.
    KeyLog Take() { return std::exchange(keys, {}); }
    KeyLog keys;
};

class Pads : public ::testing::Test {
protected:
    void SetUp() override {
        // Started here so that a pad can be plugged in before the game starts.
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        handler.AddListener(EventHandler::KeyEvent, &recorder);
    }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }
    /// One frame of the game's loop: the pump, then the stick in the menus or not.
    void Step(Gamepad& gamepad, bool menus = true) {
        PumpPadEvents(gamepad);
        gamepad.Update(menus);
    }

    EventHandler handler;
    Recorder recorder;
};

}  // namespace

TEST_F(Pads, ButtonsAndTheMenuStickArriveAsTheKeysOfTheKeyboard) {
    VirtualPad pad;  // plugged in before the game starts
    ASSERT_TRUE(pad.IsPlugged()) << SDL_GetError();
    Gamepad gamepad(handler);
    ASSERT_TRUE(gamepad.Initialize());
    Step(gamepad);
    EXPECT_EQ(gamepad.GetCount(), 1u) << "the pad plugged in before the start, opened once";

    struct Row {
        SDL_GameControllerButton button;
        unsigned key;
    };
    const Row rows[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, VK_DOWN}, {SDL_CONTROLLER_BUTTON_DPAD_UP, VK_UP},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, VK_RIGHT},
        {SDL_CONTROLLER_BUTTON_A, VK_RETURN},       // choose
        {SDL_CONTROLLER_BUTTON_B, VK_ESCAPE},       // back
        {SDL_CONTROLLER_BUTTON_BACK, VK_ESCAPE},
        {SDL_CONTROLLER_BUTTON_Y, 'R'},             // recover the car
        {SDL_CONTROLLER_BUTTON_START, 'P'},         // pause
    };
    for (const Row& row : rows) {
        pad.Button(row.button, true);
        Step(gamepad);
        pad.Button(row.button, false);
        Step(gamepad);
        EXPECT_EQ(recorder.Take(), (KeyLog{{row.key, Press}, {row.key, Release}})) << "button " << row.button;
    }
    // B and Back both hold Escape: it goes up when the last of them does.
    pad.Button(SDL_CONTROLLER_BUTTON_B, true);
    pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);
    Step(gamepad);
    pad.Button(SDL_CONTROLLER_BUTTON_B, false);
    Step(gamepad);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_ESCAPE, Press}}));
    pad.Button(SDL_CONTROLLER_BUTTON_BACK, false);
    Step(gamepad);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_ESCAPE, Release}}));

    // One push of the stick is one step, however many frames it is held.
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, 0.9f);
    for (int i = 0; i < 30; ++i) Step(gamepad);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_DOWN, Press}}));
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, 0.4f);  // on its way back: no second step
    Step(gamepad);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, 0.6f);
    Step(gamepad);
    EXPECT_TRUE(recorder.Take().empty());
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, 0.1f);
    Step(gamepad);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_DOWN, Release}}));
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, -0.4f);  // a nudge is no step
    Step(gamepad);
    EXPECT_TRUE(recorder.Take().empty());
    // Diagonally the larger push wins.
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, -0.55f);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, -0.8f);
    Step(gamepad);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_LEFT, Press}}));

    // In a race the stick steers: the arrow it held goes up, and no more come.
    Step(gamepad, false);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, 1.0f);
    Step(gamepad, false);
    EXPECT_EQ(recorder.Take(), (KeyLog{{VK_LEFT, Release}}));
}

TEST_F(Pads, SteeringAndPedalsReachTheCarBesideTheKeysAndTheLargerDemandWins) {
    Gamepad gamepad(handler);
    ASSERT_TRUE(gamepad.Initialize());
    VirtualPad pad;
    Step(gamepad, false);
    ASSERT_EQ(gamepad.GetCount(), 1u);
    Player player;
    Car car;  // no body: its controls are all there is to see
    car.controlsEnabled = true;
    player.SetCar(&car);
    player.SetGamepad(&gamepad, nullptr);
    handler.AddListener(EventHandler::KeyEvent, &player);
    const auto run = [&](float seconds) {
        for (int i = 0; i < static_cast<int>(std::lround(seconds / Frame)); ++i) player.Update(Frame);
    };
    const auto curve = [](float deflection) { return std::pow((deflection - 0.15f) / 0.85f, 1.8f); };

    struct Row {
        float x, y;  // left stick, x to the right, y down
        float steering;
    };
    const Row rows[] = {
        {0.14f, 0.0f, 0.0f},                      // inside the dead zone
        {0.5f, 0.0f, -curve(0.5f)},               // half a push: about a fifth of the lock
        {-1.0f, 0.0f, 1.0f},                      // full lock, positive to the left
        {0.0f, -1.0f, 0.0f},                      // straight ahead does not steer
        {0.1f, -0.3f, -0.1f / std::hypot(0.1f, 0.3f) * curve(std::hypot(0.1f, 0.3f))},  // radial
    };
    for (const Row& row : rows) {
        pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, row.x);
        pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, row.y);
        SDL_PumpEvents();
        player.Update(Frame);
        EXPECT_NEAR(car.steering, row.steering, 2e-4f) << row.x << ", " << row.y;
    }
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, 0.0f);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTY, 0.0f);
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.04f);  // a trigger resting a little in
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 1.0f);
    SDL_PumpEvents();
    run(Frame);
    EXPECT_FLOAT_EQ(car.throttle, 0.0f);
    EXPECT_FLOAT_EQ(car.brake, 1.0f) << "at once, without the keys' ramp";
    EXPECT_FLOAT_EQ(car.steering, 0.0f);
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0.0f);

    // Up held for half a second ramps to 0.5; the pad's 0.3 is less, its 0.9 more.
    handler.DispatchKey(VK_UP, Press);
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.3f);
    SDL_PumpEvents();
    run(0.5f);
    EXPECT_NEAR(car.throttle, 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(car.brake, 0.0f);
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.9f);
    SDL_PumpEvents();
    run(Frame);
    EXPECT_NEAR(car.throttle, (0.9f - 0.05f) / 0.95f, 1e-4f);
    // Let go of the trigger: the key's ramp goes on from its own value.
    pad.Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0.0f);
    SDL_PumpEvents();
    run(0.1f);
    EXPECT_NEAR(car.throttle, 0.5f + 0.1f + Frame, 1e-4f);
    handler.DispatchKey(VK_UP, Release);

    // Left held steers 0.2 in a quarter second; the stick full right wins,
    // and let go, the keys' steering is back where the ramp has it.
    handler.DispatchKey(VK_LEFT, Press);
    run(0.25f);
    EXPECT_NEAR(car.steering, 0.2f, 1e-4f);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, 1.0f);
    SDL_PumpEvents();
    run(Frame);
    EXPECT_FLOAT_EQ(car.steering, -1.0f);
    pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, 0.0f);
    SDL_PumpEvents();
    run(Frame);
    EXPECT_NEAR(car.steering, 0.2f + 2 * 0.8f * Frame, 1e-4f);
    handler.RemoveListener(EventHandler::KeyEvent, &player);
}

TEST(CarRumble, AHardHitPulsesAndTheVergeRumblesUntilTheRoad) {
    CarRumble rumble;
    CarRumble::Pulse pulse;
    // Braking hard on the road (1 m/s a frame): nothing.
    for (float speed = 30.0f; speed > 20.0f; speed -= 1.0f) EXPECT_FALSE(rumble.Update(speed, 3.0, Frame, pulse));
    ASSERT_TRUE(rumble.Update(20.0f, 8.0, Frame, pulse));  // off the road
    EXPECT_FLOAT_EQ(pulse.lowFrequency, CarRumble::OffRoad.lowFrequency);
    // 20 to 9 m/s over two frames is a hit; the verge's rumble waits for its pulse.
    rumble.Update(15.0f, 8.0, Frame, pulse);
    ASSERT_TRUE(rumble.Update(9.0f, 8.0, Frame, pulse));
    EXPECT_FLOAT_EQ(pulse.lowFrequency, CarRumble::Impact.lowFrequency);
    int frames = 1;
    while (!rumble.Update(9.0f, 8.0, Frame, pulse)) ++frames;
    EXPECT_NEAR(frames * Frame, CarRumble::Impact.durationMs / 1000.0f, 2 * Frame);
    ASSERT_TRUE(rumble.Update(9.0f, 2.0, Frame, pulse));  // back on the road: stopped
    EXPECT_EQ(pulse.lowFrequency + pulse.highFrequency, 0.0f);
}
