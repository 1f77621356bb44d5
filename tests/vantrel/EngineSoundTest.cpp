#include "race/EngineSound.h"

#include <sonavar/Channel.h>
#include <sonavar/Sonavar.h>
#include <sonavar/Sound.h>

#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "../sonavar/AudioTestSupport.h"
#include "storage/SettingsStore.h"

namespace {

// Magnitude of `frequencyHz` in samples [from, to), per sample (Goertzel).
double Magnitude(const Recording& out, size_t from, size_t to, double frequencyHz) {
    const double w = 2.0 * M_PI * frequencyHz / out.sampleRate, c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = out.samples[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(s1 * s1 + s2 * s2 - c * s1 * s2, 0.0)) / (to - from);
}

// The strongest line between 30 and 400 Hz, to 1 Hz.
double Fundamental(const Recording& out, std::pair<size_t, size_t> span) {
    double best = 0.0, bestHz = 0.0;
    for (double hz = 30.0; hz <= 400.0; hz += 1.0) {
        const double m = Magnitude(out, span.first, span.second, hz);
        if (m > best) best = m, bestHz = hz;
    }
    return bestHz;
}

// Summed magnitude over the squeal's main band (near 1.1 kHz and rising with
// the slip), read halfway between the lines of an engine at 3000 rpm, which
// are 50 Hz apart.
double SquealBand(const Recording& out, std::pair<size_t, size_t> span) {
    double sum = 0.0;
    for (double hz = 1075.0; hz <= 1325.0; hz += 50.0) sum += Magnitude(out, span.first, span.second, hz);
    return sum;
}

int Peak(const Recording& out, std::pair<size_t, size_t> span) {
    int peak = 0;
    for (size_t i = span.first; i < span.second; ++i) peak = std::max(peak, std::abs(int(out.samples[i])));
    return peak;
}

// A stretch of the output, in frames from its start: [first, second).
using Span = std::pair<size_t, size_t>;

// The race's sounds on the game's own files, into SDL's disk driver: each
// step holds one drive state for a while, the game's frames at 60 Hz of the
// output, and the output is examined per step once the engine has closed the
// file. Hold and Finish fail the test fatally: call them inside
// ASSERT_NO_FATAL_FAILURE.
class EngineSoundTest : public testing::Test {
protected:
    ScratchFolder folder;
    std::string outputFile = folder.File("output.raw");
    AudioDriverEnvironment environment{"disk", outputFile};
    Sonavar engine;
    int rate = 0, channels = 0;

    void SetUp() override {
        ASSERT_TRUE(engine.Initialize());
        ASSERT_NE(Mix_QuerySpec(&rate, nullptr, &channels), 0);
    }

    size_t Written() {
        std::error_code noFileYet;
        return std::filesystem::file_size(outputFile, noFileYet) / (channels * sizeof(int16_t));
    }

    // Holds `drive` for `seconds` of output: one game frame (an Update of
    // 1/60 s) for each 1/60 s of sound the disk driver has written, however
    // fast or slow it writes. `span` receives the frames of the output in
    // which `drive` was held, less the first 0.15 s in which the change
    // reaches the output. Fails when the driver has not written them within
    // 20 s, so that no check reads past the recording.
    // With `field`, the other cars' engines are heard beside it.
    void Hold(EngineSound& sound, const EngineSound::Drive& drive, double seconds, Span& span,
              const std::vector<EngineSound::FieldEngine>* field = nullptr) {
        HoldFrames(seconds, span, [&] {
            sound.Update(drive, 1.0f / 60.0f);
            if (field) sound.UpdateField(*field);
        });
    }
    // The same with every local player's drive.
    void Hold(EngineSound& sound, const std::vector<EngineSound::Drive>& drives, double seconds, Span& span,
              const std::vector<EngineSound::FieldEngine>* field = nullptr) {
        HoldFrames(seconds, span, [&] {
            sound.Update(drives, 1.0f / 60.0f);
            if (field) sound.UpdateField(*field);
        });
    }
    template <typename Frame>
    void HoldFrames(double seconds, Span& span, Frame frame) {
        const size_t start = Written(), end = start + static_cast<size_t>(seconds * rate);
        const double framesPerUpdate = rate / 60.0;
        double updated = static_cast<double>(start);  // the output the updates so far stand for
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            const size_t written = Written();
            for (; updated <= static_cast<double>(written) && updated < static_cast<double>(end);
                 updated += framesPerUpdate)
                frame();
            if (written >= end) break;
            ASSERT_TRUE(std::chrono::steady_clock::now() < deadline)
                << "the disk driver wrote " << written - start << " of " << end - start
                << " frames in 20 s";
            // Only to spare the processor between looks at the file.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        span = {start + static_cast<size_t>(0.15 * rate), end};
        heldTo = std::max(heldTo, end);
    }

    // Closes the output and reads it back; it covers every span held.
    void Finish(Recording& out) {
        engine.Shutdown();
        out = Recording::Load(outputFile, channels, rate);
        ASSERT_GE(out.samples.size(), heldTo) << "the recording ends before the last span held";
    }

    size_t heldTo = 0;  ///< the end of the last span held
};

EngineSound::Drive Driving(float rpm, float throttle, float slip = 0.0f) {
    EngineSound::Drive drive;
    drive.running = true;
    drive.rpm = rpm;
    drive.throttle = throttle;
    drive.slip = slip;
    drive.speedMs = 20.0f;
    return drive;
}

TEST_F(EngineSoundTest, EnginePitchFollowsTheRpmAndTheSquealTheSlip) {
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    Span low, high, grip, slide;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(1500.0f, 0.2f), 0.6, low));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(6000.0f, 1.0f), 0.6, high));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(3000.0f, 0.5f), 0.6, grip));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(3000.0f, 0.5f, 1.0f), 0.6, slide));
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));

    // Four cylinders fire twice per turn: the main line is rpm / 30 Hz.
    EXPECT_NEAR(Fundamental(out, low), 50.0, 2.0);
    EXPECT_NEAR(Fundamental(out, high), 200.0, 4.0);
    EXPECT_NEAR(Fundamental(out, grip), 100.0, 2.0);
    EXPECT_NEAR(Fundamental(out, slide), 100.0, 2.0) << "the engine goes on under the squeal";
    EXPECT_GT(SquealBand(out, slide), 4.0 * SquealBand(out, grip));
    // The open throttle is louder.
    EXPECT_GT(Peak(out, high), Peak(out, low));
}

TEST_F(EngineSoundTest, PauseHoldsEverySoundAndTheRaceTurnsTheMusicDown) {
    WriteToneWav(folder.File("music.wav"), 440.0, 1.0);
    std::unique_ptr<Sound> music(engine.CreateSound(folder.File("music.wav")));
    ASSERT_NE(music, nullptr);
    std::unique_ptr<Channel> musicChannel(music->Play());
    ASSERT_NE(musicChannel, nullptr);

    EngineSound silent(nullptr);
    silent.Update(Driving(3000.0f, 1.0f), 0.016f);  // no engine: nothing, no crash

    EngineSound sound(&engine, SOUND_DIR);
    sound.SetMusic(musicChannel.get());
    EXPECT_FLOAT_EQ(musicChannel->GetVolume(), 1.0f);
    Span racing, held, again;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(3000.0f, 1.0f, 1.0f), 0.5, racing));
    EXPECT_FLOAT_EQ(musicChannel->GetVolume(), EngineSound::RaceMusicShare);
    EngineSound::Drive paused = Driving(3000.0f, 1.0f, 1.0f);
    paused.running = false;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, paused, 0.5, held));
    EXPECT_TRUE(musicChannel->IsPaused());
    ASSERT_NO_FATAL_FAILURE(Hold(sound, Driving(3000.0f, 1.0f, 1.0f), 0.5, again));
    sound.Leave();
    EXPECT_FLOAT_EQ(musicChannel->GetVolume(), 1.0f);
    EXPECT_FALSE(musicChannel->IsPaused());
    sound.SetMusicVolume(0.4f);
    EXPECT_FLOAT_EQ(musicChannel->GetVolume(), 0.4f);
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));

    EXPECT_GT(Peak(out, racing), 5000);
    EXPECT_EQ(Peak(out, held), 0) << "paused, not a sound: engine, squeal and music";
    EXPECT_GT(Peak(out, again), 5000);
    EXPECT_GT(SquealBand(out, again), 0.5 * SquealBand(out, racing)) << "the squeal resumes too";
}

TEST(EngineSoundVolumeTest, KeysStepInTenthsAndTheSettingsKeepThem) {
    ScratchFolder folder;
    const std::string config = folder.File("config");
    {
        SettingsStore store(config);
        EngineSound sound(nullptr);  // the volumes need no sound engine
        sound.KeepIn(&store);
        EXPECT_FLOAT_EQ(sound.GetMusicVolume(), 1.0f);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(sound.OnVolumeKey('7'));
        EXPECT_TRUE(sound.OnVolumeKey('8'));
        for (int i = 0; i < 12; ++i) EXPECT_TRUE(sound.OnVolumeKey('9'));  // stops at 0
        EXPECT_TRUE(sound.OnVolumeKey('0'));
        EXPECT_FALSE(sound.OnVolumeKey('P'));
        EXPECT_FLOAT_EQ(sound.GetMusicVolume(), 0.8f);
        EXPECT_FLOAT_EQ(sound.GetEffectsVolume(), 0.1f);
    }
    SettingsStore store(config);
    EngineSound next(nullptr);
    next.KeepIn(&store);
    EXPECT_FLOAT_EQ(next.GetMusicVolume(), 0.8f) << "the next run starts where this one left off";
    EXPECT_FLOAT_EQ(next.GetEffectsVolume(), 0.1f);

    store.Set(EngineSound::SettingsSection, "music", "loud");
    store.Set(EngineSound::SettingsSection, "effects", "-40");
    EngineSound edited(nullptr);
    edited.KeepIn(&store);
    EXPECT_FLOAT_EQ(edited.GetMusicVolume(), 1.0f) << "no number: the volume as it was";
    EXPECT_FLOAT_EQ(edited.GetEffectsVolume(), 0.0f) << "clamped";
}

// Root mean square of the output in `span`, of full scale.
double Rms(const Recording& out, Span span) {
    double sum = 0.0;
    for (size_t i = span.first; i < span.second; ++i) sum += double(out.samples[i]) * out.samples[i];
    return std::sqrt(sum / static_cast<double>(span.second - span.first)) / 32768.0;
}

TEST_F(EngineSoundTest, FullThrottleSitsBesideTheRaceMusicAndTheMixNeverClips) {
    // The game's own music, turned down for the race as the game does.
    std::unique_ptr<Sound> music(engine.CreateSound(SOUND_DIR "../music/Halverd - Evenfall.mp3"));
    ASSERT_NE(music, nullptr);
    std::unique_ptr<Channel> musicChannel(music->Play());
    ASSERT_NE(musicChannel, nullptr);
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    sound.SetMusic(musicChannel.get());

    // Each alone first, through the player's volume settings, then all at
    // once: flat out with the tyres sliding and a knock every half second.
    const EngineSound::Drive flatOut = Driving(6500.0f, 1.0f);
    Span musicAlone, engineAlone, all;
    sound.SetEffectsVolume(0.0f);
    ASSERT_NO_FATAL_FAILURE(Hold(sound, flatOut, 1.0, musicAlone));
    sound.SetEffectsVolume(1.0f);
    sound.SetMusicVolume(0.0f);
    ASSERT_NO_FATAL_FAILURE(Hold(sound, flatOut, 1.0, engineAlone));
    sound.SetMusicVolume(1.0f);
    EngineSound::Drive sliding = Driving(6500.0f, 1.0f, 1.0f), knocked = sliding;
    knocked.speedMs = sliding.speedMs - 6.0f;
    for (int i = 0; i < 3; ++i) {
        Span step;
        ASSERT_NO_FATAL_FAILURE(Hold(sound, sliding, 0.25, step));
        if (i == 0) all.first = step.first;
        ASSERT_NO_FATAL_FAILURE(Hold(sound, knocked, 0.25, step));
        all.second = step.second;
    }
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));

    const double musicRms = Rms(out, musicAlone), engineRms = Rms(out, engineAlone);
    ASSERT_GT(musicRms, 0.01) << "the music did not play";
    EXPECT_LT(std::fabs(20.0 * std::log10(engineRms / musicRms)), 6.0)
        << "engine " << engineRms << " against the music's " << musicRms << " of full scale";
    EXPECT_LT(Peak(out, all), 32767) << "a sample at full scale: the mix clips";
    EXPECT_GT(Rms(out, all), musicRms) << "all of it together is louder than the music alone";
}

}  // namespace

TEST_F(EngineSoundTest, TheNearestOtherCarsAreHeardQuieterWithDistanceAndPauseWithTheRace) {
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    const EngineSound::Drive idling = Driving(900.0f, 0.0f);
    // Four cars at full throttle; only the nearest three sound.
    auto at = [](float distanceM) {
        return std::vector<EngineSound::FieldEngine>{
            {6000.0f, 1.0f, distanceM}, {6000.0f, 1.0f, distanceM + 1.0f}, {6000.0f, 1.0f, distanceM + 2.0f},
            {6000.0f, 1.0f, distanceM + 3.0f}};
    };
    const std::vector<EngineSound::FieldEngine> near = at(5.0f), far = at(60.0f), gone = at(400.0f), none;
    Span alone, nearSpan, farSpan, goneSpan, pausedSpan, leftSpan;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, idling, 0.5, alone, &none));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, idling, 0.5, nearSpan, &near));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, idling, 0.5, farSpan, &far));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, idling, 0.5, goneSpan, &gone));
    EngineSound::Drive paused = idling;
    paused.running = false;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, paused, 0.5, pausedSpan, &near));
    // The next race's engine alone: the last race's cars are gone.
    sound.Leave();
    ASSERT_NO_FATAL_FAILURE(Hold(sound, idling, 0.5, leftSpan));
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));

    const double player = Rms(out, alone);
    EXPECT_GT(Rms(out, nearSpan), 1.5 * player) << "the cars close by are heard over the idling engine";
    EXPECT_GT(Rms(out, farSpan), 1.02 * player);
    EXPECT_LT(Rms(out, farSpan), Rms(out, nearSpan));
    EXPECT_NEAR(Rms(out, goneSpan), player, 0.05 * player) << "out of earshot";
    EXPECT_EQ(Peak(out, pausedSpan), 0);
    EXPECT_NEAR(Rms(out, leftSpan), player, 0.05 * player) << "Leave stops the other cars too";
    EXPECT_FLOAT_EQ(EngineSound::FieldFalloff(EngineSound::FieldNearM), 1.0f);
    EXPECT_FLOAT_EQ(EngineSound::FieldFalloff(NAN), 0.0f);
}

TEST_F(EngineSoundTest, AfterAWonTrialTheEngineWindsDownToIdle) {
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    // Flat out over the line at 6000 rpm; the world then stands still with
    // the read-back frozen there.
    const EngineSound::Drive crossing = Driving(6000.0f, 1.0f);
    Span flatOut, settled;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, crossing, 0.6, flatOut));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, EngineSound::WoundDown(crossing, 0.2f), 0.2, settled));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, EngineSound::WoundDown(crossing, 3.0f), 0.8, settled));
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));
    EXPECT_NEAR(Fundamental(out, flatOut), 200.0, 4.0);
    EXPECT_NEAR(Fundamental(out, settled), EngineSound::IdleRpm / 30.0, 2.0) << "still at the last rpm";
    EXPECT_LT(Peak(out, settled), Peak(out, flatOut));
}

TEST_F(EngineSoundTest, EachLocalPlayerIsHeardAsALonePlayerAndTheirSumNeverClips) {
    std::unique_ptr<Sound> music(engine.CreateSound(SOUND_DIR "../music/Halverd - Evenfall.mp3"));
    ASSERT_NE(music, nullptr);
    std::unique_ptr<Channel> musicChannel(music->Play());
    ASSERT_NE(musicChannel, nullptr);
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    sound.SetMusic(musicChannel.get());

    // The players alone first, the music turned off; four cars are never at
    // quite the same revs, the third at the lone player's.
    const EngineSound::Drive flatOut = Driving(6500.0f, 1.0f, 1.0f);
    std::vector<EngineSound::Drive> four, third, none;
    for (float rpm : {6300.0f, 6700.0f, 6500.0f, 6100.0f}) four.push_back(Driving(rpm, 1.0f, 1.0f));
    third = none = four;
    for (size_t i = 0; i < four.size(); ++i) {
        none[i].running = false;
        if (i != 2) third[i].running = false;
    }
    Span lone, all, thirdOnly, paused;
    sound.SetMusicVolume(0.0f);
    ASSERT_NO_FATAL_FAILURE(Hold(sound, flatOut, 0.6, lone));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, four, 0.6, all));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, third, 0.6, thirdOnly));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, none, 0.4, paused));
    EXPECT_TRUE(musicChannel->IsPaused());

    // Then the worst of a race: the music, three cars of the field close by,
    // and all four players flat out, sliding and knocked every half second.
    sound.SetMusicVolume(1.0f);
    const std::vector<EngineSound::FieldEngine> field(3, {6500.0f, 1.0f, 5.0f});
    std::vector<EngineSound::Drive> knocked = four;
    for (EngineSound::Drive& drive : knocked) drive.speedMs -= 8.0f;
    Span loudest{0, 0};
    for (int i = 0; i < 3; ++i) {
        Span step;
        ASSERT_NO_FATAL_FAILURE(Hold(sound, four, 0.25, step, &field));
        if (i == 0) loudest.first = step.first;
        ASSERT_NO_FATAL_FAILURE(Hold(sound, knocked, 0.25, step, &field));
        loudest.second = step.second;
    }
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));

    const double one = Rms(out, lone);
    ASSERT_GT(one, 0.02) << "a lone player is not heard";
    EXPECT_GT(Rms(out, all), 1.5 * one) << "four players are heard as more than one";
    EXPECT_NEAR(Rms(out, thirdOnly), one, 0.1 * one) << "the third player alone, as loud as a lone player";
    EXPECT_EQ(Peak(out, paused), 0) << "none running: the race stands still";
    EXPECT_LT(Peak(out, loudest), 32767) << "a sample at full scale: the mix clips";
    EXPECT_GT(Rms(out, loudest), Rms(out, all)) << "the music and the field are heard over the players";
}

TEST_F(EngineSoundTest, EachPlayersCarPlacedByHandIsNoKnockWhileTheirOwnKnocksThud) {
    EngineSound sound(&engine, SOUND_DIR);
    ASSERT_TRUE(sound.IsLoaded());
    // Idling engines, quiet under a thud; the second player's car stops dead.
    const std::vector<EngineSound::Drive> rolling(2, Driving(900.0f, 0.0f));
    std::vector<EngineSound::Drive> stopped = rolling;
    stopped[1].speedMs = 0.0f;
    Span calm, placed, knocked, again;
    ASSERT_NO_FATAL_FAILURE(Hold(sound, rolling, 0.4, calm));
    sound.CarPlaced(1);
    ASSERT_NO_FATAL_FAILURE(Hold(sound, stopped, 0.4, placed));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, rolling, 0.4, again));
    ASSERT_NO_FATAL_FAILURE(Hold(sound, stopped, 0.4, knocked));
    sound.CarPlaced(EngineSound::MaxPlayers);  // no such player: nothing
    Recording out;
    ASSERT_NO_FATAL_FAILURE(Finish(out));
    // A thud is over in a tenth of a second: read from the step's very start.
    auto whole = [this](Span span) { return Span{span.first - static_cast<size_t>(0.15 * rate), span.second}; };
    const int idlePeak = Peak(out, calm);
    EXPECT_LT(Peak(out, whole(placed)), 1.3 * idlePeak) << "placed by hand: no thud";
    EXPECT_GT(Peak(out, whole(knocked)), 2.0 * idlePeak) << "stopped dead by a knock: a thud";
}
