#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class Channel;
struct Car;
class SettingsStore;
class Sonavar;
class Sound;

/// The race's sound effects: the engine following the rpm and the throttle,
/// tyres squealing while they slip and a thud on hard knocks, for each local
/// player's car (up to MaxPlayers on one screen). It also turns the music
/// down while a race runs. Pause and spectator mode hold every sound, the
/// music included, until the race goes on.
///
/// Made once for the run by the application, beside the music; a race hands
/// it its players' cars once a frame. Without a sound engine, or where its
/// files did not load (one warning), it does nothing.
class EngineSound {
public:
    /// The engine loops' speed: they play at rate rpm / BaseRpm.
    static constexpr float BaseRpm = 3000.0f;
    static constexpr float MinRate = 0.25f;
    static constexpr float MaxRate = 3.0f;
    /// Share of the music's volume left while a race runs.
    static constexpr float RaceMusicShare = 0.5f;
    /// Levels at full effects volume, so that the sum leaves headroom: the
    /// engine at full throttle and high revs about as loud as the music in
    /// a race, the squeal at full slip and the hardest thud a little under.
    /// The sound files themselves are recorded near full scale.
    static constexpr float EngineLevel = 0.15f;
    static constexpr float SquealLevel = 0.45f;
    static constexpr float ThudLevel = 0.5f;
    /// Deceleration (m/s^2) beyond any brake's, and a speed lost (m/s)
    /// beyond a frame's jitter: a knock.
    static constexpr float ThudDecelerationMs2 = 30.0f;
    static constexpr float ThudSpeedLossMs = 1.5f;

    /// One frame of the race as the sounds see it.
    struct Drive {
        bool running = false;  ///< a car on the road, neither paused nor watched by the spectator
        float rpm = 0.0f;
        float throttle = 0.0f;  ///< 0 ... 1
        float slip = 0.0f;      ///< 0 (grip) ... 1 (sliding)
        float speedMs = 0.0f;
    };

    /// Loads the four sounds from `folder` through `engine`; null: silent.
    explicit EngineSound(Sonavar* engine, const std::string& folder = "../data/sounds/");
    /// Stops the effects. The music is left as it is: its channel may be
    /// gone by now, while Leave (a race's end) gives it its volume back.
    ~EngineSound();
    EngineSound(const EngineSound&) = delete;
    EngineSound& operator=(const EngineSound&) = delete;

    /// The music's channel, which the race turns down (null: none).
    void SetMusic(Channel* music);
    /// Volume settings, 0 ... 1 (clamped) in tenths, 1 at the start.
    void SetMusicVolume(float volume);
    void SetEffectsVolume(float volume);
    float GetMusicVolume() const { return musicVolume; }
    float GetEffectsVolume() const { return effectsVolume; }
    /// The volume keys, on presses: 7 / 8 the music down / up, 9 / 0 the
    /// effects, a tenth a press.
    /// @return true for one of these keys
    bool OnVolumeKey(unsigned key);
    /// Takes the volumes from `store`'s "sound" section (what is missing or
    /// unreadable stays, what is out of range is clamped; SettingsStore::GetNumber)
    /// and keeps every change there; null: for the run only.
    void KeepIn(SettingsStore* store);
    static const char* const SettingsSection;  ///< "sound"

    /// What `car` does this frame, as the sounds follow it; `running` is
    /// false while the race stands still (paused, the spectator's view).
    static Drive DriveOf(const Car* car, bool running);
    /// `drive` of a car the world has stopped (a won Time Trial) `standingS`
    /// seconds ago: the throttle shut, the engine winding down to idle.
    static Drive WoundDown(Drive drive, float standingS);
    static constexpr float IdleRpm = 900.0f;
    /// One frame `dtS` long of a race with one player. The loops start with
    /// the first running frame.
    void Update(const Drive& drive, float dtS);

    /// Local players heard at once, each with an engine, a squeal and a thud.
    static constexpr unsigned MaxPlayers = 4;
    /// How much further into its loops each player starts than the one
    /// before: cars at the same revs then sound like several, not one louder.
    static constexpr float PlayerStaggerS = 0.137f;
    /// One frame `dtS` long of every local player's car, the first player's
    /// first; those past MaxPlayers go unheard. Each player sounds as a lone
    /// player would, and Sonavar's limiter keeps the sum under full scale.
    /// A player whose drive is not running is held silent on their own;
    /// none running is the race standing still, which holds everything as
    /// the one-player Update does. A player who has left the list (a smaller
    /// race next) is stopped. With one drive, this is the one-player Update.
    void Update(const std::vector<Drive>& drives, float dtS);

    /// Another car's engine as the player hears it.
    struct FieldEngine {
        float rpm = 0.0f;
        float throttle = 0.0f;   ///< 0 ... 1
        float distanceM = 0.0f;  ///< from the player's car; with several, the nearest of theirs
    };
    /// Only the nearest of the other cars sound: the rest would be lost
    /// under them and the player's own engine, and each costs the mixer.
    static constexpr unsigned MaxFieldEngines = 3;
    /// Full level up to this distance (m), falling as 1 / distance beyond;
    /// silent from FieldSilentM on.
    static constexpr float FieldNearM = 8.0f;
    static constexpr float FieldSilentM = 250.0f;
    /// The other cars of a race, after Update in the same frame: each of the
    /// nearest plays the engine's load loop at its own rpm, quieter with its
    /// distance. An empty list silences them; pause and Leave hold and stop
    /// them with the rest. The local players' cars are not in it: they have
    /// their own sounds.
    void UpdateField(std::vector<FieldEngine> engines);
    /// Volume (0 ... 1, before the effects volume) an engine at `distanceM` is heard at.
    static float FieldFalloff(float distanceM);
    /// The race is gone: the effects stop, the music comes back up.
    void Leave();
    /// `player`'s car was put down by hand (a recovery, a race run again):
    /// the speed it lost then is no knock. Past MaxPlayers: nothing.
    void CarPlaced(unsigned player);
    /// Every player's car was put down by hand.
    void CarPlaced();

    /// Wheel slip (0 ... 1) from the car's own sliding measure and its
    /// sideways speed; for the physics' read-back values.
    static float SlipFrom(float skid, float lateralSpeedMs, float speedMs);

    bool IsLoaded() const { return idle != nullptr; }

private:
    /// One player's car as heard: its channels and what follows its drive.
    struct Voices {
        std::unique_ptr<Channel> idle, load, squeal, thud;
        bool held = false;           ///< silent while the others drive on
        float throttleLevel = 0.0f;  ///< smoothed, against zipper noise
        float slipLevel = 0.0f;
        float lastSpeedMs = -1.0f;   ///< < 0: no speed yet
        float thudWaitS = 0.0f;      ///< until another thud may sound
    };

    void UpdatePlayers(const Drive* drives, std::size_t count, float dtS);
    void Follow(Voices& voices, const Drive& drive, float dtS, unsigned player);
    static void Hold(Voices& voices, bool hold);
    static void Stop(Voices& voices);
    void ApplyMusicVolume();
    void PauseAll(bool pause);

    std::unique_ptr<Sound> idle, load, squeal, thud;
    std::array<Voices, MaxPlayers> players;
    std::vector<std::unique_ptr<Channel>> fieldChannels;  ///< the other cars' engines, nearest first
    Channel* music = nullptr;
    SettingsStore* settings = nullptr;
    float musicVolume = 1.0f;
    float effectsVolume = 1.0f;
    bool inRace = false;   ///< a race has sent frames since the last Leave
    bool paused = false;
};
