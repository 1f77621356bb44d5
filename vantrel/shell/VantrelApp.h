#pragma once
#include <memory>
#include <optional>
#include <string>

#include <sonavar/Sonavar.h>

#include "CommandLine.h"
#include "input/EventHandler.h"
#include "input/Gamepad.h"
#include "graphics/QualityPreset.h"
#include "Screenshot.h"
#include "race/FieldSettings.h"
#include "race/RaceMode.h"
#include "race/RaceSetup.h"
#include "net/Protocol.h"
#include "track/TrackList.h"

class AppWindow;
class Channel;
class EngineSound;
class Championship;
class GameMode;
class SeasonStore;
class HudNotice;
class GameOptions;
class RecordsStore;
class SettingsStore;
class ShowRoom;
class Sound;

/// The game's application object: it owns the window and its OpenGL
/// context, the event handler, the sound engine with the music, and at most
/// one game mode at a time (the race or the show room). The program entry takes it, initialises and starts it,
/// then calls Frame until a quit is requested.
///
/// It is the first keyboard listener and the only quit listener: any
/// listener's EventHandler::DispatchQuit, and the window's close, end the loop
/// after the pass in which they happen. The mode switches its keys ask for
/// wait for the end of the pass as well: a mode is never deleted inside one
/// of its own callbacks (a click on its menu dispatches the key from there).
class OnlineGame;
class OnlineRace;
class VantrelApp : public EventHandler::EventListener {
public:
    /// Title of the window.
    static const char* const WindowTitle;
    /// X11 class of the window.
    static const char* const WindowClassName;
    /// Client area of the window (px).
    static const int WindowWidthPx = 1024;
    static const int WindowHeightPx = 768;
    /// Played from the start and through every mode switch.
    static const char* const MusicFile;
    /// Seconds the show room shows why a race could not start.
    static constexpr double RaceFailureShownS = 5.0;

    /// The one application, made on first use and destroyed at process exit.
    static VantrelApp& Instance();

    /// Takes the display choices of the command line, before Initialize: the
    /// window's size and full screen from there, else from the player's
    /// settings (which keep them), else 1024 x 768 in a window; a preset
    /// that overrides the settings' for this run. Without it the game opens
    /// the default window and reads the settings at Start.
    void Configure(const CommandLine::Choices& choices);
    /// Opens the window at (0, 0), full screen if so configured, and makes its OpenGL context current, then
    /// sets the view up for its size. A window already open is closed first.
    /// @return false when the window or its context cannot be made, said on
    ///         standard output and kept as the failure (GetFailure)
    bool Initialize();
    /// Starts the game's content once the window exists: the player's
    /// records, the sound engine, the show room, then the music, which plays on until the program ends
    /// and through every mode switch. A sound engine that cannot start or
    /// music that cannot be loaded is not an error: the game runs silently
    /// and says so once on standard output.
    /// @return false when the show room cannot start (the failure, said and
    ///         kept); the program then ends
    bool Start();
    /// Replaces the running mode with a new show room, initialised and loaded,
    /// on the car and menu entry last chosen. The new show room stays in
    /// place even when it failed.
    /// @return false when the show room did not initialise or load
    bool StartShowRoom();
    /// Replaces the running mode with a new race with car `carIndex`, in Free
    /// Drive, Time Trial or Race (against the field kept in the settings),
    /// on the chosen track and way, initialised and started.
    ///
    /// A race that cannot start gives way to a new show room at once, which
    /// shows why for RaceFailureShownS in the notice (the race's
    /// GetStartFailure line, which the race prints), and its track is marked
    /// unusable for the rest of the run: the show room's Track entry passes
    /// it over, and a start on it is refused at once with the same line,
    /// the running show room left as it is. Should the show room not start
    /// either, the game ends with that failure.
    /// @return false when the race did not initialise or start
    /// `championshipRace`: the championship's next race (its track, field
    /// and grid), not the show room's choice.
    /// `trackOverride`: that track choice instead of the show room's.
    bool StartRace(unsigned carIndex, RaceMode mode, bool championshipRace = false,
                   std::optional<std::size_t> trackOverride = std::nullopt);
    /// The race a network game's server started: its track and grid, the
    /// own car driven here, the others as their states come.
    /// @return false, the game left and the show room back with why, when it cannot start
    bool StartOnlineRace(const Protocol::RaceStart& start);
    /// The players of the next races at this screen, the first with the car
    /// StartRace is given (its entry's car is not read); none or one: a
    /// player alone on every device, as the game starts.
    void SetLocalPlayers(const std::vector<RaceSetup::Entrant>& players) { localPlayers = players; }
    const std::vector<RaceSetup::Entrant>& GetLocalPlayers() const { return localPlayers; }
    /// The field of the next Race, instead of the one the settings keep
    /// (which Start reads).
    void SetField(const FieldSettings& value) { field = value; }
    /// The track and way of the next race, instead of the one the settings
    /// keep; the tracks are read first when Start has not read them. A
    /// running show room shows the choice.
    /// @return false, choosing nothing, when no track `key` has that way
    bool ChooseTrack(const std::string& key, TrackDescription::Direction direction);
    /// One pass of the frame loop: takes at most one window message, never
    /// waiting, and hands it to the window procedure (the pads' events on the
    /// way to the pads); lets the pads' stick step through the show room;
    /// runs the race's frame, then the show room's; reads the frame back
    /// for a screenshot when F12 asked for one; swaps the buffers; then
    /// carries out the mode switch a key asked for in this pass, unless a
    /// quit was asked as well.
    void Frame();

    /// Keyboard listener, on key presses: F11 switches between full screen
    /// and the window, and keeps the choice; Return on the show room's
    /// "Graphics" entry steps to the next preset, applied at once and kept;
    /// while the options page is open every key but F11, F12 and the volume
    /// keys is the page's (Return on "Options" opens it, the show room's own
    /// doing);
    /// Escape in the show room asks whether to quit (ShowRoom::QuitQuestion),
    /// Return then quits and Escape takes the question back; in a race Escape
    /// returns to a new show room (the game ends as a failure if it cannot
    /// start); Return on the show room's "Free Drive", "Time Trial" or
    /// "Race" starts the race with the chosen car (StartRace: back in the
    /// show room, told why, if it cannot start), remembering the choice for
    /// the show room after it; on "Exit Game" it asks as Escape does. The
    /// switches happen at the end of the pass (Frame); until then Return,
    /// Escape and W ask for nothing more. F12,
    /// in every mode, takes a screenshot of the frame then drawn: the running
    /// mode shows where it went, or why it was not saved, for two seconds.
    /// W in the show room watches the chosen car's best run, when it has one
    /// (RaceMode::Replay); Escape in a replay watched from the end of a run
    /// goes back to that end rather than to the show room.
    void OnKey(EventHandler& handler, unsigned key, int state) override;
    /// Quit listener: ends the frame loop after the current pass.
    void OnQuit(EventHandler& handler) override;

    EventHandler& GetEventHandler() { return eventHandler; }
    /// The window, or null before Initialize.
    AppWindow* GetWindow() const { return window.get(); }
    /// The running race, or null.
    GameMode* GetRace() const { return race.get(); }
    /// The shown show room, or null.
    ShowRoom* GetShowRoom() const { return showRoom.get(); }
    bool IsQuitRequested() const { return quitRequested; }
    /// Why the game had to end (no window, no show room), as said on standard
    /// output; empty while it runs, and after a quit the player asked for.
    const std::string& GetFailure() const { return failure; }
    /// The player's settings; null before Configure or Start.
    SettingsStore* GetSettings() const { return settings.get(); }
    /// The graphics preset the modes are made with.
    QualityPreset::Level GetQuality() const { return quality; }
    bool IsFullscreen() const { return fullscreen; }
    /// The preset for the show room now and every mode after it, kept.
    void SetQuality(QualityPreset::Level level);
    /// Full screen or the window, at once (as F11), kept.
    void SetFullscreen(bool value);
    /// The window's size out of full screen, at once, kept.
    void SetWindowSize(int widthPx, int heightPx);
    /// The player's options (the options page's); null before Start.
    GameOptions* GetOptions() const { return options.get(); }
    /// The network game of the show room's online page; null before Start.
    OnlineGame* GetOnline() const { return online.get(); }
    /// The races' sounds, whose volumes the keys 7 to 0 set; null before Start.
    EngineSound* GetEngineSound() const { return raceSound.get(); }
    Gamepad& GetGamepad() { return gamepad; }
    /// The tracks found at Start, and the way to race last chosen (an index
    /// in its choices), which the show room offers and the race is given;
    /// while a show room runs, its choice.
    const TrackList& GetTracks() const { return tracks; }
    std::size_t GetTrackChoice() const;
    /// The player's best times, shared by every mode of the run; null before Start.
    RecordsStore* GetRecords() const { return records.get(); }
    /// F12's screenshots, and the line the modes show about the last one.
    Screenshot& GetScreenshots() { return screenshots; }
    const HudNotice& GetNotice() const { return *notice; }

private:
    FieldSettings field;  ///< the Race's field, as the settings keep it
    std::vector<RaceSetup::Entrant> localPlayers;  ///< sharing the screen; empty for one player
    RaceMode joinMode = RaceMode::FreeDrive;      ///< what the join step's players will race
    std::optional<bool> joinChampionship;         ///< the join step leads to a championship: new or not
    std::unique_ptr<SeasonStore> seasonStore;     ///< made by Start, as the records
    std::unique_ptr<Championship> championship;
    VantrelApp();
    /// Deletes the modes while their context is still current, then closes
    /// the window.
    ~VantrelApp();
    VantrelApp(const VantrelApp&) = delete;
    VantrelApp& operator=(const VantrelApp&) = delete;

    /// A mode switch a key asked for: a race with a car in a mode, or else
    /// a new show room.
    struct ModeSwitch {
        bool toRace = false;
        unsigned car = 0;
        RaceMode mode = RaceMode::FreeDrive;
        bool championship = false;
        bool online = false;  ///< the race the server started (pendingStart)
        bool toLobby = false; ///< back to the show room's online page, still in the game
        bool leaveOnline = false;  ///< the network game left once its race has gone
    };
    /// The championship entry: the season kept goes on, or a new one
    /// (`anew`) starts, between the players at this screen and the field.
    void BeginChampionship(bool anew);
    /// Frame's last step: the switch asked for in this pass, if any.
    void SwitchModes();
    /// Where a race that could not start leaves the player: the running show
    /// room or a new one, showing `why` (when not empty). Always false.
    bool BackToShowRoom(const std::string& why);
    /// Says `why` the game ends, keeps it as the failure and quits.
    void Fail(const std::string& why);

    bool quitRequested = false;
    std::string failure;                    ///< GetFailure
    std::optional<ModeSwitch> wantedSwitch;  ///< asked for in this pass, carried out by Frame
    std::unique_ptr<AppWindow> window;
    EventHandler eventHandler;
    /// Opened with the window; a machine without pads plays on the keyboard.
    Gamepad gamepad{eventHandler};
    Sonavar sound;                        ///< constructed here, initialised by Start
    std::unique_ptr<Sound> music;         ///< null until Start, and when the file did not load
    std::unique_ptr<Channel> musicChannel;
    /// The races' engine, squeal and thud, and the volume keys' levels
    /// (kept in the settings); made by Start, silent without sound.
    std::unique_ptr<EngineSound> raceSound;
    /// A network race's side of the race below; it outlives that race.
    std::unique_ptr<OnlineRace> onlineRace;
    std::optional<Protocol::RaceStart> pendingStart;
    std::unique_ptr<GameMode> race;      ///< at most one of race and showRoom is set
    std::unique_ptr<ShowRoom> showRoom;
    /// One store for the run: a second one would write its older copy of the
    /// file over the first one's records.
    std::unique_ptr<RecordsStore> records;
    /// One store for the run, as for the records.
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<GameOptions> options;  ///< made by Start, from the settings
    std::unique_ptr<OnlineGame> online;    ///< made by Start, after the tracks
    std::optional<QualityPreset::Level> qualityOverride;  ///< --quality: this run only
    bool autopilot = false;  ///< --autopilot
    QualityPreset::Level quality = QualityPreset::High;
    Screenshot screenshots;           ///< into the player's pictures folder
    bool screenshotAsked = false;     ///< F12 pressed in this pass
    /// Handed to every mode made; held apart, as its header names what X11's do.
    std::unique_ptr<HudNotice> notice;
    int windowWidthPx = WindowWidthPx;  ///< the window's size out of full screen
    int windowHeightPx = WindowHeightPx;
    bool fullscreen = false;
    TrackList tracks;              ///< read once, at Start
    /// The choice while no show room runs (the show room keeps its own, and
    /// hands it over when it goes); kept in the settings.
    std::size_t chosenTrack = 0;
    unsigned chosenCar = 0;  ///< the show room's choice when the last race started
    int chosenEntry = 0;
};
