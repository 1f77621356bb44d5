#include <sonavar/Channel.h>

Channel::Channel(Sound& sound, int channel) : sound(&sound), channel(channel) {}

Channel::~Channel() = default;
