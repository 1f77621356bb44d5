#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class Limiter;
struct Mix_Chunk;

/// The audio output one engine opened: SDL's audio subsystem, the mixer with
/// its decoders and channels, and every chunk loaded through it. Each step of
/// Open is remembered, so Close (or destruction) undoes exactly what was done,
/// once, in reverse order.
///
/// Every channel is mixed at 1 / MixHeadroom of its level, so the mixer's
/// 16-bit sum has room above full scale for several loud sounds at once; a
/// Limiter on the mixed output brings it back up and keeps the peaks under
/// full scale.
class AudioSystem {
public:
    /// Starts the mixer's decoders named in `flags` (MIX_INIT_* bits) and
    /// returns the bits of those that started, as Mix_Init does.
    using DecoderStart = int (*)(int flags);

    /// @param startDecoders how Open starts the decoders: Mix_Init when null;
    ///        tests pass a stand-in that offers fewer.
    explicit AudioSystem(DecoderStart startDecoders = nullptr);
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    /// Starts the decoders, then opens the output in the device's speaker
    /// layout, or in stereo if that fails, or on SDL's silent "dummy" driver
    /// (with one warning) if no device opens at all; then allocates
    /// `channelCount` mixer channels. Only the MP3 decoder is required (the
    /// game's music is MP3; WAV needs none); missing Ogg Vorbis or FLAC
    /// decoders cost one warning.
    /// @return false, with a message, when none of that works.
    bool Open(int channelCount);

    /// Halts every channel, frees every chunk, closes the output and quits
    /// the subsystem. Does nothing when nothing is open.
    void Close();

    bool IsOpen() const { return deviceOpen; }
    /// True when Open fell back to the silent driver.
    bool IsSilent() const { return silent; }

    /// Decodes the whole file into a chunk this system owns until Close.
    /// @return null, with a message, when the file cannot be read or decoded.
    Mix_Chunk* Load(const std::string& fileName);

    /// True for a chunk loaded here and not yet freed.
    bool Owns(const Mix_Chunk* chunk) const;

    /// Starts `chunk` on a free channel with `loopCount` extra repetitions,
    /// at full volume and rate 1, with the resampling effect in place,
    /// `startS` seconds in (wrapped into the chunk; negative or NaN: 0).
    /// @return the channel number, or -1 with a message.
    int Play(Mix_Chunk& chunk, int loopCount, double startS = 0.0);

    /// How often Play has started a sound on `channel`: a Channel holding an
    /// older count belongs to a play that is over. 0 for a bad channel.
    unsigned GetGeneration(int channel) const;
    /// True while play `generation` of `channel` is still on the mixer.
    bool IsCurrent(int channel, unsigned generation) const;

    /// Volume (0 ... 1) and rate (1/16 ... 16) of `channel`'s current play,
    /// clamped; the getters give what was set.
    void SetVolume(int channel, float volume);
    float GetVolume(int channel) const;
    void SetRate(int channel, float rate);
    float GetRate(int channel) const;

    /// Writes "[ERROR] Sonavar: <message>" to standard output.
    static void Error(const std::string& message);

private:
    /// What the resampling effect of one mixer channel needs. The main thread
    /// fills it under the audio lock when a play starts; afterwards only
    /// `rate` is written from there, and the rest belongs to the audio thread.
    struct Voice {
        const Mix_Chunk* chunk = nullptr;
        unsigned generation = 0;  ///< main thread only
        float volume = 1.0f;      ///< main thread only
        std::atomic<float> rate{1.0f};
        bool loops = false;
        int speakers = 2;       ///< interleaved samples per frame
        double position = 0.0;  ///< frames into the chunk
        bool resampling = false;  ///< position has left the mixer's own
    };
    /// The channel effect: writes `len` bytes of output from the chunk at the
    /// voice's rate, interpolating linearly between neighbouring frames, and
    /// lowers it to 1 / MixHeadroom.
    static void Resample(int channel, void* stream, int len, void* voice);
    /// The effect on the mixed output: the limiter `limiter` over `len` bytes.
    static void LimitMix(int channel, void* stream, int len, void* limiter);

    bool OpenDeviceOutput();
    bool OpenSilentOutput();

    /// Mixer buffer length in sample frames: short enough for prompt starts,
    /// long enough not to underrun on a busy frame.
    static const int BufferFrames = 1024;
    /// Each channel goes into the mixer's sum at 1 / MixHeadroom of its level:
    /// 12 dB of room, for a sum up to four times full scale, which the mixer
    /// would otherwise square off before the limiter sees it. Four players'
    /// cars knocked in the same frame, over their engines, the field's and
    /// the music, stay under it; the cost is two bits of a quiet sound's 16.
    static const int MixHeadroom = 4;

    DecoderStart startDecoders;
    bool subsystemUp = false;  ///< SDL_InitSubSystem(SDL_INIT_AUDIO) succeeded
    bool mixerUp = false;      ///< Mix_Init was called
    bool deviceOpen = false;   ///< Mix_OpenAudioDevice succeeded
    bool silent = false;       ///< the output is the dummy driver
    std::vector<Mix_Chunk*> chunks;
    std::unique_ptr<Voice[]> voices;  ///< one per mixer channel while open
    int voiceCount = 0;
    std::unique_ptr<Limiter> limiter;  ///< on the mixed output while open
};
