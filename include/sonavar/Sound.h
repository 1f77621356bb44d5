#pragma once

class Channel;
class Sonavar;
struct Mix_Chunk;

/// One sound file, decoded whole into a mixer chunk by Sonavar::CreateSound.
///
/// WARNING: the chunk belongs to the engine, not to this object: destroying a
/// Sound frees nothing, and the engine's Shutdown frees the chunk while the
/// Sound may live on. After Shutdown a Sound may still be deleted, and Play
/// then returns null, but the engine itself must outlive every Play call.
class Sound {
public:
    /// Loop count every Play sets: the game's music repeats this often, long
    /// enough to last a whole session.
    static constexpr int PlayLoopCount = 100;
    /// Loop count that repeats a sound until it is stopped.
    static constexpr int LoopForever = -1;

    Sound(Sonavar& engine, Mix_Chunk& sound);
    /// Does nothing; see the class comment.
    ~Sound();
    Sound(const Sound&) = default;
    Sound& operator=(const Sound&) = default;

    Sonavar& GetSonavar() const { return *engine; }
    Mix_Chunk* GetSound() const { return sound; }

    /// Extra repetitions after the first play-through when this sound is next
    /// started: 0 plays it once, -1 repeats it until it is halted. Starts at 0.
    int GetLoopCount() const { return loopCount; }
    void SetLoopCount(int value) { loopCount = value; }

    /// Sets the loop count to PlayLoopCount and starts the sound through its
    /// engine (Sonavar::PlaySound).
    /// @return the playing channel, owned by the caller, or null.
    Channel* Play();
    /// Sets the loop count to LoopForever and starts the sound `startS`
    /// seconds in (Sonavar::PlaySound), which then plays until its channel is
    /// stopped or the engine shuts down.
    /// @return the playing channel, owned by the caller, or null.
    Channel* PlayLooping(double startS = 0.0);

private:
    Sonavar* engine;
    Mix_Chunk* sound;
    int loopCount = 0;
};
