#include <sonavar/Sound.h>

#include <sonavar/Sonavar.h>

Sound::Sound(Sonavar& engine, Mix_Chunk& sound) : engine(&engine), sound(&sound) {}

Sound::~Sound() = default;

Channel* Sound::Play()
{
    loopCount = PlayLoopCount;
    return engine->PlaySound(*this);
}

Channel* Sound::PlayLooping(double startS)
{
    loopCount = LoopForever;
    return engine->PlaySound(*this, startS);
}
