#pragma once
#include <string>
#include <vector>

#include "cars/CameraSettings.h"
#include "hud/DisplaySettings.h"
#include "input/ControlSettings.h"
#include "input/KeySets.h"
#include "showroom/OptionsPage.h"

class GameEngine;
class ShowRoom;
class VantrelApp;

/// The player's options, between the options page and what they change:
/// the graphics preset, full screen and window size and the volumes live in
/// the application, which applies them at once; the keys (both key sets:
/// player 1's on the Controls section, player 2's on a section of their
/// own), the steering, the camera and the HUD's units are held here for the
/// next race, the pad's
/// dead zone and curve go to the pads at once. Every change is kept in the
/// application's settings as it is made.
class GameOptions {
public:
    /// The names of the page's sections, in order.
    static const char* const GraphicsSection;
    static const char* const SoundSection;
    static const char* const ControlsSection;
    static const char* const SecondKeysSection;  ///< "Player 2": the second key set
    static const char* const CameraSection;
    static const char* const UnitsSection;
    static const char* const OnlineSection;  ///< "Online": the player's name

    /// For `app`, which must outlive the options.
    explicit GameOptions(VantrelApp& app);

    /// Reads the options from the application's settings (a value out of
    /// range clamped, one that cannot be read left at its default, each with
    /// one Warn line) and gives the pads their dead zone and curve.
    void Read();
    /// Fills `room`'s options page and shows it the frame rate as chosen;
    /// the pads' buttons send the menus' keys again.
    void Attach(ShowRoom& room);
    /// Gives a race made but not started the player's keys, steering,
    /// camera and units, and the pads' buttons the race's keys.
    void ApplyTo(GameEngine& race);

    /// The options page's sections, each row wired to what it changes.
    std::vector<OptionsPage::Section> Sections();

    /// The first key set's: a player alone's.
    const KeyBindings& GetKeyBindings() const { return keys.Get(KeyBindings::FirstSet); }
    /// Both key sets, for a race of players at one keyboard (KeySets::For).
    const KeySets& GetKeySets() const { return keys; }
    const ControlSettings& GetControls() const { return controls; }
    const CameraSettings& GetCamera() const { return camera; }
    const DisplaySettings& GetDisplay() const { return display; }

private:
    OptionsPage::Section Graphics();
    OptionsPage::Section Sound();
    OptionsPage::Section Controls();
    OptionsPage::Section SecondKeys();
    /// The row binding `action` of `set`; every binding keeps the options.
    OptionsPage::Row BindingRow(KeyBindings::Set set, KeyBindings::Action action);
    OptionsPage::Section Camera();
    OptionsPage::Section Units();
    OptionsPage::Section Online();
    /// A row whose value is a number stepped within min ... max, shown by
    /// `shown`; every step keeps the options.
    OptionsPage::Row NumberRow(const std::string& label, float& value, float step, float min, float max,
                               std::string (*shown)(float));
    /// Keeps every option of this class and gives the pads theirs.
    void Keep();

    VantrelApp& app;
    KeySets keys;
    ControlSettings controls;
    CameraSettings camera;
    DisplaySettings display;
};
