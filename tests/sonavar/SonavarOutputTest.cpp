#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "AudioTestSupport.h"

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

} // namespace
