#include <sonavar/Sonavar.h>

#include <sonavar/Channel.h>
#include <sonavar/Sound.h>

#include "AudioSystem.h"

const int Sonavar::MaxChannels = 100;

Sonavar::Sonavar() = default;

// The AudioSystem closes itself when its last holder lets go, so an engine
// shut down before, or a copy destroyed beside another, closes nothing twice.
Sonavar::~Sonavar() = default;

Sonavar::Sonavar(const Sonavar& other) = default;

Sonavar& Sonavar::operator=(const Sonavar& other) = default;

bool Sonavar::Initialize()
{
    if (system && system->IsOpen())
        return true;
    auto opened = std::make_shared<AudioSystem>();
    if (!opened->Open(MaxChannels))
        return false;
    system = std::move(opened);
    return true;
}

void Sonavar::Shutdown()
{
    if (system)
        system->Close();
}

Sound* Sonavar::CreateSound(const std::string& fileName)
{
    if (!system || !system->IsOpen()) {
        AudioSystem::Error("cannot load sound \"" + fileName + "\": the engine is not initialised");
        return nullptr;
    }
    Mix_Chunk* chunk = system->Load(fileName);
    return chunk ? new Sound(*this, *chunk) : nullptr;
}

Channel* Sonavar::PlaySound(Sound& sound, double startS)
{
    if (!system || !system->IsOpen()) {
        AudioSystem::Error("cannot play a sound: the engine is not initialised");
        return nullptr;
    }
    // A Sound kept across Shutdown or from another engine points at a chunk
    // that is freed or not ours.
    Mix_Chunk* chunk = sound.GetSound();
    if (!system->Owns(chunk)) {
        AudioSystem::Error("cannot play a sound that this engine has not loaded or has already freed");
        return nullptr;
    }
    int channel = system->Play(*chunk, sound.GetLoopCount(), startS);
    return channel >= 0 ? new Channel(system, sound, channel, system->GetGeneration(channel)) : nullptr;
}
