#pragma once
// A recorded run watched again: the race's own car posed from the
// recording, as fast or slow as the player likes.
#include <string>
#include <vector>

#include <nodara/View.h>
#include <vmath/mat4.h>

#include "EngineSound.h"
#include "replay/RecordedRun.h"
#include "drivers/GhostDriver.h"

class Camera;
class CarPool;
class Font;
class Lumora;
class Minimap;
struct Car;

/// Plays a RecordedRun back on a race car: its node, wheels and steering
/// posed from the recording (GhostDriver), the chase camera following it,
/// the dials and the gear at their recorded values and the sounds fed from
/// the recorded engine speed and slip. The world is not stepped meanwhile;
/// the car's body stays where it was.
///
/// The race makes one when the player asks to watch and deletes it when they
/// go back; the car and its camera are given back as they were.
class Replay {
public:
    /// The speeds Up and Down step through (times the recording's own).
    static constexpr float Speeds[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
    static constexpr int SpeedCount = 5;
    static constexpr int NormalSpeed = 2;  ///< Speeds[NormalSpeed] is 1
    /// The keys of a replay, as the HUD lists them.
    static const char* const KeysLine;

    /// Plays `run` (copied) on `car`, a race car of `cars`, seen through
    /// `camera`; all three must outlive the replay. The car's node, wheel
    /// and steering transforms, its chase-camera state and the camera's view
    /// are kept and given back by the destructor. The camera runs in behind
    /// the car as at a start.
    Replay(const RecordedRun& run, Car& car, CarPool& cars, Camera& camera);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    /// One frame `dtS` seconds long: the run moves on by `dtS` times the
    /// speed (stopping at its end), the car posed there and the dials set;
    /// the chase camera follows unless the spectator has it (`follow` false).
    /// A step that is not a positive number moves nothing.
    void Update(float dtS, bool follow);
    /// Up (faster) and Down (slower) on presses, unless the arrows fly the
    /// spectator's camera (`spectator`).
    /// @return true when the key was the replay's
    bool OnKey(unsigned key, int state, bool spectator);

    float GetSpeed() const { return Speeds[speedIndex]; }
    /// Seconds into the run (the recording's time).
    double GetTimeS() const { return driver.GetTimeS(); }
    bool IsFinished() const { return driver.IsFinished(); }
    const RecordedRun& GetRun() const { return run; }
    /// The recording at the replay's time, as the car was last posed.
    const RecordedRun::Sample& GetSample() const { return driver.GetSample(); }
    /// The car's velocity at the replay's time, from the samples round it (m/s).
    vmath::vec3<float> GetVelocityMs() const;
    /// The sounds' view of the replayed car: the recorded engine speed,
    /// throttle and speed, and the slip of its sideways drift.
    EngineSound::Drive SoundDrive(bool running) const;
    /// "Replay 2x", and "Replay 2x  end" once the run is over.
    std::string StatusLine() const;

    /// The map with the car on it, the recorded clock, the status, the keys
    /// and the instruments with the recorded gear, in the caller's
    /// window-pixel projection.
    void DrawHud(Lumora& engine, Minimap& map, Font& clockFont, Font& lineFont, float widthPx, float heightPx);

private:
    /// The car's node, wheel and steering matrices (in that order), kept
    /// before its wheels are put at rest for the driver.
    static std::vector<vmath::mat4<float>> KeepNodes(Car& car, CarPool& cars);

    RecordedRun run;  ///< before `driver`, which drives from it
    Car& car;
    Camera& camera;
    /// What the replay gives back: the car's nodes (KeepNodes; made before
    /// `driver` takes the wheels' rest), its chase-camera state and the view.
    std::vector<vmath::mat4<float>> savedNodes;
    float savedCameraPosition[4];
    float savedCameraHeightTerm;
    float savedCameraTime;
    View savedView;
    GhostDriver driver;
    int speedIndex = NormalSpeed;
};
