#pragma once
#include <memory>
#include <string>

class AudioSystem;
class Channel;
class Sound;

/// The sound engine: opens and closes the audio output and creates and plays
/// sounds on it. The game makes one, initialises it, loads its music with
/// CreateSound and starts it with Sound::Play.
///
/// Sounds playing together are summed with room up to four times full scale,
/// and a soft limiter on the sum keeps the output under it: a loud moment is
/// turned down smoothly instead of clipping. Below 0.7 of full scale nothing
/// changes.
///
/// NOTE: the mixer underneath is process-wide, so only one engine (and its
/// copies) can have the output open at a time.
class Sonavar {
public:
    /// No audio system yet; nothing is opened.
    Sonavar();
    /// Lets go of the audio system; the last engine holding it closes it.
    ~Sonavar();
    /// Copies share the one audio system: a sound made through either plays
    /// through both, and Shutdown on either closes it for all of them.
    Sonavar(const Sonavar& other);
    Sonavar& operator=(const Sonavar& other);

    /// Opens the audio output with MaxChannels mixer channels and the
    /// decoders for MP3 and WAV, plus Ogg Vorbis and FLAC where the mixer has
    /// them (a warning names those it lacks). Where no output device can be
    /// opened it runs on a silent output instead, warns once and still
    /// succeeds, so the game starts on machines without sound.
    /// @return false when the mixer is too old, has no MP3 decoder or cannot
    ///         start at all.
    bool Initialize();

    /// Halts every channel, frees every sound this engine loaded and closes
    /// the output. Safe to call again, and before Initialize.
    void Shutdown();

    /// Decodes a whole sound file into memory.
    /// @return a new Sound the caller owns, or null (with a message on
    /// standard output) before Initialize, after Shutdown, or when the file
    /// is missing, unreadable or of an unknown format.
    Sound* CreateSound(const std::string& fileName);

    /// Starts `sound` at once on a free channel, repeating it as many times
    /// as its loop count says, `startS` seconds into it: past its end the
    /// start wraps round, and a negative or NaN one is its beginning. Copies
    /// of one loop started at different points sound like several sources
    /// rather than one louder; a single play started late ends early.
    /// @return a new Channel the caller owns, or null (with a message) when
    /// the engine is not initialised, `sound` was not loaded by this open
    /// engine, or all MaxChannels channels are busy.
    Channel* PlaySound(Sound& sound, double startS = 0.0);

private:
    /// Mixer channels opened by Initialize: how many sounds can play at once.
    static const int MaxChannels;

    std::shared_ptr<AudioSystem> system;
};
