#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Helpers for the sound tests: tone files to play, SDL's audio driver chosen
// through the environment, and measurements of what the disk driver wrote.

/// Writes a mono 16-bit PCM WAV file holding a sine tone at half full scale.
void WriteToneWav(const std::string& path, double frequencyHz, double seconds, int sampleRate = 44100);

/// A fresh folder under the test temp folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

/// Sets SDL_AUDIODRIVER (and SDL_DISKAUDIOFILE when given) until destroyed,
/// so each test chooses its own output whatever ran before it.
class AudioDriverEnvironment {
public:
    explicit AudioDriverEnvironment(const std::string& driver, const std::string& diskFile = "");
    ~AudioDriverEnvironment();
};

/// What SDL's disk driver wrote: 16-bit samples of the first speaker only.
struct Recording {
    std::vector<int16_t> samples;
    int sampleRate = 0;

    /// Reads a raw interleaved 16-bit file of `channels` speakers.
    static Recording Load(const std::string& path, int channels, int sampleRate);

    /// Length, in frames, of the 10 ms windows whose peak passes `threshold`.
    size_t LoudFrames(int threshold = 1000) const;

    /// Tone frequency from the rising zero crossings between the first and
    /// the last loud sample; 0 when nothing is loud.
    double ToneFrequencyHz(int threshold = 1000) const;

    /// Amplitude, in sample units, of the `frequencyHz` sine in samples
    /// [from, to) (Goertzel): a pure tone of amplitude A at that frequency
    /// gives about A over whole periods.
    double Amplitude(size_t from, size_t to, double frequencyHz) const;
};
