#include "AudioSystem.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>

#include "Limiter.h"

// Mix_LoadWAV decodes compressed formats (MP3, Ogg, FLAC) whole only since 2.6.0.
#if !SDL_MIXER_VERSION_ATLEAST(2, 6, 0)
#error "Sonavar needs SDL2_mixer 2.6.0 or newer"
#endif

namespace {

// Oldest SDL2_mixer accepted at run time: the library may be swapped after the build.
const int OldestMixerVersion = SDL_VERSIONNUM(2, 6, 0);

// The game's only sound, its music, is MP3, and WAV needs no decoder library.
// Ogg Vorbis and FLAC are the other common formats: missing, they are worth a
// warning but no refusal. The rest are loaded when present, without a word.
const int RequiredDecoders = MIX_INIT_MP3;
const int CommonDecoders = MIX_INIT_OGG | MIX_INIT_FLAC;
const int OtherDecoders = MIX_INIT_OPUS | MIX_INIT_MOD | MIX_INIT_MID;

// Rate and speaker layout of the default output, where the driver can tell.
void QueryDeviceLayout(int& frequency, int& channels)
{
    SDL_AudioSpec spec{};
    char* name = nullptr;
    bool known = SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0;
    SDL_free(name);
    if (!known)
        known = SDL_GetNumAudioDevices(0) > 0 && SDL_GetAudioDeviceSpec(0, 0, &spec) == 0;
    // Drivers without device information report zeros.
    if (known && spec.freq > 0)
        frequency = spec.freq;
    if (known && spec.channels > 0)
        channels = spec.channels;
}

} // namespace

AudioSystem::AudioSystem(DecoderStart startDecoders) : startDecoders(startDecoders ? startDecoders : Mix_Init) {}

AudioSystem::~AudioSystem()
{
    Close();
}

bool AudioSystem::Open(int channelCount)
{
    if (deviceOpen)
        return true;

    const SDL_version* linked = Mix_Linked_Version();
    if (SDL_VERSIONNUM(linked->major, linked->minor, linked->patch) < OldestMixerVersion) {
        Error("SDL2_mixer " + std::to_string(linked->major) + "." + std::to_string(linked->minor) + "." +
              std::to_string(linked->patch) + " is too old, 2.6.0 or newer is needed");
        return false;
    }
    // The mixer has one output per process: opening it again would share or
    // even reopen it under another engine's feet.
    if (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
        Error("the audio mixer is already open in this process");
        return false;
    }

    mixerUp = true;  // Mix_Quit also undoes a partly successful Mix_Init
    const int decoders = startDecoders(RequiredDecoders | CommonDecoders | OtherDecoders);
    if ((decoders & RequiredDecoders) != RequiredDecoders) {
        const std::string reason = Mix_GetError();
        Error("the MP3 decoder is not available" + (reason.empty() ? "" : ": " + reason));
        Close();
        return false;
    }
    if ((decoders & CommonDecoders) != CommonDecoders) {
        const bool noOgg = (decoders & MIX_INIT_OGG) == 0, noFlac = (decoders & MIX_INIT_FLAC) == 0;
        std::cout << "[WARN] Sonavar: no " << (noOgg ? "Ogg Vorbis" : "") << (noOgg && noFlac ? " or " : "")
                  << (noFlac ? "FLAC" : "") << " decoder, such sounds will not load" << std::endl;
    }

    if (!OpenDeviceOutput()) {
        // A server or CI machine has no sound card; the game must still run.
        if (!OpenSilentOutput()) {
            Error(std::string("cannot open any audio output: ") + SDL_GetError());
            Close();
            return false;
        }
        std::cout << "[WARN] Sonavar: no audio device, running without sound" << std::endl;
    }

    if (Mix_AllocateChannels(channelCount) != channelCount) {
        Error("cannot allocate " + std::to_string(channelCount) + " mixer channels");
        Close();
        return false;
    }
    voices.reset(new Voice[channelCount]);
    voiceCount = channelCount;

    // Without the limiter the channels, mixed under their level, would stay too quiet.
    int frequency = MIX_DEFAULT_FREQUENCY, speakers = 2;
    Mix_QuerySpec(&frequency, nullptr, &speakers);
    limiter = std::make_unique<Limiter>(frequency, speakers, static_cast<float>(MixHeadroom));
    if (Mix_RegisterEffect(MIX_CHANNEL_POST, LimitMix, nullptr, limiter.get()) == 0) {
        Error(std::string("cannot put the limiter on the mixed output: ") + Mix_GetError());
        Close();
        return false;
    }
    return true;
}

bool AudioSystem::OpenDeviceOutput()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    subsystemUp = true;

    int frequency = MIX_DEFAULT_FREQUENCY;
    int channels = MIX_DEFAULT_CHANNELS;
    QueryDeviceLayout(frequency, channels);
    // No changes allowed: SDL converts to the device itself, and the mixer
    // keeps exactly the format asked for.
    if (Mix_OpenAudioDevice(frequency, MIX_DEFAULT_FORMAT, channels, BufferFrames, nullptr, 0) == 0) {
        deviceOpen = true;
        return true;
    }
    // Some outputs cannot take their own speaker layout; stereo is the safe one.
    if (channels != 2 && Mix_OpenAudioDevice(frequency, MIX_DEFAULT_FORMAT, 2, BufferFrames, nullptr, 0) == 0) {
        deviceOpen = true;
        return true;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemUp = false;
    return false;
}

bool AudioSystem::OpenSilentOutput()
{
    // The override beats SDL_AUDIODRIVER; resetting it afterwards leaves the
    // next audio start to choose its driver as usual.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!started)
        return false;
    subsystemUp = true;

    // Another part of the program may hold the subsystem up on the failing driver.
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver == nullptr || std::strcmp(driver, "dummy") != 0) {
        SDL_SetError("the audio subsystem stays on driver \"%s\"", driver ? driver : "none");
        return false;
    }
    if (Mix_OpenAudioDevice(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, MIX_DEFAULT_CHANNELS, BufferFrames,
                            nullptr, 0) != 0)
        return false;
    deviceOpen = true;
    silent = true;
    return true;
}

void AudioSystem::Close()
{
    if (deviceOpen)
        Mix_HaltChannel(-1);
    for (Mix_Chunk* chunk : chunks)
        Mix_FreeChunk(chunk);
    chunks.clear();
    if (deviceOpen)
        Mix_CloseAudio();
    // Only now: the halt above removed the effects that point at the voices,
    // and closing the mixer the one on its output.
    voices.reset();
    voiceCount = 0;
    limiter.reset();
    if (mixerUp)
        Mix_Quit();
    if (subsystemUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceOpen = mixerUp = subsystemUp = silent = false;
}

Mix_Chunk* AudioSystem::Load(const std::string& fileName)
{
    SDL_RWops* file = SDL_RWFromFile(fileName.c_str(), "rb");
    if (file == nullptr) {
        Error("cannot open sound \"" + fileName + "\": " + SDL_GetError());
        return nullptr;
    }
    Mix_Chunk* chunk = Mix_LoadWAV_RW(file, 1);
    if (chunk == nullptr) {
        Error("cannot decode sound \"" + fileName + "\": " + Mix_GetError());
        return nullptr;
    }
    // An empty chunk would only fail later, when it is played.
    if (chunk->alen == 0) {
        Mix_FreeChunk(chunk);
        Error("sound \"" + fileName + "\" holds no samples");
        return nullptr;
    }
    chunks.push_back(chunk);
    return chunk;
}

bool AudioSystem::Owns(const Mix_Chunk* chunk) const
{
    return chunk != nullptr && std::find(chunks.begin(), chunks.end(), chunk) != chunks.end();
}

int AudioSystem::Play(Mix_Chunk& chunk, int loopCount, double startS)
{
    // The channel is chosen here rather than by the mixer, so its voice and
    // effect are ready before the mixer takes the first buffer of the play.
    // Only this thread starts sounds, so a free channel stays free.
    int channel = 0;
    while (channel < voiceCount && Mix_Playing(channel) != 0)
        ++channel;
    if (channel == voiceCount) {
        Error("cannot play a sound: all " + std::to_string(voiceCount) + " channels are busy");
        return -1;
    }
    int frequency = MIX_DEFAULT_FREQUENCY, speakers = 2;
    Mix_QuerySpec(&frequency, nullptr, &speakers);
    speakers = std::max(speakers, 1);
    const double total = static_cast<double>(chunk.alen / (sizeof(int16_t) * speakers));
    double start = 0.0;
    if (std::isfinite(startS) && startS > 0.0 && total > 0.0)
        start = std::fmod(std::floor(startS * frequency), total);
    Voice& voice = voices[channel];
    voice.chunk = &chunk;
    ++voice.generation;
    voice.volume = 1.0f;
    voice.rate.store(1.0f, std::memory_order_relaxed);
    voice.loops = loopCount != 0;
    voice.speakers = speakers;
    voice.position = start;
    // The mixer's own copy always begins at the chunk's start.
    voice.resampling = start > 0.0;
    // The mixer keeps a channel's volume from one play to the next.
    Mix_Volume(channel, MIX_MAX_VOLUME);
    // At rate 1 the effect only counts frames and the mixer's copy passes.
    // The mixer drops a channel's effects when its play ends.
    if (Mix_RegisterEffect(channel, Resample, nullptr, &voice) == 0)
        Error(std::string("no rate control on a channel: ") + Mix_GetError());
    if (Mix_PlayChannel(channel, &chunk, loopCount) < 0) {
        Mix_UnregisterAllEffects(channel);
        Error(std::string("cannot play a sound: ") + Mix_GetError());
        return -1;
    }
    return channel;
}

unsigned AudioSystem::GetGeneration(int channel) const
{
    return channel >= 0 && channel < voiceCount ? voices[channel].generation : 0;
}

bool AudioSystem::IsCurrent(int channel, unsigned generation) const
{
    if (!deviceOpen || channel < 0 || channel >= voiceCount || voices[channel].generation != generation)
        return false;
    // A play that ended leaves the channel idle, or to a later play (with a
    // newer generation, checked above).
    return Mix_Playing(channel) != 0 && Mix_GetChunk(channel) == voices[channel].chunk;
}

void AudioSystem::SetVolume(int channel, float volume)
{
    if (channel < 0 || channel >= voiceCount)
        return;
    volume = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    voices[channel].volume = volume;
    Mix_Volume(channel, static_cast<int>(std::lround(volume * MIX_MAX_VOLUME)));
}

float AudioSystem::GetVolume(int channel) const
{
    return channel >= 0 && channel < voiceCount ? voices[channel].volume : 0.0f;
}

void AudioSystem::SetRate(int channel, float rate)
{
    if (channel < 0 || channel >= voiceCount)
        return;
    rate = std::isnan(rate) ? 1.0f : std::clamp(rate, 1.0f / 16.0f, 16.0f);
    voices[channel].rate.store(rate, std::memory_order_relaxed);
}

float AudioSystem::GetRate(int channel) const
{
    return channel >= 0 && channel < voiceCount ? voices[channel].rate.load(std::memory_order_relaxed) : 0.0f;
}

void AudioSystem::Resample(int, void* stream, int len, void* data)
{
    Voice& voice = *static_cast<Voice*>(data);
    const int speakers = voice.speakers;
    const size_t frames = static_cast<size_t>(len) / (sizeof(int16_t) * speakers);
    const size_t total = voice.chunk->alen / (sizeof(int16_t) * speakers);
    if (total == 0)
        return;
    const float rate = voice.rate.load(std::memory_order_relaxed);
    if (!voice.resampling && rate == 1.0f) {
        // The mixer hands over exactly these frames: keep up, and make room.
        voice.position += static_cast<double>(frames);
        if (voice.position >= static_cast<double>(total))
            voice.position = std::fmod(voice.position, static_cast<double>(total));
        int16_t* out = static_cast<int16_t*>(stream);
        for (size_t i = 0; i < frames * speakers; ++i)
            out[i] = static_cast<int16_t>(out[i] / MixHeadroom);
        return;
    }
    voice.resampling = true;

    const int16_t* in = reinterpret_cast<const int16_t*>(voice.chunk->abuf);
    int16_t* out = static_cast<int16_t*>(stream);
    const double end = static_cast<double>(total);
    double position = voice.position;
    for (size_t f = 0; f < frames; ++f, out += speakers) {
        if (position >= end) {
            if (!voice.loops) {
                // A single play has run out; the mixer ends the channel later.
                std::memset(out, 0, (frames - f) * speakers * sizeof(int16_t));
                break;
            }
            position = std::fmod(position, end);
        }
        const size_t i = static_cast<size_t>(position);
        const size_t next = i + 1 < total ? i + 1 : (voice.loops ? 0 : i);
        const float t = static_cast<float>(position - static_cast<double>(i));
        const int16_t* a = in + i * speakers;
        const int16_t* b = in + next * speakers;
        for (int s = 0; s < speakers; ++s)
            out[s] = static_cast<int16_t>((a[s] + t * (b[s] - a[s])) / MixHeadroom);
        position += rate;
    }
    voice.position = position;
}

void AudioSystem::LimitMix(int, void* stream, int len, void* limiter)
{
    static_cast<Limiter*>(limiter)->Process(static_cast<int16_t*>(stream), static_cast<size_t>(len) / sizeof(int16_t));
}

void AudioSystem::Error(const std::string& message)
{
    std::cout << "[ERROR] Sonavar: " << message << std::endl;
}
