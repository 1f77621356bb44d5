#pragma once
#include <memory>

class AudioSystem;
class Sound;

/// One playing instance of a Sound on a mixer channel, made by
/// Sonavar::PlaySound. Destroying it does not stop the sound: channels end
/// when their sound does or when the engine shuts down, so a Channel may be
/// deleted at any time, before or after Shutdown.
///
/// The controls act on this play of the sound only: once it has ended, was
/// stopped, or the engine shut down, they do nothing and return false, even
/// when the mixer channel plays another sound by then.
class Channel {
public:
    /// A channel without an engine behind it: every control returns false.
    Channel(Sound& sound, int channel);
    /// Made by Sonavar::PlaySound: the `generation`-th play on mixer `channel`.
    Channel(std::weak_ptr<AudioSystem> system, Sound& sound, int channel, unsigned generation);
    /// Does nothing; see the class comment.
    ~Channel();
    Channel(const Channel&) = default;
    Channel& operator=(const Channel&) = default;

    /// Loudness, 0 (silent) to 1 (as recorded, the start value); values
    /// outside are clamped. Applied in steps of 1/128.
    bool SetVolume(float volume);
    /// The volume last set, 1 when none was; 0 once the sound is over.
    float GetVolume() const;

    /// Playback rate: 2 plays twice as fast and an octave higher, 0.5 half
    /// as fast and an octave lower; clamped to 1/16 ... 16. Starts at 1.
    /// The sound still lasts as long as at rate 1: a looping sound loops at
    /// the new rate, a single play runs out early or is cut off.
    bool SetRate(float rate);
    /// The rate last set, 1 when none was; 0 once the sound is over.
    float GetRate() const;

    /// Holds the sound where it is, and Resume goes on from there.
    bool Pause();
    bool Resume();
    /// Ends the sound for good; the channel is free for others.
    bool Stop();

    /// True until the sound ends or is stopped, paused or not.
    bool IsPlaying() const;
    bool IsPaused() const;

    int GetMixerChannel() const { return channel; }

private:
    /// The audio system while this play is still on its channel, else null.
    std::shared_ptr<AudioSystem> Current() const;

    std::weak_ptr<AudioSystem> system;
    Sound* sound;
    /// Mixer channel number the sound started on.
    int channel;
    unsigned generation = 0;
};
