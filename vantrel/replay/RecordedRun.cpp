#include "RecordedRun.h"

#include <algorithm>
#include <cmath>

namespace {

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

RecordedRun::RecordedRun(int sampleRateHz)
    : sampleRateHz(std::clamp(sampleRateHz, MinSampleRateHz, MaxSampleRateHz)) {}

double RecordedRun::GetDurationS() const {
    return samples.size() < 2 ? 0.0 : static_cast<double>(samples.size() - 1) / sampleRateHz;
}

std::size_t RecordedRun::GetMaxSamples() const {
    return static_cast<std::size_t>(MaxDurationS) * static_cast<std::size_t>(sampleRateHz) + 1;
}

bool RecordedRun::Append(const Sample& sample) {
    if (samples.size() >= GetMaxSamples()) return false;
    furthestM.push_back(furthestM.empty() ? sample.distanceM : std::max(furthestM.back(), sample.distanceM));
    samples.push_back(sample);
    return true;
}

void RecordedRun::Reserve(std::size_t count) {
    count = std::min(count, GetMaxSamples());
    samples.reserve(count);
    furthestM.reserve(count);
}

void RecordedRun::Clear() {
    samples.clear();
    furthestM.clear();
    inputs.Clear();
}

RecordedRun::Sample RecordedRun::At(double timeS) const {
    if (samples.empty()) return Sample();
    const double position = timeS * sampleRateHz;
    // Also catches a time that is not a number.
    if (!(position > 0.0)) return samples.front();
    if (position >= static_cast<double>(samples.size() - 1)) return samples.back();
    const auto index = static_cast<std::size_t>(position);
    return Blend(samples[index], samples[index + 1], static_cast<float>(position - static_cast<double>(index)));
}

RecordedRun::Sample RecordedRun::Blend(const Sample& a, const Sample& b, float t) {
    Sample blend = a;
    blend.positionM = a.positionM + (b.positionM - a.positionM) * t;
    blend.orientation = vmath::slerp(a.orientation, b.orientation, t);
    blend.distanceM = Lerp(a.distanceM, b.distanceM, t);
    blend.speedMs = Lerp(a.speedMs, b.speedMs, t);
    blend.engineRpm = Lerp(a.engineRpm, b.engineRpm, t);
    blend.steering = Lerp(a.steering, b.steering, t);
    blend.throttle = Lerp(a.throttle, b.throttle, t);
    blend.brake = Lerp(a.brake, b.brake, t);
    for (int i = 0; i < WheelCount; ++i) {
        blend.wheelSpinRad[i] = Lerp(a.wheelSpinRad[i], b.wheelSpinRad[i], t);
        blend.wheelSteerRad[i] = Lerp(a.wheelSteerRad[i], b.wheelSteerRad[i], t);
    }
    return blend;
}

std::optional<double> RecordedRun::TimeAtDistance(double distanceM) const {
    if (samples.empty() || std::isnan(distanceM)) return std::nullopt;
    if (distanceM <= furthestM.front()) return 0.0;
    // The first sample at or beyond the distance. It went further than any
    // before it, so the run crossed the distance coming from the sample before.
    const auto found = std::lower_bound(furthestM.begin(), furthestM.end(), distanceM,
                                        [](float furthest, double d) { return furthest < d; });
    if (found == furthestM.end()) return std::nullopt;
    const auto index = static_cast<std::size_t>(found - furthestM.begin());
    const double from = samples[index - 1].distanceM;
    const double to = samples[index].distanceM;
    const double fraction = to > from ? std::clamp((distanceM - from) / (to - from), 0.0, 1.0) : 1.0;
    return (static_cast<double>(index - 1) + fraction) / sampleRateHz;
}

std::optional<double> RecordedRun::GapS(double nowS, double distanceM) const {
    const std::optional<double> thenS = TimeAtDistance(distanceM);
    if (!thenS) return std::nullopt;
    return nowS - *thenS;
}

std::vector<std::optional<double>> RecordedRun::CheckpointTimes(const std::vector<double>& distancesM) const {
    std::vector<std::optional<double>> times;
    times.reserve(distancesM.size());
    for (const double distanceM : distancesM) times.push_back(TimeAtDistance(distanceM));
    return times;
}

vmath::mat4<float> RecordedRun::MatrixGL(const Sample& sample) {
    const vmath::mat3<float> r = vmath::to_mat3(sample.orientation);
    vmath::mat4<float> gl(1.0f);
    // OpenGL's order: each axis (a column of r) is a row of the flat array.
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < 3; ++i) gl[axis * 4 + i] = r(i, axis);
    gl[12] = sample.positionM.x;
    gl[13] = sample.positionM.y;
    gl[14] = sample.positionM.z;
    return gl;
}

vmath::quat<float> RecordedRun::OrientationOfGL(const float matrixGL[16]) {
    vmath::mat3<float> r;
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < 3; ++i) r(i, axis) = matrixGL[axis * 4 + i];
    return vmath::to_quat(r);
}
