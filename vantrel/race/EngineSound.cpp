#include "EngineSound.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include "cars/Car.h"
#include "physics/DynamicObjectCar.h"
#include "storage/SettingsStore.h"

namespace {

float Clamp01(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

// Volumes go in tenths: key steps never drift, and the file reads plainly.
float Tenths(float volume) { return std::round(Clamp01(volume) * 10.0f) / 10.0f; }

const char* const MusicKey = "music";
const char* const EffectsKey = "effects";

// Moves `level` towards `target` with time constant `tauS`.
float Approach(float level, float target, float dtS, float tauS) {
    return level + (target - level) * (1.0f - std::exp(-std::max(dtS, 0.0f) / tauS));
}

void Set(const std::unique_ptr<Channel>& channel, float volume, float rate) {
    if (!channel) return;
    channel->SetVolume(volume);
    channel->SetRate(rate);
}

}  // namespace

EngineSound::EngineSound(Sonavar* engine, const std::string& folder) {
    if (!engine) return;
    // CreateSound names each file that fails; one line more says what it costs.
    idle.reset(engine->CreateSound(folder + "engine-idle.wav"));
    load.reset(engine->CreateSound(folder + "engine-load.wav"));
    squeal.reset(engine->CreateSound(folder + "squeal.wav"));
    thud.reset(engine->CreateSound(folder + "thud.wav"));
    if (!idle || !load || !squeal || !thud) {
        std::cout << "[WARN] EngineSound: the race's sounds did not load from \"" << folder
                  << "\", races run without them" << std::endl;
        idle.reset();
        load.reset();
        squeal.reset();
        thud.reset();
    }
}

EngineSound::~EngineSound() {
    for (Voices& voices : players) Stop(voices);
    for (const std::unique_ptr<Channel>& channel : fieldChannels)
        if (channel) channel->Stop();
}

void EngineSound::SetMusic(Channel* channel) {
    music = channel;
    ApplyMusicVolume();
}

const char* const EngineSound::SettingsSection = "sound";

void EngineSound::SetMusicVolume(float volume) {
    musicVolume = Tenths(volume);
    ApplyMusicVolume();
    if (settings) settings->Set(SettingsSection, MusicKey, std::to_string(std::lround(musicVolume * 10.0f) * 10));
}

void EngineSound::SetEffectsVolume(float volume) {
    effectsVolume = Tenths(volume);
    if (settings)
        settings->Set(SettingsSection, EffectsKey, std::to_string(std::lround(effectsVolume * 10.0f) * 10));
}

bool EngineSound::OnVolumeKey(unsigned key) {
    switch (key) {
    case '7': SetMusicVolume(musicVolume - 0.1f); return true;
    case '8': SetMusicVolume(musicVolume + 0.1f); return true;
    case '9': SetEffectsVolume(effectsVolume - 0.1f); return true;
    case '0': SetEffectsVolume(effectsVolume + 0.1f); return true;
    default: return false;
    }
}

void EngineSound::KeepIn(SettingsStore* store) {
    settings = nullptr;  // reading is no change to write back
    if (store) {
        // Saved in percent: a value past either end is clamped, one that is
        // no number leaves the volume as it is, each with one Warn line.
        auto read = [store](const char* key, float& volume) {
            volume = Tenths(static_cast<float>(store->GetNumber(SettingsSection, key, 0.0, 100.0, volume * 100.0f)) /
                            100.0f);
        };
        read(MusicKey, musicVolume);
        read(EffectsKey, effectsVolume);
        ApplyMusicVolume();
    }
    settings = store;
}

void EngineSound::ApplyMusicVolume() {
    if (music) music->SetVolume(musicVolume * (inRace ? RaceMusicShare : 1.0f));
}

float EngineSound::SlipFrom(float skid, float lateralSpeedMs, float speedMs) {
    // Sideways drift starts to sing at 1.5 m/s and is full at 5; a crawling
    // car makes no squeal whatever its wheels do.
    const float drift = Clamp01((std::fabs(lateralSpeedMs) - 1.5f) / 3.5f);
    const float moving = Clamp01((speedMs - 1.0f) / 2.0f);
    return std::max(Clamp01(skid), drift) * moving;
}

EngineSound::Drive EngineSound::DriveOf(const Car* car, bool running) {
    Drive drive;
    const physics::DynamicObjectCar* body = car ? car->body : nullptr;
    drive.running = body && running;
    if (body) {
        drive.rpm = body->GetEngineRpm();
        drive.throttle = car->controlsEnabled ? car->throttle : 0.0f;
        drive.speedMs = body->GetSpeedMs();
        float skid = 0.0f;
        for (int wheel = 0; wheel < physics::DynamicObjectCar::WheelCount; ++wheel)
            if (body->IsWheelInContact(wheel)) skid = std::max(skid, body->GetWheelSkid(wheel));
        const float lateral = vmath::dot(body->GetLinearVelocity(), body->GetAxis(0));
        drive.slip = SlipFrom(skid, lateral, drive.speedMs);
    }
    return drive;
}

EngineSound::Drive EngineSound::WoundDown(Drive drive, float standingS) {
    const float rpm = std::isfinite(drive.rpm) ? drive.rpm : IdleRpm;
    drive.rpm = IdleRpm + (rpm - IdleRpm) * std::exp(-std::max(standingS, 0.0f) / 0.5f);
    drive.throttle = drive.slip = drive.speedMs = 0.0f;
    return drive;
}

void EngineSound::Update(const Drive& drive, float dtS) { UpdatePlayers(&drive, 1, dtS); }

void EngineSound::Update(const std::vector<Drive>& drives, float dtS) {
    UpdatePlayers(drives.data(), drives.size(), dtS);
}

void EngineSound::UpdatePlayers(const Drive* drives, std::size_t count, float dtS) {
    if (!IsLoaded()) return;
    if (!inRace) {
        inRace = true;
        ApplyMusicVolume();
    }
    count = std::min<std::size_t>(count, MaxPlayers);
    if (std::none_of(drives, drives + count, [](const Drive& drive) { return drive.running; })) {
        PauseAll(true);
        for (Voices& voices : players) voices.lastSpeedMs = -1.0f;  // the speed after the pause is no knock
        return;
    }
    // Held first, so that a player stopping as the race goes on makes no sound.
    for (std::size_t i = 0; i < count; ++i)
        if (!drives[i].running) {
            Hold(players[i], true);
            players[i].lastSpeedMs = -1.0f;
        }
    PauseAll(false);
    if (!std::isfinite(dtS) || dtS <= 0.0f || dtS >= 1.0f) dtS = 0.0f;
    for (unsigned i = 0; i < MaxPlayers; ++i) {
        if (i >= count) {
            // Gone from the race: its channels go back to the mixer.
            Stop(players[i]);
        } else if (drives[i].running) {
            Hold(players[i], false);
            Follow(players[i], drives[i], dtS, i);
        }
    }
}

void EngineSound::Follow(Voices& voices, const Drive& drive, float dtS, unsigned player) {
    if (!voices.idle) {
        // Started together, the two engine loops stay in step.
        const double startS = static_cast<double>(player) * PlayerStaggerS;
        voices.idle.reset(idle->PlayLooping(startS));
        voices.load.reset(load->PlayLooping(startS));
        voices.squeal.reset(squeal->PlayLooping(startS));
        Set(voices.squeal, 0.0f, 1.0f);
    }

    const float rpm = std::isfinite(drive.rpm) ? std::max(drive.rpm, 0.0f) : 0.0f;
    const float rate = std::clamp(rpm / BaseRpm, MinRate, MaxRate);
    voices.throttleLevel = Approach(voices.throttleLevel, Clamp01(drive.throttle), dtS, 0.06f);
    // Louder with the revs; the open throttle brings the harsher loop in.
    const float loudness = effectsVolume * EngineLevel * (0.55f + 0.45f * Clamp01(rpm / 7000.0f));
    Set(voices.idle, loudness * (1.0f - 0.6f * voices.throttleLevel), rate);
    Set(voices.load, loudness * voices.throttleLevel, rate);

    voices.slipLevel = Approach(voices.slipLevel, Clamp01(drive.slip), dtS, 0.05f);
    const float slip = voices.slipLevel < 0.02f ? 0.0f : voices.slipLevel;
    Set(voices.squeal, effectsVolume * SquealLevel * slip, 0.9f + 0.2f * slip);

    voices.thudWaitS = std::max(voices.thudWaitS - dtS, 0.0f);
    const float speed = std::isfinite(drive.speedMs) ? drive.speedMs : 0.0f;
    if (voices.lastSpeedMs >= 0.0f && dtS > 0.0f && voices.thudWaitS == 0.0f) {
        const float loss = voices.lastSpeedMs - speed;
        if (loss > ThudSpeedLossMs && loss / dtS > ThudDecelerationMs2) {
            // Once: Sound::Play would repeat it like the music.
            voices.thud.reset(thud->GetSonavar().PlaySound(*thud));
            if (voices.thud) voices.thud->SetVolume(effectsVolume * ThudLevel * Clamp01(0.3f + loss / 10.0f));
            voices.thudWaitS = 0.3f;
        }
    }
    voices.lastSpeedMs = speed;
}

void EngineSound::Hold(Voices& voices, bool hold) {
    if (hold == voices.held) return;
    voices.held = hold;
    for (const std::unique_ptr<Channel>* channel : {&voices.idle, &voices.load, &voices.squeal, &voices.thud})
        if (*channel) hold ? (*channel)->Pause() : (*channel)->Resume();
}

void EngineSound::Stop(Voices& voices) {
    for (std::unique_ptr<Channel>* channel : {&voices.idle, &voices.load, &voices.squeal, &voices.thud}) {
        if (*channel) (*channel)->Stop();
        channel->reset();
    }
    voices = Voices();
}

void EngineSound::CarPlaced(unsigned player) {
    if (player < MaxPlayers) players[player].lastSpeedMs = -1.0f;
}

void EngineSound::CarPlaced() {
    for (Voices& voices : players) voices.lastSpeedMs = -1.0f;
}

float EngineSound::FieldFalloff(float distanceM) {
    if (!std::isfinite(distanceM) || distanceM >= FieldSilentM) return 0.0f;
    return std::min(1.0f, FieldNearM / std::max(distanceM, 0.1f));
}

void EngineSound::UpdateField(std::vector<FieldEngine> engines) {
    if (!IsLoaded() || !inRace || paused) return;
    std::sort(engines.begin(), engines.end(),
              [](const FieldEngine& a, const FieldEngine& b) { return a.distanceM < b.distanceM; });
    if (engines.size() > MaxFieldEngines) engines.resize(MaxFieldEngines);
    for (std::size_t i = 0; i < MaxFieldEngines; ++i) {
        const float level = i < engines.size() ? FieldFalloff(engines[i].distanceM) : 0.0f;
        if (level <= 0.0f) {
            // Out of earshot: the channel goes back to the mixer.
            if (i < fieldChannels.size() && fieldChannels[i]) {
                fieldChannels[i]->Stop();
                fieldChannels[i].reset();
            }
            continue;
        }
        if (fieldChannels.size() <= i) fieldChannels.resize(i + 1);
        if (!fieldChannels[i]) fieldChannels[i].reset(load->PlayLooping());
        const float rpm = std::isfinite(engines[i].rpm) ? std::max(engines[i].rpm, 0.0f) : 0.0f;
        const float loudness = EngineLevel * (0.55f + 0.45f * Clamp01(rpm / 7000.0f)) *
                               (0.4f + 0.6f * Clamp01(engines[i].throttle));
        Set(fieldChannels[i], effectsVolume * loudness * level, std::clamp(rpm / BaseRpm, MinRate, MaxRate));
    }
}

void EngineSound::PauseAll(bool pause) {
    if (pause == paused) return;
    paused = pause;
    // A player held on their own stays held when the race goes on.
    for (const Voices& voices : players)
        if (!voices.held)
            for (const std::unique_ptr<Channel>* channel : {&voices.idle, &voices.load, &voices.squeal, &voices.thud})
                if (*channel) pause ? (*channel)->Pause() : (*channel)->Resume();
    for (const std::unique_ptr<Channel>& channel : fieldChannels)
        if (channel) pause ? channel->Pause() : channel->Resume();
    if (music) pause ? music->Pause() : music->Resume();
}

void EngineSound::Leave() {
    PauseAll(false);
    for (Voices& voices : players) Stop(voices);
    for (std::unique_ptr<Channel>& channel : fieldChannels)
        if (channel) channel->Stop();
    fieldChannels.clear();
    inRace = false;
    ApplyMusicVolume();
}
