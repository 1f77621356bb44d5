#pragma once
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include <lumora/Lumora.h>
#include <lumora/OglScaledView.h>

#include "cars/CameraSettings.h"
#include "cars/CarPool.h"
#include "hud/ClickAreas.h"
#include "hud/DisplaySettings.h"
#include "hud/FrameRateLabel.h"
#include "hud/FrameStatistics.h"
#include "hud/RenderOptionsPanel.h"
#include "hud/ResultsTable.h"
#include "input/GameMode.h"
#include "drivers/Player.h"
#include "graphics/QualityPreset.h"
#include "FixedTick.h"
#include "Race.h"
#include "RaceClock.h"
#include "RaceMode.h"
#include "RaceScene.h"
#include "RaceSetup.h"
#include "rules/RaceRules.h"
#include "view/RaceHud.h"
#include "view/RacePicture.h"
#include "view/RaceView.h"
#include "track/Track.h"
#include "track/TrackDescription.h"
#include "TrialResult.h"
#include "WrongWay.h"
#include "drivers/RacingDriver.h"
#include "track/RacingLine.h"

class EngineSound;
class GhostRace;
class RecordedRun;
class Replay;
class Font;
class Model;
class OglEffectPass;
class RaceField;
class TimeTrialRules;
class TrialGuests;
struct RacePicture;
class RecordsStore;
class SettingsStore;

namespace physics {
class World;
}

/// One race on a track read from its description (TrackDescription), driven
/// one of its ways, as a mode of the game: it brings the parts of a race
/// together and runs them a frame at a time.
///
/// - What to race is a plain value (RaceSetup): track, way, mode, cars.
/// - The scene (RaceScene) loads the sky, the track and the cars into the
///   race's own engine and wires the effect pass.
/// - The race steps at a fixed tick (FixedTick): each tick the rules of the
///   mode (RaceRules: Free Drive, the Time Trial's clock and checkpoints, a
///   Race's field) count down, the drivers drive, the physics world steps and
///   the rules judge the outcome. Drawing blends the cars between the last
///   two ticks, so the same inputs give the same race at any frame rate.
/// - Drawing changes nothing: the chase camera follows the blended car, then
///   the scene and the HUD are drawn from the race as it stands; every timer
///   advances in Step alone. The render-option keys and their panel are
///   their own (RenderOptionsPanel).
///
/// Once a Time Trial is over, Return runs it again with the same car on the
/// same track; a won one goes into the player's records. P, or the window
/// losing the keyboard, stops the world and the clocks until P is pressed
/// again. Every run of the player is recorded (GhostRace): a Time Trial races
/// the ghost of the car's best run, and W at the end of a run watches it
/// again (Replay), as RaceMode::Replay watches the best run from the show room.
///
/// Lifecycle: construct, Initialize, Start, then one Frame per pass of the
/// frame loop. Destroy it while the GL context is current.
class GameEngine : public GameMode {
public:
    using Mode = RaceMode;

    static constexpr float CountdownS = RaceRules::CountdownS;
    static constexpr float GoS = RaceRules::GoS;

    /// Registers the race in the key and focus lists of `handler`, and the
    /// player in its key, mouse and focus lists; `handler` must outlive the
    /// race, as must `records` (null: won trials are timed but not kept).
    /// No GL call.
    explicit GameEngine(EventHandler& handler, RecordsStore* records = nullptr);
    /// Removes the listeners, deletes the cars, the physics world and the
    /// engine with its effect pass and models. Needs the GL context current.
    ~GameEngine() override;
    GameEngine(const GameEngine&) = delete;
    GameEngine& operator=(const GameEngine&) = delete;

    /// Brings up the engine, the physics world, the fonts and the car pool.
    /// Called again, it first releases the cars and the world of the last
    /// call, so the race must be started anew. Needs a current GL context.
    /// @return false when the engine does not initialise or a font is missing
    bool Initialize();
    /// Loads the scene, makes the chosen car, sets up the effect pass and the
    /// race. Only after a successful Initialize. Without SetTrack, the first
    /// way of the first track TrackList finds.
    /// @return false when no track is found or the chosen one is not driven
    ///         that way, or when the sky dome, the track or its terrain, the
    ///         car or the effect pass cannot be made; the race must not run then
    bool Start(unsigned carIndex, Mode mode);
    bool Start(unsigned carIndex, bool freeDrive) {
        return Start(carIndex, freeDrive ? RaceMode::FreeDrive : RaceMode::TimeTrial);
    }
    /// Why the last Start failed, as one line for the player ("KestrelPass
    /// cannot be raced: its model has no terrain"); empty after a success.
    const std::string& GetStartFailure() const { return startFailure; }
    /// Whether the track's own data was why (its model, terrain, start or
    /// road), rather than this machine or the car.
    bool IsStartFailureTheTrack() const { return startFailureIsTrack; }
    /// The track to race and the way round; before Start.
    void SetTrack(const TrackDescription& track, TrackDescription::Direction way) {
        race.GetSetup().track = track;
        race.GetSetup().direction = way;
    }
    const TrackDescription& GetTrackDescription() const { return race.GetSetup().track; }
    TrackDescription::Direction GetDirection() const { return race.GetSetup().direction; }
    /// The field of a Race: how many of the game's cars, and how they drive;
    /// before Start.
    void SetOpponents(unsigned count, RacingDriver::Skill skill) {
        race.GetSetup().opponentCount = count;
        race.GetSetup().opponentSkill = skill;
    }
    /// A Race's grid from the front by the racers' names (a championship's
    /// standings reversed); before Start. Empty: the players at the back.
    void SetGridOrder(std::vector<std::string> namesFromFront) { race.GetSetup().gridOrder = std::move(namesFromFront); }
    /// A car of a Race driven elsewhere (another player of a network race).
    struct Guest {
        unsigned model = 0;
        std::string name;          ///< unique in the field
        Driver* driver = nullptr;  ///< must outlive the race
    };
    /// Makes a Race's rules for its field, in place of the mode's own.
    using RulesMaker = std::function<std::unique_ptr<RaceRules>(RaceField& field)>;
    /// A Race with cars driven elsewhere: `guests` join the field beside
    /// the first player, named `playerName`; the grid runs by name in the
    /// setup's grid order, and `rules` replace a Race's own. Before Start,
    /// with no opponents.
    void SetGuests(std::string playerName, std::vector<Guest> others, RulesMaker rules) {
        race.GetSetup().playerName = std::move(playerName);
        guests = std::move(others);
        guestRules = std::move(rules);
    }
    /// Makes a Time Trial's rules for the trial of the player's car on
    /// `track` (won trials kept in `records` under `recordsKey`), with the
    /// other players shown as `shown`, in place of the mode's own.
    using TrialRulesMaker = std::function<std::unique_ptr<TimeTrialRules>(
        const Track& track, RecordsStore* records, std::string recordsKey, TrialGuests& shown)>;
    /// A Time Trial beside cars driven elsewhere: `guests` are drawn
    /// see-through (TrialGuests), touching nothing, and `rules` pose them and
    /// replace the trial's own. Before Start, alone on the screen.
    void SetTrialGuests(std::string playerName, std::vector<Guest> others, TrialRulesMaker rules) {
        race.GetSetup().playerName = std::move(playerName);
        guests = std::move(others);
        trialRules = std::move(rules);
    }
    /// The game's driver at the first player's wheel in a Race or a Time Trial, from the
    /// start (a demonstration, a race left to run by itself); before Start.
    void SetAutopilot(bool on) { autopilotAsked = on; }
    /// The lines under the standings (a network race's ping, who lags), set each frame.
    void SetHudLines(std::vector<std::string> lines) { hudLines = std::move(lines); }
    /// A Time Trial's cars raced elsewhere (SetTrialGuests); null without.
    const TrialGuests* GetTrialGuests() const { return trialGuests.get(); }
    /// What is raced, as Start made it.
    const RaceSetup& GetSetup() const { return race.GetSetup(); }
    /// The race as the world runs it, without drawing.
    const Race& GetRace() const { return race; }
    /// Another local player on the same screen, with car `carIndex`, driving
    /// with `device` and, on the keyboard, `keys` (a pad's buttons send the
    /// first set's); before Start, at most SplitLayout::MaxPlayers in all.
    /// The first player is GetPlayer(), with the car Start is given; beside
    /// others it needs its own device too (SetFirstDevice).
    /// @return false when there are as many players already
    bool AddLocalPlayer(unsigned carIndex, InputDevice device, const KeyBindings& keys);
    /// The first player's device and keys beside other players.
    void SetFirstDevice(InputDevice device, const KeyBindings& keys);
    /// The line shown while a player's pad is away ("Player 2: pad
    /// unplugged"), the race paused meanwhile; empty when none is.
    const std::string& GetPadNotice() const { return padNotice; }
    /// The local players, at least one.
    std::size_t GetPlayerCount() const { return seats.size(); }
    /// Local player `index`'s driver, car and view; null past the last.
    Player* GetPlayer(std::size_t index) const {
        return index < seats.size() ? race.GetSeat(index).player : nullptr;
    }
    Car* GetCar(std::size_t index) const { return index < seats.size() ? race.GetSeat(index).car : nullptr; }
    RaceView* GetView(std::size_t index) const { return index < seats.size() ? seats[index].view.get() : nullptr; }

    /// The race's share of a pass of the frame loop: Step, the sounds, the
    /// timing step, RenderScene, DrawHud.
    void Frame() override;
    /// The race's ticks of the last cycle time (Race::Step), or the replay's
    /// frame; then each view's chase camera behind its car. Cycle times of
    /// 1 s or more (or not a number) run no tick, nor does a paused race; in
    /// spectator mode the world stands still while the countdown runs on.
    void Step();
    /// One fixed tick of the race (Race::Tick).
    void Tick() { race.Tick(player.IsSpectator()); }
    /// The 3-D scene at the race's preset: what lies beyond its draw distance
    /// left out, then the engine's passes, at the preset's render scale
    /// (stretched over the window when below 1).
    void RenderScene();
    /// The 2-D overlay in window pixels, drawn from the race as it stands:
    /// countdown, "Go!", checkpoint and clock, the result, the instruments,
    /// the fading message and the options panel.
    void DrawHud();

    /// The render-option keys F1 to F9, on presses; R puts the car back on
    /// the road, except while it is held for the start, once a Time Trial is
    /// over and while the world stands still for the spectator.
    /// Return, once a Time Trial is over, races again (RaceAgain); P pauses
    /// and resumes.
    void OnKey(EventHandler& handler, unsigned key, int state) override;
    /// The player went to another window: the race waits for them (paused).
    void OnFocusLost(EventHandler& handler) override;
    /// Once the run is over, a left-button press on a key of its end
    /// screen's keys line ("Return: race again") dispatches that key's press
    /// and release through `handler`; the line's key under the pointer is
    /// drawn white.
    void OnMouse(EventHandler& handler, int x, int y, int button, int state) override;
    /// The player's chase camera and field of view, speed unit and frame
    /// rate; before Start. The defaults until set.
    void SetView(const CameraSettings& camera, const DisplaySettings& display) {
        cameraSettings = camera;
        displaySettings = display;
    }
    /// Once a Race is over, `keys` under its results instead of racing again
    /// ("Return: standings   Escape: show room"): Return is then the
    /// caller's, who goes on elsewhere. With `instead`, that table is shown
    /// in place of the results from now on (a championship's standings).
    void SetEndTable(const std::string& keys, std::optional<ResultsTable::Table> instead = std::nullopt) {
        endKeys = keys;
        endTable = std::move(instead);
    }
    /// What the last frame's end screen drew where the mouse can point.
    const ClickAreas& GetEndScreenAreas() const { return endScreen; }
    /// The window's share of each local player's view, as last drawn.
    std::vector<ViewRect> GetViewRects() const;
    /// The same mode with the same car from the start again: the car back
    /// on the start line at rest, the countdown, the clock, the checkpoints
    /// and the result as at Start. Nothing is loaded again.
    void RaceAgain();

    /// The Time Trial's checkpoint rule (TimeTrialRules::TestCheckpoint);
    /// nothing in the other modes.
    void TestCheckpoint(const vmath::vec3<float>& position, float dtS);
    /// The rules of `mode` from their start: countdown, "Go!", clock,
    /// checkpoints and result.
    void BeginRace(Mode mode);

    /// "%02d:%02d.%02d", minutes, seconds and hundredths, truncated
    /// (RaceClock::Format).
    static std::string FormatClock(double seconds);
    /// The countdown digit shown at `countdown` seconds ("3", "2", "1"), or
    /// null when none is.
    static const char* CountdownDigit(float countdown);

    /// The graphics preset the race is drawn with; before Start. High until set.
    void SetQuality(QualityPreset::Level level) { quality = level; }
    QualityPreset::Level GetQuality() const { return quality; }

    /// The run's race sounds, fed once a frame and left when the race goes
    /// (null: none); it must outlive the race.
    void SetEngineSound(EngineSound* sound) { engineSound = sound; }

    /// The player's settings, which keep whether ghosts are shown (G); null:
    /// shown, and G counts for this race only. Before Start; it must outlive the race.
    void SetSettings(SettingsStore* store) { settings = store; }
    /// The recording of the player's runs and, in a Time Trial, the ghost of
    /// the car's best run; null before Start.
    GhostRace* GetGhostRace() const { return race.GetGhostRace(); }
    /// Plays `run` back on the player's car (W at the end of a run, or the
    /// best run in RaceMode::Replay); the world stands still meanwhile.
    /// @return false for a run of fewer than two samples, or before Start
    bool Watch(const RecordedRun& run);
    /// Ends a replay watched from the end of a run, back at that end (Escape).
    /// @return false when there is no such replay: none, or the best run's
    ///         from the show room, after which the show room comes back
    bool LeaveReplay();
    /// The replay being watched, or null.
    const Replay* GetReplay() const { return replay.get(); }

    Lumora& GetEngine() { return engine; }
    Player& GetPlayer() { return player; }
    Track& GetTrack() { return race.GetTrack(); }
    FrameStatistics& GetFrameStatistics() { return frameStatistics; }
    physics::World* GetWorld() const { return race.GetWorld(); }
    /// The race's cars: the player's, the opponents' and the ghost's; null before Initialize.
    CarPool* GetCars() const { return cars.get(); }
    Car* GetCar() const { return player.GetCar(); }
    /// The mode's rules: phase, countdown, clock.
    const RaceRules& GetRules() const { return race.GetRules(); }
    const FixedTick& GetTick() const { return race.GetTick(); }
    unsigned GetNextCheckpoint() const;
    double GetRemainingTime() const;
    void SetRemainingTime(double seconds);
    float GetCountdown() const { return GetRules().GetCountdown(); }
    float GetGoTime() const { return GetRules().GetGoTime(); }
    bool IsFreeDrive() const { return GetMode() == RaceMode::FreeDrive; }
    Mode GetMode() const { return race.GetMode(); }
    /// The field of a Race; null in the other modes.
    const RaceField* GetField() const { return race.GetField(); }
    bool IsShowingOptions() const { return options.IsShown(); }
    const WrongWay& GetWrongWay() const { return race.GetSeat(0).wrongWay; }
    const std::string& GetMessage() const { return options.GetMessage(); }
    float GetMessageAge() const { return options.GetMessageAge(); }
    /// True once the last checkpoint is passed with time left.
    bool IsPerfect() const;
    /// True once a Time Trial is won or its time is up, or the player has
    /// finished a Race.
    bool IsOver() const { return GetRules().IsOver(); }
    const RaceClock& GetRaceClock() const { return GetRules().GetClock(); }
    const TrialResult& GetResult() const;

private:
    /// The description's way for the chosen direction, the first track found
    /// when none was set; null when there is none.
    const TrackDescription::Way* ChooseWay();
    /// Keeps "<track> cannot be raced: <why>" as the start's failure, printed
    /// once; `theTrack`: the track's data is at fault.
    bool Fail(const std::string& why, bool theTrack = true);
    /// Lets go of the replay, the race's cars, the pool and last the world
    /// the cars' bodies live in.
    void ReleaseRace();
    /// The race as local player `seat`'s view shows it, after the frame's ticks.
    RacePicture Picture(std::size_t seat);
    /// With three players, the quarter left over: the map of every car and the standings.
    void DrawSpareQuarter(const ViewRect& quarter);
    /// The other players' cars on the first player's map.
    std::vector<MapDot> SeatDots() const;
    /// A guest's name is drawn this far over its car's origin, out to this far from the eye (m).
    static constexpr double LabelHeightM = 0.9;
    static constexpr double LabelReachM = 150.0;
    /// The guests' names over their cars as seat `seat`'s view shows them.
    std::vector<RacePicture::Label> GuestLabels(std::size_t seat);
    /// A Race's end table as SetEndTable asked for it.
    const ResultsTable::Table& EndTable();
    /// The end screen of a shared screen, over the whole window.
    void DrawSharedEnd(float width, float height);
    /// The player whose action `action` the key event now dispatched is, or none.
    std::optional<std::size_t> SeatOfKey(unsigned key, KeyBindings::Action action) const;
    /// The first player whose pad is away, or none.
    std::optional<std::size_t> SeatMissingPad() const;
    /// The sounds' view of the player's car: once the world stands still
    /// after a won trial, the engine falls back to idle.
    void FeedEngineSound();
    /// G: ghosts shown or not, kept in the settings.
    void ToggleGhost();
    /// The Time Trial's rules, or null in the other modes.
    TimeTrialRules* Trial() const { return race.GetTrial(); }

    /// What a local player has beside their seat in the race: their view,
    /// and the driver of a player after the first.
    struct Seat {
        std::unique_ptr<Player> owned;
        std::unique_ptr<RaceView> view;
    };

    EventHandler& handler;
    std::vector<Guest> guests;
    RulesMaker guestRules;
    TrialRulesMaker trialRules;
    /// A Time Trial's guests; made by Start, gone before the pool.
    std::unique_ptr<TrialGuests> trialGuests;
    std::vector<std::string> hudLines;
    bool autopilotAsked = false;
    std::unique_ptr<RacingDriver> autopilot;
    RacingLine autopilotLine;  ///< a trial's, which has no field to compute one
    std::string startFailure;
    bool startFailureIsTrack = false;
    std::string padNotice;
    CameraSettings cameraSettings;
    DisplaySettings displaySettings;
    ClickAreas endScreen;  ///< the keys line of the end screen, as last drawn
    FrameRateLabel frameRate;
    EngineSound* engineSound = nullptr;
    RenderOptionsPanel options;
    QualityPreset::Level quality = QualityPreset::High;
    Lumora engine;
    std::unique_ptr<RaceScene> scene;
    Player player;
    /// Its world outlives the pool's cars (ReleaseRace).
    Race race;
    std::unique_ptr<CarPool> cars;
    std::vector<Seat> seats;  ///< beside the race's seats, `player`'s first
    FrameStatistics frameStatistics;
    Font* messageFont = nullptr;  ///< "Arial" 18
    Font* smallFont = nullptr;    ///< "Arial" 32
    Font* largeFont = nullptr;    ///< "Arial" 64
    SettingsStore* settings = nullptr;
    std::unique_ptr<Replay> replay;  ///< gives the player's car back as it goes
    std::optional<std::string> endKeys;           ///< the keys under a Race's results, when not racing again
    std::optional<ResultsTable::Table> endTable;  ///< shown instead of the results
    ResultsTable::Table shownTable;               ///< the results with endKeys, as last drawn
    float standingS = 0.0f;          ///< seconds the world has stood since a won trial
    OglScaledView scaledView;        ///< the 3-D view below High's render scale
};
