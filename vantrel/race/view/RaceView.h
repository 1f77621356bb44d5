#pragma once
#include <nodara/Camera.h>

#include "RaceHud.h"
#include "hud/ViewRect.h"

/// One local player's view of the race: its rectangle of the window, the
/// chase camera behind its car and its HUD. The first view moves the race
/// engine's own camera (the one the spectator and a replay move too); the
/// others keep a camera of their own, which the engine draws from while
/// their view is drawn.
class RaceView {
public:
    /// A view moving `camera` (must outlive it), or its own when null.
    explicit RaceView(Camera* camera = nullptr) : camera(camera ? camera : &ownCamera) {}
    RaceView(const RaceView&) = delete;
    RaceView& operator=(const RaceView&) = delete;

    void SetRect(const ViewRect& value) { rect = value; }
    const ViewRect& GetRect() const { return rect; }
    Camera& GetCamera() { return *camera; }
    RaceHud& GetHud() { return hud; }
    /// Vertical field of view suiting the view's shape, for a chase view
    /// that has `verticalDeg` in the window: the same, so a low, wide view
    /// shows the car as the window does and more to the sides, unless that
    /// would see more than 100 degrees across.
    double FieldOfViewDeg(double verticalDeg) const;
    /// How much smaller than a whole window's the HUD is drawn: 1 in a view
    /// of 1024 x 768 or more, never below a half.
    float HudScale() const;

private:
    Camera ownCamera;
    Camera* camera;
    ViewRect rect;
    RaceHud hud;
};
