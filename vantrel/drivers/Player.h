#pragma once
#include <lumora/Spectator.h>

#include "CarRumble.h"
#include "Driver.h"
#include "input/ControlSettings.h"
#include "input/EventHandler.h"
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
    /// (press) toggles spectator mode.
    void OnKey(EventHandler& handler, unsigned key, int state) override;
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
    void SetGamepad(Gamepad* pad, const RoadCentreLine* road) {
        gamepad = pad;
        rumbleRoad = road;
    }
    bool IsSpectator() const { return spectator; }
    /// Whether the spectator's key frees the camera: not when the screen is
    /// shared, where one player's camera is not everyone's.
    void SetSpectatorOffered(bool value) {
        spectatorOffered = value;
        if (!value) spectator = false;
    }
    /// The keys the player drives with, the defaults until set. Keys held
    /// meanwhile count as released.
    void SetKeyBindings(const KeyBindings& value) {
        bindings = value;
        accelerateKey = brakeKey = leftKey = rightKey = false;
    }
    const KeyBindings& GetKeyBindings() const { return bindings; }
    /// How fast the keys steer and let the steering go back.
    void SetControlSettings(const ControlSettings& value) { controls = value; }

private:
    /// The pad's rumble for the car's last frame.
    void Rumble(float dtS);

    KeyBindings bindings;
    ControlSettings controls;
    bool dragging = false;  ///< left button held in spectator mode
    bool accelerateKey = false, brakeKey = false, leftKey = false, rightKey = false;
    bool spectator = false;
    bool spectatorOffered = true;
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
