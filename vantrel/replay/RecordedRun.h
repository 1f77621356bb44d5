#pragma once
// A run of a car as the recorder kept it: the car's state at a fixed rate
// from the moment it was released. What a ghost drives, what a replay
// shows, and what the gap to a ghost is measured against.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <vmath/mat4.h>
#include <vmath/quat.h>
#include <vmath/vec3.h>

#include "RunInputs.h"

/// The samples of one run, `k / rate` seconds after the release for sample
/// k, and the run between them: every value blended from the two samples
/// round a time. Holds at most MaxDurationS of samples.
class RecordedRun {
public:
    static constexpr int WheelCount = 4;  ///< front left, front right, rear left, rear right
    static constexpr int DefaultSampleRateHz = 50;
    static constexpr int MinSampleRateHz = 10;
    static constexpr int MaxSampleRateHz = 100;
    static constexpr double MaxDurationS = 30.0 * 60.0;  ///< a longer run is cut here

    /// The car at one instant.
    struct Sample {
        vmath::vec3<float> positionM{0.0f, 0.0f, 0.0f};  ///< chassis box centre in the world (m)
        vmath::quat<float> orientation = vmath::quat<float>::identity();  ///< chassis frame in the world
        float distanceM = 0.0f;  ///< along the road's centre line, unwrapped (RoadProgress) (m)
        float speedMs = 0.0f;    ///< over the ground (m/s)
        float engineRpm = 0.0f;
        float steering = 0.0f;  ///< -1 ... 1, positive to the left
        float throttle = 0.0f;  ///< 0 ... 1
        float brake = 0.0f;     ///< 0 ... 1
        int gear = 0;           ///< -1 reverse, 0 neutral, 1 ... N
        /// Spin of each wheel about its axle since the release, never
        /// wrapped, so a blend between samples turns the right way (rad,
        /// positive rolling forward).
        float wheelSpinRad[WheelCount] = {0.0f, 0.0f, 0.0f, 0.0f};
        float wheelSteerRad[WheelCount] = {0.0f, 0.0f, 0.0f, 0.0f};  ///< (rad, positive to the left)
    };

    /// An empty run at `sampleRateHz`, clamped to MinSampleRateHz ... MaxSampleRateHz.
    explicit RecordedRun(int sampleRateHz = DefaultSampleRateHz);

    int GetSampleRateHz() const { return sampleRateHz; }
    std::size_t GetSampleCount() const { return samples.size(); }
    bool IsEmpty() const { return samples.empty(); }
    /// Only for index < GetSampleCount().
    const Sample& GetSample(std::size_t index) const { return samples[index]; }
    /// From the first sample to the last (s); 0 with fewer than two.
    double GetDurationS() const;
    /// The most samples a run at this rate holds: MaxDurationS of them, both ends counted.
    std::size_t GetMaxSamples() const;

    /// Adds the sample of the next instant.
    /// @return false, leaving the run as it was, once it holds GetMaxSamples()
    bool Append(const Sample& sample);
    /// Room for `count` samples (at most GetMaxSamples()) at once, so
    /// appending as many never moves them (the pages are only touched as
    /// they fill).
    void Reserve(std::size_t count);
    /// Drops the samples and the inputs and keeps the room they had, so a
    /// run recorded into it again finds its memory already there.
    void Clear();

    /// The driver's inputs at every tick from the race's start, where the
    /// run was recorded with them (a Time Trial's, to be checked by driving
    /// it again); empty otherwise.
    const RunInputs& GetInputs() const { return inputs; }
    void SetInputs(RunInputs value) { inputs = std::move(value); }

    /// The car `timeS` after the release, blended between the two samples
    /// round it: position, distance, speeds, controls and wheels linearly,
    /// orientation by slerp, the gear of the earlier sample. Before the
    /// first sample the first, after the last the last; a default sample on
    /// an empty run.
    Sample At(double timeS) const;

    /// `a` and `b` blended as At blends the samples round a time, `t` from 0 (a) to 1 (b).
    static Sample Blend(const Sample& a, const Sample& b, float t);

    /// When the run first reached `distanceM` along the centre line (s
    /// after the release), between the samples either side; 0 for a
    /// distance it started at or beyond. Going backwards does not count
    /// twice: only a distance further than it had ever been moves it on.
    /// @return none when the run never got that far, or is empty
    std::optional<double> TimeAtDistance(double distanceM) const;
    /// The live gap of a car `nowS` into its run, at `distanceM`, to this
    /// run: positive when behind it (s). None where this run never got.
    std::optional<double> GapS(double nowS, double distanceM) const;
    /// This run's time at each checkpoint's distance (TimeAtDistance):
    /// the split of a car there is its own time minus this one.
    std::vector<std::optional<double>> CheckpointTimes(const std::vector<double>& distancesM) const;

    /// A sample's chassis frame in OpenGL's order, as
    /// physics::DynamicObjectCar::GetMatrixGL gives it.
    static vmath::mat4<float> MatrixGL(const Sample& sample);
    /// The orientation of an OpenGL-order frame whose first three rows are
    /// orthonormal axes.
    static vmath::quat<float> OrientationOfGL(const float matrixGL[16]);

private:
    int sampleRateHz;
    std::vector<Sample> samples;
    RunInputs inputs;
    /// The furthest distance of the samples up to each one: never falls, so
    /// a distance is found by bisection.
    std::vector<float> furthestM;
};
