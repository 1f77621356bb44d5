// The player's options without a window: the key bindings and their
// refusals, every option kept and read back by a new store as a restart
// would, a damaged settings file clamped with one warning a value, the keys
// and steering speeds as the player drives with them, and the pad's dead
// zone, curve and bound buttons on SDL's virtual pad.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "FileText.h"
#include "VirtualPad.h"
#include "cars/CameraSettings.h"
#include "cars/Car.h"
#include "drivers/Player.h"
#include "hud/DisplaySettings.h"
#include "input/ControlSettings.h"
#include "input/Gamepad.h"
#include "input/KeyBindings.h"
#include "input/KeySets.h"
#include "platform/WindowMessage.h"
#include "storage/SettingsStore.h"

namespace fs = std::filesystem;

namespace {

const int Press = 0, Release = 1;

/// A scratch settings folder, and what is printed meanwhile.
class Options : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-options-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        previous = std::cout.rdbuf(output.rdbuf());
    }
    void TearDown() override {
        std::cout.rdbuf(previous);
        fs::remove_all(folder);
    }
    /// What was printed since the last call.
    std::string Printed() { return std::exchange(output, std::ostringstream()).str(); }

    fs::path folder;
    std::ostringstream output;
    std::streambuf* previous = nullptr;
};

}  // namespace

TEST(KeyBindings, AKeyServesOneActionAndTheGamesOwnKeysAreRefusedInWords) {
    KeyBindings keys;
    EXPECT_EQ(keys.KeyOf(KeyBindings::Throttle), unsigned(VK_UP));
    EXPECT_EQ(keys.Bind(KeyBindings::SteerLeft, 'A'), KeyBindings::Refusal::None);
    EXPECT_EQ(keys.ActionOf('A'), KeyBindings::SteerLeft);
    EXPECT_FALSE(keys.ActionOf(VK_LEFT)) << "the old key is free again";

    struct Row {
        KeyBindings::Action action;
        unsigned key;
        KeyBindings::Refusal refusal;
        const char* message;
    };
    const Row rows[] = {
        {KeyBindings::SteerRight, 'A', KeyBindings::Refusal::Taken, "A is already bound to Steer left"},
        {KeyBindings::Throttle, VK_DOWN, KeyBindings::Refusal::Taken, "Down is already bound to Brake"},
        {KeyBindings::Throttle, VK_ESCAPE, KeyBindings::Refusal::Reserved, "Escape is the game's own key"},
        {KeyBindings::Throttle, VK_RETURN, KeyBindings::Refusal::Reserved, "Return is the game's own key"},
        {KeyBindings::Pause, '8', KeyBindings::Refusal::Reserved, "8 is the game's own key"},  // a volume key
        {KeyBindings::Pause, VK_F1 + 10, KeyBindings::Refusal::Reserved, "F11 is the game's own key"},
        {KeyBindings::Pause, 'W', KeyBindings::Refusal::Reserved, "W is the game's own key"},  // watch a run
        {KeyBindings::Pause, 0x10, KeyBindings::Refusal::Unknown, "That key cannot be bound to Pause"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(keys.Bind(row.action, row.key), row.refusal) << row.message;
        EXPECT_EQ(keys.RefusalMessage(row.refusal, row.action, row.key), row.message);
    }
    // Nothing refused changed anything; its own key again is no refusal.
    EXPECT_EQ(keys.KeyOf(KeyBindings::Throttle), unsigned(VK_UP));
    EXPECT_EQ(keys.KeyOf(KeyBindings::Pause), unsigned('P'));
    EXPECT_EQ(keys.Bind(KeyBindings::SteerLeft, 'A'), KeyBindings::Refusal::None);
    keys.Reset();
    EXPECT_EQ(keys.KeyOf(KeyBindings::SteerLeft), unsigned(VK_LEFT));

    // Every key the platform sends reads back by its name, in either case.
    for (unsigned key = 1; key < 256; ++key) {
        const std::string name = KeyBindings::KeyName(key);
        if (name.empty()) continue;
        EXPECT_EQ(KeyBindings::KeyFromName(name), key) << name;
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(KeyBindings::KeyFromName(lower), key) << lower;
    }
    EXPECT_EQ(KeyBindings::KeyFromName("Shift"), 0u);
}

TEST_F(Options, EveryOptionSurvivesARestartAndADamagedFileIsClampedWithOneWarningAValue) {
    {
        SettingsStore store(folder.string());
        KeyBindings keys;
        ASSERT_EQ(keys.Bind(KeyBindings::Throttle, 'T'), KeyBindings::Refusal::None);
        ASSERT_EQ(keys.Bind(KeyBindings::Spectator, VK_SPACE), KeyBindings::Refusal::None);
        keys.Keep(&store);
        ControlSettings controls;
        controls.steeringSpeed = 1.7f;
        controls.returnSpeed = 2.4f;
        controls.padDeadZone = 0.3f;
        controls.padCurve = 1.2f;
        controls.Keep(&store);
        CameraSettings camera;
        camera.chaseDistanceM = 14.5f;
        camera.chaseHeightM = 3.0f;
        camera.fieldOfViewDeg = 85.0f;
        camera.Keep(&store);
        DisplaySettings display;
        display.speedUnit = SpeedUnit::Mph;
        display.showFrameRate = true;
        display.Keep(&store);
    }
    {
        // The next run's store reads them back, and says nothing about it.
        SettingsStore store(folder.string());
        const KeyBindings keys = KeyBindings::Read(&store);
        EXPECT_EQ(keys.KeyOf(KeyBindings::Throttle), unsigned('T'));
        EXPECT_EQ(keys.KeyOf(KeyBindings::Spectator), unsigned(VK_SPACE));
        EXPECT_EQ(keys.KeyOf(KeyBindings::Brake), unsigned(VK_DOWN));
        const ControlSettings controls = ControlSettings::Read(&store);
        EXPECT_FLOAT_EQ(controls.steeringSpeed, 1.7f);
        EXPECT_FLOAT_EQ(controls.returnSpeed, 2.4f);
        EXPECT_FLOAT_EQ(controls.padDeadZone, 0.3f);
        EXPECT_FLOAT_EQ(controls.padCurve, 1.2f);
        const CameraSettings camera = CameraSettings::Read(&store);
        EXPECT_FLOAT_EQ(camera.chaseDistanceM, 14.5f);
        EXPECT_FLOAT_EQ(camera.chaseHeightM, 3.0f);
        EXPECT_FLOAT_EQ(camera.fieldOfViewDeg, 85.0f);
        const DisplaySettings display = DisplaySettings::Read(&store);
        EXPECT_EQ(display.speedUnit, SpeedUnit::Mph);
        EXPECT_TRUE(display.showFrameRate);
        EXPECT_EQ(Printed(), "");
    }

    // Edited by hand: each value out of range is clamped, each unreadable
    // one left at its default, and each says so on one line of its own.
    std::ofstream(folder / "settings.ini") << "[keys]\n"
                                              "throttle = t\n"
                                              "brake = T\n"       // the throttle's already: Down it is
                                              "pause = F5\n"      // the game's own: P it is
                                              "recover = Hyper\n" // no key: R it is
                                              "[controls]\n"
                                              "steering_speed = 9\n"
                                              "return_speed = fast\n"
                                              "pad_dead_zone = -5\n"
                                              "pad_curve = 2.5\n"
                                              "[camera]\n"
                                              "chase_distance = 1e9\n"
                                              "field_of_view = 130\n"
                                              "chase_height = nan\n"
                                              "[display]\n"
                                              "speed_unit = knots\n"
                                              "frame_rate = yes\n";
    SettingsStore store(folder.string());
    const KeyBindings keys = KeyBindings::Read(&store);
    const ControlSettings controls = ControlSettings::Read(&store);
    const CameraSettings camera = CameraSettings::Read(&store);
    const DisplaySettings display = DisplaySettings::Read(&store);
    EXPECT_EQ(keys.KeyOf(KeyBindings::Throttle), unsigned('T'));
    EXPECT_EQ(keys.KeyOf(KeyBindings::Brake), unsigned(VK_DOWN));
    EXPECT_EQ(keys.KeyOf(KeyBindings::Pause), unsigned('P'));
    EXPECT_EQ(keys.KeyOf(KeyBindings::Recover), unsigned('R'));
    EXPECT_FLOAT_EQ(controls.steeringSpeed, ControlSettings::MaxSpeed);
    EXPECT_FLOAT_EQ(controls.returnSpeed, ControlSettings().returnSpeed);
    EXPECT_FLOAT_EQ(controls.padDeadZone, ControlSettings::MinDeadZone);
    EXPECT_FLOAT_EQ(controls.padCurve, 2.5f);
    EXPECT_FLOAT_EQ(camera.chaseDistanceM, CameraSettings::MaxDistanceM);
    EXPECT_FLOAT_EQ(camera.fieldOfViewDeg, CameraSettings::MaxFieldOfViewDeg);
    EXPECT_FLOAT_EQ(camera.chaseHeightM, CameraSettings().chaseHeightM);
    EXPECT_EQ(display.speedUnit, SpeedUnit::Kmh);
    EXPECT_FALSE(display.showFrameRate);
    const std::string printed = Printed();
    EXPECT_EQ(Count(printed, "[WARN]"), 11) << printed;
    EXPECT_EQ(Count(printed, "\n"), 11) << printed;
    for (const char* named : {"brake = \"T\"", "pause = \"F5\"", "recover = \"Hyper\"", "steering_speed = 9 is out of",
                              "return_speed = \"fast\"", "pad_dead_zone = -5 is out of 0 ... 50, 0 it is",
                              "chase_distance = 1e9", "field_of_view = 130 is out of 60 ... 100, 100 it is",
                              "chase_height = \"nan\"", "speed_unit = \"knots\"", "frame_rate = \"yes\""})
        EXPECT_NE(printed.find(named), std::string::npos) << named << " in\n" << printed;
}

TEST(PlayerOptions, TheBoundKeysDriveAtTheChosenSteeringSpeeds) {
    Car car;  // no body: the controls alone
    car.controlsEnabled = true;
    Player player;
    player.SetCar(&car);
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &player);
    KeyBindings keys;
    ASSERT_EQ(keys.Bind(KeyBindings::Throttle, 'T'), KeyBindings::Refusal::None);
    ASSERT_EQ(keys.Bind(KeyBindings::SteerLeft, 'A'), KeyBindings::Refusal::None);
    ASSERT_EQ(keys.Bind(KeyBindings::ChaseView, 'V'), KeyBindings::Refusal::None);
    player.SetKeyBindings(keys);
    ControlSettings controls;
    controls.steeringSpeed = 2.0f;
    controls.returnSpeed = 0.5f;
    player.SetControlSettings(controls);

    // The old keys do nothing now.
    for (unsigned key : {unsigned(VK_UP), unsigned(VK_LEFT), unsigned('C')}) handler.DispatchKey(key, Press);
    player.Update(0.25f);
    EXPECT_EQ(car.throttle, 0.0f);
    EXPECT_EQ(car.steering, 0.0f);
    EXPECT_EQ(car.cameraMode, 0);
    for (unsigned key : {unsigned(VK_UP), unsigned(VK_LEFT)}) handler.DispatchKey(key, Release);

    handler.DispatchKey('T', Press);
    handler.DispatchKey('A', Press);
    handler.DispatchKey('V', Press);
    player.Update(0.25f);
    EXPECT_FLOAT_EQ(car.throttle, 0.25f);
    EXPECT_FLOAT_EQ(car.steering, 0.5f) << "2 locks a second for a quarter of one";
    EXPECT_EQ(car.cameraMode, 1);
    handler.DispatchKey('A', Release);
    player.Update(0.25f);
    EXPECT_FLOAT_EQ(car.steering, 0.375f) << "back at half a lock a second";
    handler.DispatchKey('T', Release);
    player.Update(0.1f);
    EXPECT_EQ(car.throttle, 0.0f);
}

TEST(PadOptions, TheDeadZoneAndCurveShapeTheStickAndARaceGetsTheBoundKeys) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    struct Recorder : EventHandler::EventListener {
        void OnKey(EventHandler&, unsigned key, int state) override { keys.emplace_back(key, state); }
        std::vector<std::pair<unsigned, int>> keys;
    } recorder;
    EventHandler handler;
    handler.AddListener(EventHandler::KeyEvent, &recorder);
    {
        Gamepad gamepad(handler);
        ASSERT_TRUE(gamepad.Initialize());
        VirtualPad pad;
        ASSERT_TRUE(pad.IsPlugged()) << SDL_GetError();
        const auto steering = [&](float x) {
            pad.Stick(SDL_CONTROLLER_AXIS_LEFTX, x);
            PumpPadEvents(gamepad);
            gamepad.Update(false);
            return gamepad.GetDriving().steering;
        };
        EXPECT_LT(steering(0.25f), -0.01f) << "past the default 15 %";
        gamepad.SetSteering(0.3f, 1.0f);
        EXPECT_EQ(steering(0.25f), 0.0f) << "inside 30 %";
        EXPECT_NEAR(steering(0.65f), -0.5f, 0.01f) << "linear from the edge of the dead zone";
        gamepad.SetSteering(0.3f, 2.0f);
        EXPECT_NEAR(steering(0.65f), -0.25f, 0.01f) << "the square of half";
        EXPECT_NEAR(steering(-1.0f), 1.0f, 0.01f) << "full lock is still there";

        // In a race the D-pad and Y send the keys the player bound; the
        // release goes to the key pressed even should the race end between.
        KeyBindings keys;
        ASSERT_EQ(keys.Bind(KeyBindings::Throttle, 'T'), KeyBindings::Refusal::None);
        ASSERT_EQ(keys.Bind(KeyBindings::Recover, 'B'), KeyBindings::Refusal::None);
        gamepad.SetKeyBindings(&keys);
        pad.Button(SDL_CONTROLLER_BUTTON_Y, true);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        PumpPadEvents(gamepad);
        gamepad.SetKeyBindings(nullptr);
        pad.Button(SDL_CONTROLLER_BUTTON_Y, false);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        PumpPadEvents(gamepad);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);  // back in the menus
        PumpPadEvents(gamepad);
        EXPECT_EQ(recorder.keys, (std::vector<std::pair<unsigned, int>>{
                                     {'B', Press}, {'T', Press}, {'B', Release}, {'T', Release}, {VK_UP, Press}}));
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

TEST_F(Options, TheSecondKeySetIsKeptApartFromTheFirstAndADamagedOneWarnsOnceAnEntry) {
    // No key serves two actions across the sets, save the first set's
    // spectator key, which the second set's brake shares.
    KeySets keys;
    const KeyBindings& first = keys.Get(KeyBindings::FirstSet);
    const KeyBindings& second = keys.Get(KeyBindings::SecondSet);
    for (unsigned key = 1; key < 256; ++key) {
        const std::optional<KeyBindings::Action> one = first.ActionOf(key), two = second.ActionOf(key);
        EXPECT_FALSE(one && two && *one != KeyBindings::Spectator) << KeyBindings::KeyName(key);
    }
    struct Row {
        KeyBindings::Set set;
        KeyBindings::Action action;
        unsigned key;
        const char* message;  ///< empty: bound
    };
    const Row rows[] = {
        {KeyBindings::SecondSet, KeyBindings::Throttle, VK_UP, "Up is already bound to Throttle of player 1"},
        {KeyBindings::FirstSet, KeyBindings::SteerLeft, 'A', "A is already bound to Steer left of player 2"},
        {KeyBindings::SecondSet, KeyBindings::Recover, 'G', "G is the game's own key"},
        {KeyBindings::FirstSet, KeyBindings::Recover, 'W', "W is the game's own key"},  // watch: a player alone's
        {KeyBindings::SecondSet, KeyBindings::Spectator, 'J', "That key cannot be bound to Spectator camera"},
        {KeyBindings::FirstSet, KeyBindings::Spectator, 'D', ""},  // a player alone's
        {KeyBindings::SecondSet, KeyBindings::Throttle, 'I', ""},
    };
    for (const Row& row : rows) {
        const KeyBindings::Refusal refusal = keys.Bind(row.set, row.action, row.key);
        EXPECT_EQ(keys.RefusalMessage(refusal, row.set, row.action, row.key), row.message);
    }

    // Kept and read back by the next run, without a word.
    {
        SettingsStore store(folder.string());
        keys.Keep(&store);
    }
    SettingsStore store(folder.string());
    const KeySets read = KeySets::Read(&store);
    EXPECT_EQ(read.Get(KeyBindings::SecondSet).KeyOf(KeyBindings::Throttle), unsigned('I'));
    EXPECT_EQ(read.Get(KeyBindings::FirstSet).KeyOf(KeyBindings::Spectator), unsigned('D'));
    EXPECT_EQ(store.Get(KeyBindings::SecondSection, "spectator"), std::nullopt);
    EXPECT_EQ(Printed(), "");

    // Edited by hand: the first set is read as before, and the second gives
    // way to it, an entry at a time, with one line each.
    std::ofstream(folder / "settings.ini") << "[keys]\n"
                                              "steer_left = A\n"     // the second set's default
                                              "[keys2]\n"
                                              "throttle = Up\n"      // player 1's: W it is
                                              "brake = G\n"          // the game's own: S it is
                                              "steer_right = Hyper\n"  // no key: D it is
                                              "pause = P\n"          // player 1's: Tab it is
                                              "chase_view = x\n";
    SettingsStore edited(folder.string());
    KeySets damaged = KeySets::Read(&edited);
    const KeyBindings& player2 = damaged.Get(KeyBindings::SecondSet);
    EXPECT_EQ(damaged.Get(KeyBindings::FirstSet).KeyOf(KeyBindings::SteerLeft), unsigned('A'));
    EXPECT_EQ(player2.KeyOf(KeyBindings::Throttle), unsigned('W'));
    EXPECT_EQ(player2.KeyOf(KeyBindings::Brake), unsigned('S'));
    EXPECT_EQ(player2.KeyOf(KeyBindings::SteerLeft), 0u) << "unbound: player 1 has A";
    EXPECT_EQ(player2.KeyOf(KeyBindings::SteerRight), unsigned('D'));
    EXPECT_EQ(player2.KeyOf(KeyBindings::ChaseView), unsigned('X'));
    EXPECT_EQ(player2.KeyOf(KeyBindings::Pause), unsigned(VK_TAB));
    const std::string printed = Printed();
    EXPECT_EQ(Count(printed, "[WARN]"), 5) << printed;
    EXPECT_EQ(Count(printed, "\n"), 5) << printed;
    for (const char* named : {"[keys2] throttle = \"Up\" is bound to Throttle of player 1 already, W it is",
                              "brake = \"G\"", "steer_right = \"Hyper\"",
                              "[keys2] steer_left cannot have A, bound to Steer left of player 1 already: unbound",
                              "pause = \"P\" is bound to Pause of player 1 already, Tab it is"})
        EXPECT_NE(printed.find(named), std::string::npos) << named << " in\n" << printed;
    // The unbound action takes a free key on the options page; its reset
    // leaves it unbound while player 1 has the default.
    EXPECT_EQ(damaged.Bind(KeyBindings::SecondSet, KeyBindings::SteerLeft, 'J'), KeyBindings::Refusal::None);
    damaged.ResetSecond();
    EXPECT_EQ(damaged.Get(KeyBindings::SecondSet).KeyOf(KeyBindings::SteerLeft), 0u);
    EXPECT_EQ(damaged.Get(KeyBindings::SecondSet).KeyOf(KeyBindings::ChaseView), unsigned('E'));
}
