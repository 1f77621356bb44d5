#include <sonavar/Channel.h>

#include <SDL_mixer.h>

#include "AudioSystem.h"

Channel::Channel(Sound& sound, int channel) : sound(&sound), channel(channel) {}

Channel::Channel(std::weak_ptr<AudioSystem> system, Sound& sound, int channel, unsigned generation)
    : system(std::move(system)), sound(&sound), channel(channel), generation(generation)
{
}

Channel::~Channel() = default;

std::shared_ptr<AudioSystem> Channel::Current() const
{
    std::shared_ptr<AudioSystem> current = system.lock();
    return current && current->IsCurrent(channel, generation) ? current : nullptr;
}

bool Channel::SetVolume(float volume)
{
    std::shared_ptr<AudioSystem> current = Current();
    if (current)
        current->SetVolume(channel, volume);
    return current != nullptr;
}

float Channel::GetVolume() const
{
    std::shared_ptr<AudioSystem> current = Current();
    return current ? current->GetVolume(channel) : 0.0f;
}

bool Channel::SetRate(float rate)
{
    std::shared_ptr<AudioSystem> current = Current();
    if (current)
        current->SetRate(channel, rate);
    return current != nullptr;
}

float Channel::GetRate() const
{
    std::shared_ptr<AudioSystem> current = Current();
    return current ? current->GetRate(channel) : 0.0f;
}

bool Channel::Pause()
{
    if (!Current())
        return false;
    Mix_Pause(channel);
    return true;
}

bool Channel::Resume()
{
    if (!Current())
        return false;
    Mix_Resume(channel);
    return true;
}

bool Channel::Stop()
{
    if (!Current())
        return false;
    Mix_HaltChannel(channel);
    return true;
}

bool Channel::IsPlaying() const
{
    return Current() != nullptr;
}

bool Channel::IsPaused() const
{
    return Current() && Mix_Paused(channel) != 0;
}
