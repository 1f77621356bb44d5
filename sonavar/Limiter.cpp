#include "Limiter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The output level for a peak `level` (of full scale) above the threshold:
// rising with slope 1 at the threshold, bending smoothly towards the ceiling
// and never reaching it.
float Curve(float level)
{
    const float span = Limiter::Ceiling - Limiter::Threshold;
    return Limiter::Threshold + span * std::tanh((level - Limiter::Threshold) / span);
}

} // namespace

Limiter::Limiter(int sampleRateHz, int speakers, float inputGain)
    : speakers(std::max(speakers, 1)),
      inputGain(std::clamp(inputGain, 1.0f, 16.0f) / 32768.0f),
      decayPerFrame(std::exp(-1.0f / (ReleaseS * std::max(sampleRateHz, 1)))),
      holdFrames(static_cast<size_t>(HoldS * std::max(sampleRateHz, 1))),
      top(std::ceil(Ceiling * 32768.0f) - 1.0f)
{
}

void Limiter::Process(int16_t* samples, size_t count)
{
    const size_t frames = count / speakers;
    for (size_t f = 0; f < frames; ++f, samples += speakers) {
        int peak = 0;
        for (int s = 0; s < speakers; ++s)
            peak = std::max(peak, std::abs(static_cast<int>(samples[s])));
        const float level = peak * inputGain;
        if (level >= envelope) {
            envelope = level;
            holdLeft = holdFrames;
        } else if (holdLeft > 0) {
            --holdLeft;
        } else {
            envelope = std::max(level, envelope * decayPerFrame);
        }
        // The envelope is never below this frame's peak and the curve's gain
        // falls as the level rises, so no sample gets past the ceiling.
        const float gain = envelope > Threshold ? Curve(envelope) / envelope : 1.0f;
        const float scale = gain * inputGain * 32768.0f;
        for (int s = 0; s < speakers; ++s) {
            // Far above the threshold the curve is within a rounding of the
            // ceiling: the top keeps the rounded sample under it.
            const float out = std::clamp(samples[s] * scale, -top, top);
            samples[s] = static_cast<int16_t>(out + (out < 0.0f ? -0.5f : 0.5f));  // rounded
        }
    }
}

float Limiter::GetGainReduction() const
{
    return envelope > Threshold ? Curve(envelope) / envelope : 1.0f;
}
