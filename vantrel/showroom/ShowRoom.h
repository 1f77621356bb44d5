#pragma once
#include <memory>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglScaledView.h>
#include <lumora/OglShadowedPicture.h>
#include <nodara/Perspective.h>

#include "cars/CarPool.h"
#include "ContactShadow.h"
#include "JoinScreen.h"
#include "OptionsPage.h"
#include "online/OnlinePage.h"
#include "hud/ClickAreas.h"
#include "hud/FrameRateLabel.h"
#include "hud/FrameStatistics.h"
#include "input/GameMode.h"
#include "graphics/QualityPreset.h"

class Font;
class GroupNode;
class OglEffectPass;
class RecordsStore;
class SettingsStore;
class TrackList;

/// The game's start screen: a lit room with the chosen car turning on a
/// turntable, the sign, the menu ("Free Drive" to "Exit Game")
/// and the car bar ("<<", "Choose your car", ">>") with the chosen car's best
/// Time Trial time under it. The arrow keys choose the car (Left, Right) and
/// the menu entry (Up, Down); the application reads both when Return is
/// pressed. The mouse chooses the entry it points at, and a click on an
/// entry, an arrow of the car bar or an answer to the quit question presses
/// the key it stands for. Return on "Options" opens the options page, which
/// takes the keys and the mouse until it closes.
///
/// It owns its own engine with an effect pass (shadows on the room and the
/// car, the car reflecting the room) and a pool of display cars. Only cars
/// whose model loaded can be chosen.
///
/// Lifecycle: construct, Initialize, Load (only after Initialize succeeded),
/// then one Frame per pass of the frame loop. Destroy it while the GL context
/// is current.
class KeySets;

class ShowRoom : public GameMode {
public:
    /// The menu entries, in the order shown from the top.
    enum Selection {
        FreeDrive = 0,
        TimeTrial = 1,
        Race = 2,
        Championship = 3,
        Online = 4,
        Track = 5,
        Opponents = 6,
        Players = 7,
        Graphics = 8,
        Options = 9,
        ExitGame = 10
    };
    static const int EntryCount = 11;
    /// The most players at one screen.
    static constexpr unsigned MaxPlayers = 4;
    /// Pixels from one menu entry's line to the next, the first one's this
    /// far below the top: eleven entries leave the car in view.
    static constexpr float MenuLineHeightPx = 38.0f;
    /// Id of entry `entry`'s area in GetMenuAreas; the car bar's arrows and
    /// the quit question's answers have the ids of their keys (VK_LEFT,
    /// VK_RIGHT, VK_RETURN, VK_ESCAPE).
    static int EntryArea(int entry) { return 1000 + entry; }
    /// The entries' text; Track's is followed by the chosen track and way,
    /// Opponents's by the difficulty's name, Graphics's by the preset's.
    static const char* const MenuEntries[EntryCount];
    static const char* const RoomFile;
    static const char* const SignFile;
    /// Degrees per second the turntable turns.
    static constexpr float TurntableSpeedDegS = 12.0f;

    /// Registers the show room in the key list of `handler`, which must
    /// outlive it, as must `records` (null: no best times shown). No GL call.
    explicit ShowRoom(EventHandler& handler, RecordsStore* records = nullptr);
    /// Removes the listener, deletes the cars, the sign texture and the engine
    /// with its effect pass and models. Needs the GL context current.
    ~ShowRoom() override;
    ShowRoom(const ShowRoom&) = delete;
    ShowRoom& operator=(const ShowRoom&) = delete;

    /// Brings up the engine and the effect pass, makes the fonts and the car
    /// pool and loads the sign. Needs a current GL context. Once only: a
    /// second call is refused and changes nothing.
    /// @return false when the engine, the effect pass, a font or the sign
    ///         cannot be made, or on a second call; the reason is on
    ///         standard output
    bool Initialize();
    /// The car and menu entry to start on instead of the first ones, the
    /// player's last choice; before Load. Values out of range are ignored, and
    /// a car that does not load gives way to the next one that does.
    void Choose(unsigned car, int entry);
    /// Loads the room and both cars, sets the effect groups, the light and
    /// the camera. A car that does not load is skipped.
    /// @return false when the room or no car at all loads
    bool Load();

    /// Shows the chosen car, turns it, measures the frame, renders the room
    /// and draws the overlay.
    void Frame() override;
    /// The room and the car through the effect pass, at the preset's render
    /// scale (stretched over the window when below 1).
    void RenderScene();
    /// Turns the shown car by the turntable's speed times the cycle time,
    /// whatever its size: a new show room starts at an arbitrary angle.
    void Update();
    /// The bands, the sign, the menu and the car bar in window pixels.
    void DrawOverlay();

    /// Arrow keys, on presses only: Up and Down step through the menu,
    /// Left and Right through the loaded cars, the new car taking over the
    /// old one's placement and turntable angle. On the Track entry, Return
    /// and Right step to the next way to race, Left to the one before,
    /// wrapping round. Other keys do nothing.
    void OnKey(EventHandler& handler, unsigned key, int state) override;
    /// The pointer on a menu entry chooses it; a left-button press on an
    /// entry, an arrow or an answer dispatches that key's press and release
    /// through `handler` (the application replaces the show room only after
    /// the frame). With the options page open, the page's.
    void OnMouse(EventHandler& handler, int x, int y, int button, int state) override;
    /// The options page's, while it is open.
    void OnWheel(EventHandler& handler, int x, int y, int notches) override;
    /// The options page, which the application fills; shown while open.
    OptionsPage& GetOptionsPage() { return optionsPage; }
    bool IsOptionsShown() const { return optionsPage.IsOpen(); }
    /// The online page, which the application opens and serves; shown while open.
    OnlinePage& GetOnlinePage() { return onlinePage; }
    /// A line is being typed on a page: the window must send characters.
    bool IsTyping() const { return optionsPage.IsTyping() || onlinePage.IsTyping(); }
    /// A character typed, for the page open.
    void OnChar(EventHandler& handler, unsigned character) override;
    /// "Players: 2": how many play at this screen, 1 to MaxPlayers; Return
    /// on the entry steps it, kept in `keep` (SetPlayers).
    unsigned GetPlayers() const { return players; }
    /// The players' count kept in `keep` ([race] players), or `count` when
    /// it keeps none; null keeps nothing.
    void SetPlayers(unsigned count, SettingsStore* keep);
    /// Who plays, before a race of several players; the keys both key sets
    /// (must outlive the show room) tell the players' devices apart.
    void OpenJoin(const KeySets& keys);
    const JoinScreen& GetJoin() const { return join; }
    void CloseJoin() { join.Close(); }
    /// What the last frame drew where the mouse can point (EntryArea).
    const ClickAreas& GetMenuAreas() const { return menuAreas; }
    /// The frames a second in the bottom left corner, or not.
    void SetShowFrameRate(bool shown) { showFrameRate = shown; }

    /// The graphics preset, shown in the menu; on a loaded show room its
    /// effect pass takes it at once (QualityPreset::Apply). High until set.
    /// @return false when the effect pass could not make its maps anew
    bool SetQuality(QualityPreset::Level level);
    QualityPreset::Level GetQuality() const { return quality; }
    /// "Graphics: High" and so on.
    std::string GetGraphicsEntry() const;
    /// The Race's difficulty as the menu names it ("Medium" until set).
    void SetOpponentSkill(const std::string& name) { opponentSkill = name; }
    /// The championship entry's line ("Championship: new"); until set, "Championship".
    void SetChampionshipEntry(const std::string& line) { championshipEntry = line; }
    /// The tracks to choose from (null: none, and the records and ghosts of
    /// the original track forward are shown), the choice to start on (an
    /// index in TrackList::GetChoices; out of range, the first) and where a
    /// new choice is kept (null: nowhere). `tracks` must outlive the show room.
    void SetTracks(const TrackList* tracks, std::size_t choice, SettingsStore* keep);
    /// The chosen way to race, an index in TrackList::GetChoices.
    std::size_t GetTrackChoice() const { return trackChoice; }
    /// Steps the track choice to the next (`step` positive) or the one
    /// before, wrapping round and passing over the tracks that cannot be
    /// raced (TrackList::IsUsable), and keeps it; without another one the
    /// choice stays.
    void StepTrack(int step);
    /// "Track: GreenValley reversed" and so on; "Track: none" without any.
    std::string GetTrackEntry() const;
    /// "Opponents: Medium" and so on.
    std::string GetOpponentsEntry() const { return std::string(MenuEntries[Opponents]) + opponentSkill; }
    /// The effect pass (owned by the engine), or null before Initialize.
    OglEffectPass* GetEffectPass() const { return effectPass; }
    /// What the 3-D view is drawn into below High's render scale.
    const OglScaledView& GetScaledView() const { return scaledView; }
    /// The room lit and with the light hidden, under the shadow map's presets.
    const OglShadowedPicture& GetRoomLight() const { return roomLight; }

    /// The chosen menu entry (a Selection).
    int GetSelection() const { return selection; }
    /// "Quit? Return: yes  Escape: no", asked before the game ends.
    static const char* const QuitQuestion;
    /// Shows (true) or takes back the quit question over the room; the
    /// application answers it. While it is up the arrow keys do nothing.
    void SetQuitAsked(bool asked) { quitAsked = asked; }
    bool IsQuitAsked() const { return quitAsked; }
    /// The chosen car's index in the car pool.
    unsigned GetCarIndex() const { return carIndex; }
    /// The chosen car, or null before Load or when none loaded.
    Car* GetCurrentCar();
    /// "Best: 01:23.45", the chosen car's best Time Trial time on the chosen
    /// track and way, then its best championship place ("Championship: 2."),
    /// or empty when it has neither (or there are no records).
    std::string GetBestLine() const;
    /// The chosen car has a best run to watch on the chosen track and way:
    /// the best line says so, and W (the application's) watches it.
    bool HasBestRun() const { return carIndex < CarPool::Count() && bestRuns[carIndex]; }
    /// What the best line adds when there is a best run to watch.
    static const char* const WatchHint;  ///< "   W: watch"
    /// The node the effect pass draws as the shown car (null before Load).
    GroupNode* GetDisplayNode() const { return displayNode.get(); }
    Lumora& GetEngine() { return engine; }
    FrameStatistics& GetFrameStatistics() { return frameStatistics; }
    /// GL name of the sign's texture, 0 when none.
    unsigned int GetSignTexture() const { return signTexture; }

private:
    std::string opponentSkill = "Medium";
    std::string championshipEntry = "Championship";
    /// The loaded car after (`step` 1) or before (`step` -1) `carIndex`,
    /// wrapping around; `carIndex` itself when no other car loaded.
    unsigned NextLoadedCar(int step) const;
    /// The quit question on a band across the middle, in the menu's font.
    void DrawQuitQuestion(float widthPx, float heightPx);
    /// The room from a kept picture and the car drawn over it, into the
    /// scaled view; `shadowed`: with the room drawn again where the car's
    /// shadow can fall. False when GL cannot keep one (nothing drawn then).
    bool DrawCarOverStillRoom(bool shadowed);
    /// Makes the stand's group a copy of the current car's, with the car's box,
    /// unless it is one already.
    void PutCurrentCarOnStand();
    /// The translucent grey bands under the menu and the car line, in a
    /// projection of `widthPx` x `heightPx` window pixels.
    void DrawBands(float widthPx, float heightPx);
    /// Which cars have a ghost file on the chosen track and way.
    void FindBestRuns();
    /// The records' and ghosts' names of the chosen track and way.
    std::string RecordsKey(unsigned car) const;
    std::string GhostKey() const;
    bool quitAsked = false;
    bool bandsInView = false;  ///< the last RenderScene drew the bands into the reduced view
    bool pictureRefused = false;  ///< GL could not keep the room's picture: drawn whole every frame
    std::vector<GroupNode*> roomGroups;  ///< the room's, as the effect pass draws them

    /// The effect pass's shadow map is drawn from the light with this projection.
    static const Perspective LightProjection;

    EventHandler& handler;
    RecordsStore* records;
    const TrackList* tracks = nullptr;
    std::size_t trackChoice = 0;
    SettingsStore* trackKeeper = nullptr;
    OptionsPage optionsPage;
    OnlinePage onlinePage;
    JoinScreen join;
    const KeySets* joinKeys = nullptr;
    unsigned players = 1;
    SettingsStore* playersKeep = nullptr;
    ClickAreas menuAreas;
    FrameRateLabel frameRate;
    bool showFrameRate = false;
    Lumora engine;
    /// Owned here until Load hands it to the engine; `effectPass` stays valid
    /// as long as the engine.
    std::unique_ptr<OglEffectPass> pendingEffectPass;
    OglEffectPass* effectPass = nullptr;
    std::unique_ptr<CarPool> cars;
    FrameStatistics frameStatistics;
    Font* menuFont = nullptr;  ///< "Arial" at size 30; the font manager's
    /// A shallow copy of the shown car's node, refreshed every frame: it
    /// shares the car's children, transform and bounding box and frees none
    /// of them.
    std::unique_ptr<GroupNode> displayNode;
    unsigned int signTexture = 0;
    bool initializeCalled = false;  ///< set by the first Initialize, whatever its outcome
    int selection = FreeDrive;
    QualityPreset::Level quality = QualityPreset::High;
    unsigned carIndex = 0;
    /// One each per car of the game (CarPool::Count).
    std::vector<bool> carLoaded = std::vector<bool>(CarPool::Count());
    std::vector<bool> bestRuns = std::vector<bool>(CarPool::Count());  ///< a ghost file there at Load
    OglScaledView scaledView;  ///< the 3-D view below High's render scale
    /// The room without the car, lit and with the light hidden: the car's shadow over it.
    OglShadowedPicture roomLight;
    /// Where each car's patch lies when the preset has no shadow map.
    std::vector<ContactShadow::Footprint> footprints = std::vector<ContactShadow::Footprint>(CarPool::Count());
    /// Each car's box in its own frame, for the one on the stand.
    std::vector<BoundingBox> carBoxes = std::vector<BoundingBox>(CarPool::Count());
    /// The car group the stand's copy was made from.
    const GroupNode* standSource = nullptr;
};
