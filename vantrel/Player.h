#pragma once
#include <lumora/Spectator.h>

#include "EventHandler.h"

class Camera;
struct Car;

/// The race's driver: the arrow keys become throttle, brake and steering of
/// its car, C switches the chase view and S a free-flying spectator camera,
/// which the arrow keys move and a left-button drag turns.
class Player : public EventHandler::EventListener {
public:
    /// Throttle, brake and steering rates per second of key held.
    static constexpr float ThrottleRate = 1.0f;
    static constexpr float BrakeRate = 2.0f;
    static constexpr float SteeringRate = 0.8f;
    /// Spectator speed (multiples of the view direction's length per second).
    static constexpr float SpectatorSpeed = 15.0f;

    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// One frame of input over `dtS` seconds: in spectator mode the camera
    /// moves and the car gets none; otherwise the controls are adjusted and
    /// handed to the car. Nothing without a car (or camera, for the spectator).
    void Update(float dtS);

    /// Arrow keys on press and release; C (press, outside spectator mode)
    /// switches the chase view; S (press) toggles spectator mode.
    void OnKey(EventHandler& handler, unsigned key, int state) override;
    /// In spectator mode only: a left-button drag turns the camera.
    void OnMouse(EventHandler& handler, int x, int y, int button, int state) override;
    /// The window lost the keyboard: the releases of the keys held now will
    /// never come, so they count as released.
    void OnFocusLost(EventHandler& handler) override;

    /// The race engine's camera, which the race keeps alive; null for none.
    void SetCamera(Camera* value) { camera = value; }
    /// The driven car, which the race's car pool keeps alive; null for none.
    void SetCar(Car* value) { car = value; }
    Car* GetCar() const { return car; }
    bool IsSpectator() const { return spectator; }

private:
    bool dragging = false;  ///< left button held in spectator mode
    bool accelerateKey = false, brakeKey = false, leftKey = false, rightKey = false;
    bool spectator = false;
    Camera* camera = nullptr;
    Spectator spectatorCamera;
    Car* car = nullptr;
};
