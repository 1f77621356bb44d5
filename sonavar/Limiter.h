#pragma once
#include <cstddef>
#include <cstdint>

/// A soft peak limiter for interleaved 16-bit output. Quiet passages pass
/// unchanged; above Threshold the level is pressed smoothly towards Ceiling,
/// which no output sample reaches. The gain falls at once on a louder peak,
/// holds for HoldS (longer than a low note's period, so it does not ripple
/// with the wave) and recovers over ReleaseS: a loud sum is turned down as a
/// whole instead of being squared off. All speakers of a frame share the gain,
/// which keeps the stereo picture.
///
/// The mixer hands its sum over `inputGain` times too quiet (the headroom
/// that keeps the sum from clipping before it gets here); the limiter brings
/// it back up before it limits.
class Limiter {
public:
    /// Of full scale: below it a sample passes unchanged.
    static constexpr float Threshold = 0.7f;
    /// Of full scale: the output stays under it, whatever comes in.
    static constexpr float Ceiling = 0.95f;
    /// How long (s) the gain stays down after a peak before it recovers.
    static constexpr float HoldS = 0.03f;
    /// Time constant (s) of the recovery after the hold.
    static constexpr float ReleaseS = 0.25f;

    /// @param sampleRateHz frames per second of the output (>= 1)
    /// @param speakers interleaved samples per frame (>= 1)
    /// @param inputGain gain applied before limiting, 1 ... 16
    Limiter(int sampleRateHz, int speakers, float inputGain = 1.0f);

    /// Limits `count` interleaved samples in place; a partial frame at the
    /// end is left as it is.
    void Process(int16_t* samples, size_t count);

    /// The gain applied to the last frame on top of the input gain: 1 while
    /// nothing is limited, less while a peak is held down.
    float GetGainReduction() const;

private:
    int speakers;
    float inputGain;       ///< per 16-bit sample: the gain over full scale
    float decayPerFrame;   ///< the envelope's fall per frame once the hold ends
    size_t holdFrames;
    float top;             ///< the largest sample size under the ceiling
    float envelope = 0.0f; ///< the peak being limited, of full scale
    size_t holdLeft = 0;   ///< frames until the envelope may fall
};
