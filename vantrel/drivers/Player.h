#pragma once
#include <cstdint>
#include <optional>

#include <lumora/Spectator.h>

#include "CarRumble.h"
#include "Driver.h"
#include "input/ControlSettings.h"
#include "input/EventHandler.h"
#include "input/InputDevice.h"
#include "input/KeyBindings.h"

class Camera;
struct Car;
class Gamepad;
class RoadCentreLine;

/// The race's driver: the keys bound to throttle, brake and steering (the
/// arrows unless the player bound others) drive its car, the chase view's
/// key (C) switches the chase view and the spectator's (S) a free-flying
/// spectator camera, which the driving keys move and a left-button drag
/// turns. A pad's analogue
/// stick and triggers drive the car beside the keys: for each control the
/// larger demand wins, the keys keeping their ramps and the pad's values
/// going to the car as they are.
///
/// A player alone hears every device: the keyboard and every pad, merged
/// (a driving key is held while any of them holds it). Beside other players
/// each is bound to one device (SetDevice): a key set of the keyboard, whose
/// keys its bindings name, or one pad, whose buttons and stick alone it
/// takes; the spectator camera is then none of theirs.
class Player : public EventHandler::EventListener, public Driver {
public:
    /// Throttle and brake rates per second of key held; the steering's are
    /// the player's (ControlSettings).
    static constexpr float ThrottleRate = 1.0f;
    static constexpr float BrakeRate = 2.0f;
    /// Spectator speed (multiples of the view direction's length per second).
    static constexpr float SpectatorSpeed = 15.0f;

    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// One frame of input over `dtS` seconds: in spectator mode the camera
    /// moves and the car gets none; otherwise the controls are adjusted and
    /// handed to the car. Nothing without a car (or camera, for the spectator).
    void Update(float dtS);
    /// As a racer's driver: the player drives the car it was given (SetCar).
    void Drive(Car&, float dtS) override { Update(dtS); }

    /// The driving keys on press and release; the chase view's (press,
    /// outside spectator mode) switches the chase view; the spectator's
    /// (press) toggles spectator mode. Only the player's own (ActionOf).
    void OnKey(EventHandler& handler, unsigned key, int state) override;
    /// The action of the key event `handler` dispatches now, when it is the
    /// player's: from its device and bound to an action there (the spectator
    /// camera for a player of every device only); none otherwise. The race
    /// goes by it for its own actions (pause, back on the road).
    std::optional<KeyBindings::Action> ActionOf(const EventHandler& handler, unsigned key) const;
    /// In spectator mode only: a left-button drag turns the camera.
    void OnMouse(EventHandler& handler, int x, int y, int button, int state) override;
    /// The window lost the keyboard: the releases of the keys held now will
    /// never come, so they count as released.
    void OnFocusLost(EventHandler& handler) override;

    /// The race engine's camera, which the race keeps alive; null for none.
    void SetCamera(Camera* value) { camera = value; }
    /// The driven car, which the race's car pool keeps alive; null for none.
    void SetCar(Car* value) {
        car = value;
        keyControls = carControls = Controls();
        rumble.Reset();
    }
    Car* GetCar() const { return car; }
    /// The car was put down by hand: the speed it lost then is no impact.
    void CarPlaced() { rumble.Reset(); }
    /// The pads, which outlive the player, and the road whose verges they
    /// rumble on (null: only impacts rumble); a null pad for none.
    /// Another driver at this player's wheel (the game's own, for a
    /// demonstration); null: the keys and the pad again. It must outlive its turn.
    void SetAutopilot(Driver* driver) { autopilot = driver; }
    void SetGamepad(Gamepad* pad, const RoadCentreLine* road) {
        gamepad = pad;
        rumbleRoad = road;
    }
    bool IsSpectator() const { return spectator; }
    /// The keys the player drives with, the defaults until set. Keys held
    /// meanwhile count as released. A player on a pad needs those the pads
    /// were given (Gamepad::SetKeyBindings): its buttons send their keys.
    void SetKeyBindings(const KeyBindings& value) {
        bindings = value;
        ReleaseKeys();
    }
    const KeyBindings& GetKeyBindings() const { return bindings; }
    /// How fast the keys steer and let the steering go back.
    void SetControlSettings(const ControlSettings& value) { controls = value; }
    /// The device the player hears; every device until set. Keys held
    /// meanwhile count as released, and one device has no spectator mode.
    void SetDevice(InputDevice value);
    InputDevice GetDevice() const { return device; }
    /// Bound to a pad that is unplugged now (or with no pads to ask): the
    /// race waits for it to come back to its slot.
    bool IsPadMissing() const;

private:
    /// The pad's rumble for the car's last frame.
    void Rumble(float dtS);
    void ReleaseKeys() { accelerateKey = brakeKey = leftKey = rightKey = 0; }

    KeyBindings bindings;
    ControlSettings controls;
    InputDevice device;
    bool dragging = false;  ///< left button held in spectator mode
    /// The driving keys held, each by whom: bit 0 the keyboard, bit 1 + s
    /// the pad in slot s; a key counts as held while any of them holds it.
    std::uint32_t accelerateKey = 0, brakeKey = 0, leftKey = 0, rightKey = 0;
    bool spectator = false;
    Driver* autopilot = nullptr;
    Camera* camera = nullptr;
    Spectator spectatorCamera;
    Car* car = nullptr;
    Gamepad* gamepad = nullptr;
    const RoadCentreLine* rumbleRoad = nullptr;
    CarRumble rumble;
    const void* rumbleBody = nullptr;  ///< the body `rumble` has followed
    /// The car's controls as the keys' ramps left them, and as handed to the
    /// car after the pad's share, last frame: the ramps go on from their own
    /// values, unless something else (a recovery, a new start) set the car's.
    struct Controls {
        float throttle = 0.0f, brake = 0.0f, steering = 0.0f;
    };
    Controls keyControls, carControls;
};
