#pragma once
#include "vmath/vec2.h"

class Camera;

/// Moves and turns a camera like a free-flying observer. It keeps no camera
/// of its own: each call changes the eye, centre and up of the camera's view.
/// Rotations measure the mouse against a reference point the caller moves.
///
/// With dir = centre - eye and s = up x dir (to the viewer's left), every
/// result stays finite: a rotation whose outcome would be undefined (dir zero
/// or parallel to up) leaves the view unchanged.
class Spectator {
public:
    /// The reference point starts at (0, 0).
    Spectator() : referencePoint(0, 0) {}

    /// The last mouse position (window pixels) the rotations measure from.
    const vmath::vec2<int>& GetReferencePoint() const { return referencePoint; }
    void SetReferencePoint(const vmath::vec2<int>& point) { referencePoint = point; }

    /// Moves eye and centre by dir * step (step in multiples of |dir|).
    void Move(Camera& camera, double step);
    /// Moves eye and centre by s * step; positive steps go left.
    void Strafe(Camera& camera, double step);
    /// Turns dir towards s by (reference.x - x) * degreesPerPixel; the centre
    /// ends at distance 1 from the eye.
    void Yaw(Camera& camera, float degreesPerPixel, int x);
    /// Tilts dir towards up by (reference.y - y) * degreesPerPixel; up is kept.
    void Pitch(Camera& camera, float degreesPerPixel, int y);
    /// Turns up towards s by (reference.x - x) * degreesPerPixel; dir is kept.
    void Roll(Camera& camera, float degreesPerPixel, int x);

private:
    vmath::vec2<int> referencePoint;
};
