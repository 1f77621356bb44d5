#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <fstream>
#include <vector>
#include <cmath>
#include <memory>

#include "AudioSystem.h"
#include "AudioTestSupport.h"
#include "Limiter.h"

using namespace std::string_literals;
using testing::HasSubstr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const char* const NoDeviceWarning = "[WARN] Sonavar: no audio device, running without sound\n";

// Engine life cycle on SDL's silent "dummy" output, which every machine has.
class SonavarTest : public testing::Test {
protected:
    ScratchFolder folder;
    AudioDriverEnvironment environment{"dummy"};

    // A two-second tone: long enough to still be playing when the test looks.
    std::string ToneFile()
    {
        std::string path = folder.File("tone.wav");
        WriteToneWav(path, 440.0, 2.0);
        return path;
    }
};

TEST_F(SonavarTest, EngineRefusesSoundsBeforeInitializeAndAfterShutdown)
{
    std::string tone = ToneFile();
    {
        Sonavar neverOpened;
        CaptureStdout();
        EXPECT_EQ(neverOpened.CreateSound(tone), nullptr);
        EXPECT_THAT(GetCapturedStdout(), HasSubstr("[ERROR] Sonavar: cannot load sound"));
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "an unused engine must not touch SDL";

    Sonavar engine;
    ASSERT_TRUE(engine.Initialize());
    std::unique_ptr<Sound> sound(engine.CreateSound(tone));
    ASSERT_NE(sound, nullptr);
    Sonavar other;
    CaptureStdout();
    EXPECT_EQ(other.PlaySound(*sound), nullptr);
    GetCapturedStdout();

    engine.Shutdown();
    CaptureStdout();
    EXPECT_EQ(engine.CreateSound(tone), nullptr);
    EXPECT_EQ(engine.PlaySound(*sound), nullptr);
    GetCapturedStdout();
}

TEST_F(SonavarTest, MissingOrCorruptFilesGiveNullAndNameTheFile)
{
    Sonavar engine;
    ASSERT_TRUE(engine.Initialize());
    struct Case {
        const char* name;
        bool exists;
        std::string content;
    } cases[] = {
        {"missing.wav", false, ""},                                     // no such file
        {"empty.mp3", true, ""},                                        // zero bytes
        {"text.mp3", true, "these are words, not sound"},               // unknown format
        {"truncated.wav", true, "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0garbage"s},  // header cut off
    };
    for (const Case& c : cases) {
        std::string path = folder.File(c.name);
        if (c.exists)
            std::ofstream(path, std::ios::binary) << c.content;
        CaptureStdout();
        EXPECT_EQ(engine.CreateSound(path), nullptr) << c.name;
        EXPECT_THAT(GetCapturedStdout(), HasSubstr("[ERROR] Sonavar: cannot")) << c.name;
    }
}

TEST_F(SonavarTest, HundredSoundsPlayAtOnceAndTheNextIsRefused)
{
    Sonavar engine;
    ASSERT_TRUE(engine.Initialize());
    std::unique_ptr<Sound> sound(engine.CreateSound(ToneFile()));
    ASSERT_NE(sound, nullptr);
    std::vector<std::unique_ptr<Channel>> channels;
    for (int i = 0; i < 100; ++i) {
        channels.emplace_back(engine.PlaySound(*sound));
        ASSERT_NE(channels.back(), nullptr) << "play " << i + 1;
    }
    EXPECT_EQ(Mix_Playing(-1), 100);
    CaptureStdout();
    EXPECT_EQ(engine.PlaySound(*sound), nullptr);
    EXPECT_THAT(GetCapturedStdout(), HasSubstr("[ERROR] Sonavar: cannot play"));
}

TEST_F(SonavarTest, ShutdownClosesOnceAndLeavesObjectsDeletable)
{
    auto engine = std::make_unique<Sonavar>();
    ASSERT_TRUE(engine->Initialize());
    Sound* sound = engine->CreateSound(ToneFile());
    ASSERT_NE(sound, nullptr);
    Sound copy = *sound;
    Channel* channel = sound->Play();
    ASSERT_NE(channel, nullptr);

    engine->Shutdown();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0) << "output still open";
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "audio subsystem still up";
    engine->Shutdown();
    CaptureStdout();
    EXPECT_EQ(copy.Play(), nullptr);
    GetCapturedStdout();
    delete channel;
    delete sound;
    engine.reset();

    // A new start must not accept the chunk freed by the old one.
    Sonavar reopened;
    ASSERT_TRUE(reopened.Initialize());
    CaptureStdout();
    EXPECT_EQ(reopened.PlaySound(copy), nullptr);
    GetCapturedStdout();
}

TEST_F(SonavarTest, PlaySetsTheLoopCountEveryTime)
{
    Sonavar engine;
    ASSERT_TRUE(engine.Initialize());
    std::unique_ptr<Sound> sound(engine.CreateSound(ToneFile()));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetLoopCount(), 0);
    for (int before : {0, 3, -1}) {
        sound->SetLoopCount(before);
        std::unique_ptr<Channel> channel(sound->Play());
        EXPECT_NE(channel, nullptr);
        EXPECT_EQ(sound->GetLoopCount(), Sound::PlayLoopCount) << "was " << before;
    }
}

TEST_F(SonavarTest, CopiesShareOneOutputAndASecondEngineIsRefused)
{
    auto engine = std::make_unique<Sonavar>();
    ASSERT_TRUE(engine->Initialize());
    Sonavar rival;
    CaptureStdout();
    EXPECT_FALSE(rival.Initialize());
    EXPECT_THAT(GetCapturedStdout(), HasSubstr("already open"));

    Sonavar copy;
    copy = *engine;
    std::unique_ptr<Sound> sound(copy.CreateSound(ToneFile()));
    ASSERT_NE(sound, nullptr);
    engine.reset();
    std::unique_ptr<Channel> channel(copy.PlaySound(*sound));
    EXPECT_NE(channel, nullptr) << "destroying one copy closed the shared output";
    copy.Shutdown();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
}

// A mixer built with fewer decoders, played by a stand-in for Mix_Init that
// starts only some of those asked for: MP3 is all the game needs.
TEST_F(SonavarTest, OnlyTheMp3DecoderIsRequired)
{
    std::string tone = ToneFile();
    {
        AudioSystem mp3Only([](int flags) { return Mix_Init(flags & MIX_INIT_MP3); });
        CaptureStdout();
        ASSERT_TRUE(mp3Only.Open(8));
        EXPECT_EQ(GetCapturedStdout(), "[WARN] Sonavar: no Ogg Vorbis or FLAC decoder, such sounds will not load\n");
        // WAV needs no decoder of its own.
        Mix_Chunk* chunk = mp3Only.Load(tone);
        ASSERT_NE(chunk, nullptr);
        EXPECT_GE(mp3Only.Play(*chunk, 0), 0);
    }

    AudioSystem noMp3([](int flags) { return Mix_Init(flags & ~MIX_INIT_MP3); });
    CaptureStdout();
    EXPECT_FALSE(noMp3.Open(8));
    EXPECT_THAT(GetCapturedStdout(), HasSubstr("[ERROR] Sonavar: the MP3 decoder is not available"));
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0) << "a refused start left the output open";
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

// Outputs that cannot open: the engine warns once and carries on silently.
TEST(SonavarFallbackTest, NoAudioDeviceRunsSilentlyWithOneWarning)
{
    ScratchFolder folder;
    std::string tone = folder.File("tone.wav");
    WriteToneWav(tone, 440.0, 0.5);
    struct Case {
        const char* driver;
        std::string diskFile;
    } cases[] = {
        {"nosuchdriver", ""},                                // driver does not exist
        {"disk", folder.File("no-such-folder/out.raw")},     // driver exists, device will not open
    };
    for (const Case& c : cases) {
        AudioDriverEnvironment environment(c.driver, c.diskFile);
        Sonavar engine;
        CaptureStdout();
        EXPECT_TRUE(engine.Initialize()) << c.driver;
        EXPECT_EQ(GetCapturedStdout(), NoDeviceWarning) << c.driver;
        EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
        std::unique_ptr<Sound> sound(engine.CreateSound(tone));
        ASSERT_NE(sound, nullptr) << c.driver;
        std::unique_ptr<Channel> channel(sound->Play());
        EXPECT_NE(channel, nullptr) << c.driver;
    }

    // The fallback must not stick: a working driver is used again next time.
    AudioDriverEnvironment environment("disk", folder.File("out.raw"));
    Sonavar engine;
    CaptureStdout();
    EXPECT_TRUE(engine.Initialize());
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "disk");
}

TEST(LimiterTest, QuietPassesLoudIsHeldUnderTheCeilingAndTheGainComesBack)
{
    // Mono at 1 kHz sample rate, a 50 Hz sine: 20 samples a period.
    const int rate = 1000;
    auto sine = [](double amplitude, size_t frames) {
        std::vector<int16_t> wave(frames);
        for (size_t i = 0; i < frames; ++i)
            wave[i] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * i / 20.0)));
        return wave;
    };
    auto limited = [](Limiter& limiter, std::vector<int16_t> wave) {
        limiter.Process(wave.data(), wave.size());
        Recording out;
        out.samples = std::move(wave);
        out.sampleRate = rate;
        return out;
    };
    auto peak = [](const Recording& out, size_t from, size_t to) {
        int most = 0;
        for (size_t i = from; i < to; ++i)
            most = std::max(most, std::abs(static_cast<int>(out.samples[i])));
        return most;
    };

    // Under the threshold nothing changes, with or without an input gain.
    Limiter plain(rate, 1);
    const std::vector<int16_t> quiet = sine(0.65, 400);
    EXPECT_EQ(limited(plain, quiet).samples, quiet);
    Limiter doubling(rate, 2, 2.0f);  // stereo: each frame's speakers share one gain
    std::vector<int16_t> pairs(800), doubled(800);
    for (size_t i = 0; i < 800; ++i) {
        pairs[i] = static_cast<int16_t>(quiet[i / 2] / 2);
        doubled[i] = static_cast<int16_t>(pairs[i] * 2);
    }
    doubling.Process(pairs.data(), pairs.size());
    EXPECT_EQ(pairs, doubled);

    // Twice full scale after the input gain: under the ceiling throughout,
    // still loud, and a clean sine once the first peak has set the gain.
    Limiter limiter(rate, 1, 2.0f);
    const Recording loud = limited(limiter, sine(1.0, 400));
    EXPECT_LT(peak(loud, 0, 400), 32768 * Limiter::Ceiling);
    EXPECT_GT(peak(loud, 100, 400), 32768 * Limiter::Threshold);
    EXPECT_LT(loud.Amplitude(100, 400, 150.0), 0.01 * loud.Amplitude(100, 400, 50.0));
    EXPECT_LT(limiter.GetGainReduction(), 0.5f);

    // A quiet tone after the burst: still turned down while the gain holds
    // and recovers, at full level once the release has run its course.
    const std::vector<int16_t> after = sine(0.3, 2000);
    const Recording recovering = limited(limiter, after);
    EXPECT_LT(peak(recovering, 0, 20), 0.8 * 2 * 0.3 * 32767);
    EXPECT_NEAR(peak(recovering, 1900, 2000), 2 * 0.3 * 32767, 2.0);
    EXPECT_FLOAT_EQ(limiter.GetGainReduction(), 1.0f);
}

} // namespace
