/*******************************************************************************
 * SoundBench: what mixing costs the audio thread, per second of audio, with
 * the music alone, with the music, both engine loops (away from rate 1) and
 * the squeal of a race, and with the same for four players on one screen
 * beside three of the field's engines. SDL's disk driver writes to /dev/null without
 * its real-time pacing, so the mixer runs flat out; a post-mix hook reads the
 * audio thread's own processor clock and counts the frames it made.
 *
 *   bin/SoundBench [seconds per phase]     default: 3
 *
 * Target: the race's sounds with the music under 2 % of one core
 * (20 ms of processor time per second of audio), four players and the
 * field included.
 ******************************************************************************/
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include <SDL_mixer.h>

#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include "race/EngineSound.h"

namespace {

std::atomic<long long> framesMixed{0};
std::atomic<long long> threadNs{0};  ///< the audio thread's processor clock at its last mix
int bytesPerFrame = 4;

void CountMix(void*, Uint8*, int len) {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    threadNs.store(now.tv_sec * 1000000000LL + now.tv_nsec);
    framesMixed.fetch_add(len / bytesPerFrame);
}

/// Runs `frame` at 60 Hz for `seconds` and prints the audio thread's cost.
template <typename Frame>
double Measure(const char* what, double seconds, int rate, Frame frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past the change
    const long long frames0 = framesMixed.load(), ns0 = threadNs.load();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        frame(i);
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const double audioS = static_cast<double>(framesMixed.load() - frames0) / rate;
    const double cpuMs = (threadNs.load() - ns0) / 1.0e6;
    const double msPerAudioS = cpuMs / audioS;
    std::printf("%-44s %8.1f s of audio  %6.2f ms CPU per audio second  (%.2f %% of a core)\n", what, audioS,
                msPerAudioS, msPerAudioS / 10.0);
    return msPerAudioS;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);  // no pacing: mix as fast as the thread can

    Sonavar engine;
    if (!engine.Initialize()) return 1;
    int rate = 0, channels = 0;
    Mix_QuerySpec(&rate, nullptr, &channels);
    bytesPerFrame = channels * 2;
    std::printf("output: %d Hz, %d speakers, 1024-frame buffers\n", rate, channels);

    std::unique_ptr<Sound> music(engine.CreateSound("../data/music/Halverd - Evenfall.mp3"));
    EngineSound race(&engine, "../data/sounds/");
    if (!music || !race.IsLoaded()) {
        std::fprintf(stderr, "run from bin/ with the game data in ../data\n");
        return 1;
    }
    Mix_SetPostMix(CountMix, nullptr);

    const double empty = Measure("nothing playing (the mixer's floor)", seconds, rate, [](int) {});
    std::unique_ptr<Channel> musicChannel(music->Play());
    race.SetMusic(musicChannel.get());
    const double musicOnly = Measure("music", seconds, rate, [](int) {});
    // Revving, a little apart for each player: never rate 1.
    auto revving = [](int i, float phase) {
        EngineSound::Drive drive;
        drive.running = true;
        drive.rpm = 4500.0f + 2500.0f * std::sin(i * 0.05f + phase);
        drive.throttle = 0.5f + 0.5f * std::sin(i * 0.03f + phase);
        drive.slip = 0.6f;
        drive.speedMs = 25.0f;
        return drive;
    };
    const double all = Measure("music, engine loops, squeal (revving)", seconds, rate,
                               [&](int i) { race.Update(revving(i, 0.0f), 1.0f / 60.0f); });
    const double four = Measure("the same for four players, three field cars", seconds, rate, [&](int i) {
        std::vector<EngineSound::Drive> players;
        for (unsigned p = 0; p < EngineSound::MaxPlayers; ++p) players.push_back(revving(i, 0.7f * p));
        race.Update(players, 1.0f / 60.0f);
        race.UpdateField(std::vector<EngineSound::FieldEngine>(3, {5000.0f, 1.0f, 20.0f}));
    });
    std::printf("the race's sounds add %.2f ms per audio second over the music for one player, %.2f for four; "
                "%s the 20 ms target\n",
                all - musicOnly, four - musicOnly, std::max(all, four) < 20.0 ? "under" : "OVER");
    (void)empty;
    Mix_SetPostMix(nullptr, nullptr);
    race.Leave();
    race.SetMusic(nullptr);  // the channel goes before the race's sounds
    engine.Shutdown();
    return std::max(all, four) < 20.0 ? 0 : 2;
}
