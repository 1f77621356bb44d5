#pragma once

class Sound;

/// One playing instance of a Sound on a mixer channel, made by
/// Sonavar::PlaySound. Destroying it does not stop the sound: channels end
/// when their sound does or when the engine shuts down, so a Channel may be
/// deleted at any time, before or after Shutdown.
class Channel {
public:
    Channel(Sound& sound, int channel);
    /// Does nothing; see the class comment.
    ~Channel();
    Channel(const Channel&) = default;
    Channel& operator=(const Channel&) = default;

private:
    Sound* sound;
    /// Mixer channel number the sound started on.
    int channel;
};
