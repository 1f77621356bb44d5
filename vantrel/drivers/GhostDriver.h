#pragma once
// A recorded run driving a car of its own: the ghost of a best run, or the
// car of a replay. The car has no physics body, so it collides with nothing
// and nothing moves it but the recording.
#include <cstddef>
#include <vector>

#include <vmath/mat4.h>

#include "Driver.h"
#include "replay/RecordedRun.h"

/// Poses a display-only car (no body) as a RecordedRun was at a time: the
/// car node at the recorded frame, each wheel spun about its axle and each
/// steering node turned by the recorded angles, all blended between the
/// samples. Sets the car's controls to the recorded ones too, for whatever
/// shows or plays them.
class GhostDriver : public Driver {
public:
    /// Drives `car` from `run`; both must outlive the driver. The transforms
    /// of `car`'s wheel and steering nodes as they are now are taken as
    /// their rest: make the driver on a car whose nodes have not been turned.
    GhostDriver(const RecordedRun& run, const Car& car);

    /// Moves the driver's clock on by `dtS` (the replay speed already in
    /// it) and poses `car` there; the clock stops at the run's end.
    void Drive(Car& car, float dtS) override;
    /// Sets the clock to `timeS` after the run's start (clamped to the run)
    /// and poses `car` there, the race's clock driving a ghost.
    void PoseAt(Car& car, double timeS);
    /// Poses `car` as `shown` says, whatever the run: a state of a car
    /// driven elsewhere. The clock stays where it was.
    void Show(Car& car, const RecordedRun::Sample& shown);

    double GetTimeS() const { return timeS; }
    /// The clock has reached the run's last sample.
    bool IsFinished() const { return timeS >= run.GetDurationS(); }
    /// The recording at the clock, as the car was last posed: speed,
    /// engine speed, gear and the distance along the centre line for the
    /// dials, the sounds and the map.
    const RecordedRun::Sample& GetSample() const { return sample; }

private:
    void Pose(Car& car);

    const RecordedRun& run;
    std::vector<vmath::mat4<float>> wheelRest;     ///< OpenGL order, as the car's wheels
    std::vector<vmath::mat4<float>> steeringRest;  ///< OpenGL order, as the car's steering nodes
    double timeS = 0.0;
    RecordedRun::Sample sample;
};
