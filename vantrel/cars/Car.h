#pragma once
#include <string>
#include <vector>

#include "hud/SpeedUnit.h"

#include <vmath/vec3.h>

class Camera;
class Font;
class Gauge;
class GroupNode;
class Lumora;
class Model;

namespace physics {
class DynamicObjectCar;
}

/// One car of the game: its scene nodes, and for a race car also its HUD
/// dials, physics body, driver controls and chase-camera state. The show
/// room uses only `node` and `model`. Everything pointed to belongs to
/// someone else: the model and its nodes to the engine, the font to the
/// engine's font manager, the dials and the body to the car pool.
struct Car {
    /// Chase-camera view: eye and centre offsets along the camera frame
    /// (L0 sideways, L1 up, L2 towards the car) and the distance kept (m).
    struct ChaseView {
        float eye[3];
        float centre[3];
        float distance;
    };
    static const ChaseView Views[2];

    Font* gearFont = nullptr;   ///< "Arial" at size 26, for the gear line
    GroupNode* node = nullptr;  ///< the car node inside `model`
    Model* model = nullptr;     ///< the loaded model
    Gauge* rpmGauge = nullptr;
    Gauge* speedGauge = nullptr;
    std::vector<GroupNode*> wheels;         ///< front left, front right, rear left, rear right
    std::vector<GroupNode*> steeringNodes;  ///< front left, front right
    physics::DynamicObjectCar* body = nullptr;

    float throttle = 0.0f;          ///< 0 ... 1
    float brake = 0.0f;             ///< 0 ... 1
    float steering = 0.0f;          ///< -1 ... 1, positive to the left
    float steeringRate = 0.0f;      ///< degrees the steering nodes turn this frame
    float previousSteering = 0.0f;  ///< `steering` of the previous frame
    int cameraMode = 0;             ///< chase view 0 or 1
    float cameraHeightTerm = 1.0f;  ///< chase camera's height correction, -1 ... 1
    float cameraTime = 0.0f;        ///< seconds of chase-camera run-in (s)
    bool controlsEnabled = false;   ///< the driver's input reaches the body
    bool held = false;              ///< braked in place until the driver asks for throttle or brake
    float cameraPosition[4] = {0.0f, 0.0f, 0.0f, 0.0f};  ///< chase-camera anchor in the world (m)
    /// The chase camera's distance instead of its view's, when above 0 (m).
    float chaseDistanceM = 0.0f;
    /// Raises the chase camera's eye above its view's (m; below 0 lowers it).
    float chaseRaiseM = 0.0f;
    /// What the speed dial and the speed under the dials are in.
    SpeedUnit speedUnit = SpeedUnit::Kmh;
    float shownSpeedMs = 0.0f;  ///< the speed last shown (m/s)

    /// Control adjustments by `amount`; see the clamps of each.
    /// Throttle and brake stay within 0 ... 1.
    void AdjustThrottle(float amount);
    void AdjustBrake(float amount);
    /// Steering to the left stays within 0 ... 1: steering to the left while
    /// it stands to the right first jumps to the centre.
    void AdjustLeft(float amount);
    /// Steering to the right stays within -1 ... 0, as AdjustLeft mirrored.
    void AdjustRight(float amount);

    /// Hands the controls to the body (or, while controls are disabled, holds
    /// it with full brake) and shows its speed and engine speed on the dials.
    /// Without a body only the dials are left alone.
    void ApplyControls();
    /// Shows `speedMs` on the speed dial and under the dials, in `speedUnit`.
    void ShowSpeed(float speedMs);
    /// Moves the car node to the body's frame, spins the wheels by their
    /// angular speed over `dtS` and turns the steering nodes with the steering.
    void UpdateNodes(float dtS);
    /// The same with the car node at `frameGL` (OpenGL's order) instead of
    /// the body's frame: a pose between two steps of the physics.
    void PoseNodes(const float frameGL[16], float dtS);
    /// Moves the chase camera behind the car: a run-in over its first two
    /// seconds, then it lags, keeps its distance and corrects its height.
    /// Looking almost straight down or up at the car leaves the view as it was.
    void UpdateCamera(Camera& camera, float dtS);
    /// The same for a car posed by other means than its body (a replay):
    /// `frameGL` is the car node's matrix in OpenGL's order, whose columns
    /// are the car's axes and position, `velocityMs` its velocity (m/s).
    void UpdateCamera(Camera& camera, const float frameGL[16], const vmath::vec3<float>& velocityMs, float dtS);
    /// The translucent wedge, both dials, the gear line and the speed shown in
    /// the bottom right corner of a window `viewportWidth` pixels wide, in
    /// the caller's window-pixel projection.
    void DrawInstruments(Lumora& engine, float viewportWidth);
    /// The same with `gear` on the gear line instead of the body's (a replay's).
    void DrawInstruments(Lumora& engine, float viewportWidth, int gear);
    /// The gear as the gear line shows it: "R" in reverse, "N" in neutral,
    /// else its number.
    static std::string GearLabel(int gear);
};
