#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <utility>
#include <memory>
#include <thread>
#include <vector>

#include "AudioTestSupport.h"
#include "Limiter.h"

namespace {

// Plays sounds into SDL's "disk" driver, which writes the mixed output to a
// file at about real-time pace, and examines what came out.
class SonavarOutputTest : public testing::Test {
protected:
    ScratchFolder folder;
    std::string outputFile = folder.File("output.raw");
    AudioDriverEnvironment environment{"disk", outputFile};

    // Starts an engine, lets `start` begin a sound, lets `seconds` of output
    // be written, and returns the output.
    template <typename Start>
    Recording Record(const std::string& soundFile, double seconds, Start start)
    {
        Sonavar engine;
        EXPECT_TRUE(engine.Initialize());
        int rate = 0, channels = 0;
        Uint16 format = 0;
        EXPECT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
        EXPECT_EQ(format, AUDIO_S16SYS);
        std::unique_ptr<Sound> sound(engine.CreateSound(soundFile));
        if (sound == nullptr) {
            ADD_FAILURE() << "cannot load " << soundFile;
            return {};
        }
        std::unique_ptr<Channel> channel(start(engine, *sound));
        EXPECT_NE(channel, nullptr);
        WaitForOutput(static_cast<uintmax_t>(seconds * rate) * channels * sizeof(int16_t));
        engine.Shutdown();  // closes and flushes the output file
        return Recording::Load(outputFile, channels, rate);
    }

    // Waits until the driver has written `bytes` more, however busy the machine.
    void WaitForOutput(uintmax_t bytes)
    {
        std::error_code noFileYet;
        const uintmax_t start = std::filesystem::file_size(outputFile, noFileYet);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::filesystem::file_size(outputFile, noFileYet) < start + bytes) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the disk driver stopped writing " << outputFile;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Frames the driver has written so far, at `channels` speakers.
    size_t FramesWritten(int channels)
    {
        std::error_code noFileYet;
        return std::filesystem::file_size(outputFile, noFileYet) / (channels * sizeof(int16_t));
    }

    static Channel* PlayOnce(Sonavar& engine, Sound& sound) { return engine.PlaySound(sound); }
    static Channel* PlayLooped(Sonavar&, Sound& sound) { return sound.Play(); }
};

TEST_F(SonavarOutputTest, WavToneComesOutAtItsFrequency)
{
    std::string tone = folder.File("tone.wav");
    WriteToneWav(tone, 440.0, 0.3);
    Recording out = Record(tone, 0.6, PlayOnce);
    EXPECT_GT(out.LoudFrames(), out.sampleRate / 5u) << "the tone did not come out";
    EXPECT_NEAR(out.ToneFrequencyHz(), 440.0, 440.0 * 0.02);
}

TEST_F(SonavarOutputTest, Mp3ToneComesOutAtItsFrequency)
{
    const char* lame = LAME_PROGRAM;
    if (*lame == '\0')
        GTEST_SKIP() << "lame is not installed (tools/install-deps.sh installs it)";
    std::string wav = folder.File("tone.wav"), mp3 = folder.File("tone.mp3");
    WriteToneWav(wav, 1000.0, 0.4);
    std::string command = std::string(lame) + " --quiet -b 128 '" + wav + "' '" + mp3 + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    Recording out = Record(mp3, 0.7, PlayOnce);
    EXPECT_GT(out.LoudFrames(), out.sampleRate / 4u) << "the MP3 tone did not come out";
    EXPECT_NEAR(out.ToneFrequencyHz(), 1000.0, 1000.0 * 0.02);
}

TEST_F(SonavarOutputTest, PlayRepeatsTheSoundWhilePlaySoundPlaysItOnce)
{
    // 0.1 s of tone: one play-through is 4410 frames at 44.1 kHz.
    std::string tone = folder.File("short.wav");
    WriteToneWav(tone, 440.0, 0.1);

    Recording once = Record(tone, 0.6, PlayOnce);
    const size_t period = once.sampleRate / 10;
    EXPECT_GE(once.LoudFrames(), period * 8 / 10);
    EXPECT_LE(once.LoudFrames(), period * 13 / 10) << "PlaySound must play the sound once";

    Recording looped = Record(tone, 0.6, PlayLooped);
    EXPECT_GT(looped.LoudFrames(), period * 3) << "Play must repeat the sound";
    EXPECT_NEAR(looped.ToneFrequencyHz(), 440.0, 440.0 * 0.02);
}

// Largest sample size in frames [from, to) of the first speaker.
int Peak(const Recording& out, size_t from, size_t to)
{
    int peak = 0;
    for (size_t i = from; i < std::min(to, out.samples.size()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(out.samples[i])));
    return peak;
}

TEST_F(SonavarOutputTest, RateShiftsThePitchAndVolumeScalesTheAmplitude)
{
    // A one-second tone looped forever: the rates below run through it
    // several times, so the loop must carry on at the new rate.
    std::string tone = folder.File("tone.wav");
    WriteToneWav(tone, 440.0, 1.0);
    const std::pair<float, double> rates[] = {{2.0f, 880.0}, {0.5f, 220.0}, {1.5f, 660.0}};
    for (const auto& [rate, expectedHz] : rates) {
        Recording out = Record(tone, 1.2, [rate = rate](Sonavar&, Sound& sound) {
            Channel* channel = sound.PlayLooping();
            EXPECT_TRUE(channel && channel->SetRate(rate));
            EXPECT_FLOAT_EQ(channel ? channel->GetRate() : 0.0f, rate);
            return channel;
        });
        EXPECT_NEAR(out.ToneFrequencyHz(), expectedHz, expectedHz * 0.02) << "rate " << rate;
        // Linear interpolation keeps the level.
        EXPECT_NEAR(Peak(out, 0, out.samples.size()), 16383, 800) << "rate " << rate;
    }

    Recording full = Record(tone, 0.5, PlayOnce);
    Recording quiet = Record(tone, 0.5, [](Sonavar& engine, Sound& sound) {
        Channel* channel = engine.PlaySound(sound);
        EXPECT_TRUE(channel && channel->SetVolume(0.25f));
        return channel;
    });
    const int fullPeak = Peak(full, 0, full.samples.size());
    EXPECT_GT(fullPeak, 15000);
    // The volume is set just after the sound starts: on a busy machine the
    // mixer may have put out its first buffers (1,024 frames each) at full
    // volume in between, so the level is read after four of them.
    const size_t mixedBeforeTheVolume = 4 * 1024;
    ASSERT_GT(quiet.samples.size(), 2 * mixedBeforeTheVolume);
    EXPECT_NEAR(Peak(quiet, mixedBeforeTheVolume, quiet.samples.size()), fullPeak / 4, fullPeak / 40);
    EXPECT_NEAR(quiet.ToneFrequencyHz(300), 440.0, 440.0 * 0.02);
}

TEST_F(SonavarOutputTest, LoopingSoundPlaysOnUntilPausedOrStopped)
{
    std::string tone = folder.File("short.wav");
    WriteToneWav(tone, 440.0, 0.1);
    Sonavar engine;
    ASSERT_TRUE(engine.Initialize());
    int rate = 0, channels = 0;
    ASSERT_NE(Mix_QuerySpec(&rate, nullptr, &channels), 0);
    const size_t second = static_cast<size_t>(rate);
    std::unique_ptr<Sound> sound(engine.CreateSound(tone));
    ASSERT_NE(sound, nullptr);
    std::unique_ptr<Channel> channel(sound->PlayLooping());
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(sound->GetLoopCount(), Sound::LoopForever);

    // Marks in the output, in frames, after each step has had 0.5 s.
    auto step = [&](const std::function<void()>& action) {
        action();
        const size_t mark = FramesWritten(channels);
        WaitForOutput(second / 2 * channels * sizeof(int16_t));
        return mark;
    };
    const size_t looping = step([] {});
    EXPECT_TRUE(channel->IsPlaying()) << "five times the sound's length later";
    const size_t paused = step([&] { EXPECT_TRUE(channel->Pause()); });
    EXPECT_TRUE(channel->IsPaused());
    EXPECT_TRUE(channel->IsPlaying());
    const size_t resumed = step([&] { EXPECT_TRUE(channel->Resume()); });
    const size_t stopped = step([&] { EXPECT_TRUE(channel->Stop()); });
    EXPECT_FALSE(channel->IsPlaying());
    EXPECT_FALSE(channel->SetVolume(0.5f) || channel->SetRate(2.0f) || channel->Resume() || channel->Stop());

    // The next play takes the same mixer channel; the old handle stays dead.
    std::unique_ptr<Channel> next(engine.PlaySound(*sound));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetMixerChannel(), channel->GetMixerChannel());
    EXPECT_TRUE(next->IsPlaying());
    EXPECT_FALSE(channel->IsPlaying() || channel->Pause());
    EXPECT_FLOAT_EQ(next->GetVolume(), 1.0f);
    engine.Shutdown();
    EXPECT_FALSE(next->IsPlaying() || next->SetVolume(1.0f));

    Recording out = Recording::Load(outputFile, channels, rate);
    // Windows well inside each step, clear of the driver's buffering.
    const size_t margin = second / 10;
    auto loudIn = [&](size_t from) { return Peak(out, from + margin, from + second / 2 - margin); };
    EXPECT_GT(loudIn(looping), 10000);
    EXPECT_EQ(loudIn(paused), 0);
    EXPECT_GT(loudIn(resumed), 10000);
    EXPECT_EQ(loudIn(stopped), 0);
}

TEST_F(SonavarOutputTest, SoundsPlayedTogetherAreTurnedDownNotClipped)
{
    // Tones at half full scale in step: three summed are 1.5 times full
    // scale, which a plain mixer squares off, and seven 3.5 times, as loud
    // as a race of four players at its worst. Ten periods to a mixer buffer
    // keep them in step whichever buffer each starts in.
    const double hz = MIX_DEFAULT_FREQUENCY * 10.0 / 1024.0;
    const std::string tone = folder.File("tone.wav");
    WriteToneWav(tone, hz, 1.0, MIX_DEFAULT_FREQUENCY);
    for (int count : {3, 7}) {
        std::vector<std::unique_ptr<Channel>> others;
        Recording out = Record(tone, 0.8, [&others, count](Sonavar& engine, Sound& sound) {
            for (int i = 1; i < count; ++i)
                others.emplace_back(engine.PlaySound(sound));
            return engine.PlaySound(sound);
        });
        ASSERT_EQ(out.sampleRate, MIX_DEFAULT_FREQUENCY) << "the tone must be written at the output's rate";

        // Past the onset, where the limiter has settled.
        const size_t from = out.sampleRate / 5, to = out.sampleRate * 7 / 10;
        ASSERT_GE(out.samples.size(), to);
        const int peak = Peak(out, from, to);
        EXPECT_LT(peak, 32768 * Limiter::Ceiling) << count << " tones: no sample at full scale";
        EXPECT_GT(peak, 32768 * Limiter::Threshold) << count << " tones: turned down, not silenced";
        // A squared-off sine carries a strong third harmonic; a turned-down one none.
        EXPECT_LT(out.Amplitude(from, to, 3.0 * hz), 0.01 * out.Amplitude(from, to, hz)) << count << " tones";
    }
}

TEST_F(SonavarOutputTest, ASoundStartedFurtherInPlaysThatFarAheadWrappingAtItsEnd)
{
    // 128 frames a period, eight to a mixer buffer: two plays stay in their
    // phase whichever buffers they start in.
    const int rate = MIX_DEFAULT_FREQUENCY;
    const double hz = rate * 8.0 / 1024.0, periodS = 128.0 / rate, lengthS = 1.0;
    const std::string tone = folder.File("tone.wav");
    WriteToneWav(tone, hz, lengthS, rate);
    // The second play `startS` in, both at half volume: a sum at the tone's own level.
    auto pair = [&](double startS) {
        std::vector<std::unique_ptr<Channel>> first;
        return Record(tone, 0.8, [&first, startS](Sonavar& engine, Sound& sound) {
            first.emplace_back(engine.PlaySound(sound));
            Channel* second = engine.PlaySound(sound, startS);
            for (Channel* channel : {first.back().get(), second})
                EXPECT_TRUE(channel && channel->SetVolume(0.5f));
            return second;
        });
    };
    const Recording antiphase = pair(periodS / 2.0), wrapped = pair(lengthS + periodS), unset = pair(NAN);
    const size_t from = rate / 5, to = rate * 7 / 10;
    ASSERT_EQ(antiphase.sampleRate, rate);
    const double level = 16383.0;  // the tone's own amplitude
    EXPECT_LT(antiphase.Amplitude(from, to, hz), 0.02 * level) << "half a period ahead: the two cancel";
    EXPECT_NEAR(wrapped.Amplitude(from, to, hz), level, 0.05 * level) << "a period past the end: in step";
    EXPECT_NEAR(unset.Amplitude(from, to, hz), level, 0.05 * level) << "NaN: from the start";
}

} // namespace
