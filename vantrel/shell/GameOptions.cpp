#include "GameOptions.h"

#include "net/Protocol.h"
#include "online/OnlineGame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "VantrelApp.h"
#include "platform/AppWindow.h"
#include "race/EngineSound.h"
#include "race/GameEngine.h"
#include "showroom/ShowRoom.h"
#include "storage/SettingsStore.h"

const char* const GameOptions::GraphicsSection = "Graphics";
const char* const GameOptions::SoundSection = "Sound";
const char* const GameOptions::ControlsSection = "Controls";
const char* const GameOptions::SecondKeysSection = "Player 2";
const char* const GameOptions::CameraSection = "Camera";
const char* const GameOptions::UnitsSection = "Units";
const char* const GameOptions::OnlineSection = "Online";

namespace {

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string OnOff(bool on) { return on ? "On" : "Off"; }
std::string Percent(float share) { return Format("%.0f %%", share * 100.0); }
std::string LockPerSecond(float speed) { return Format("%.1f lock/s", speed); }
std::string Curve(float exponent) { return Format("%.1f", exponent); }
std::string Metres(float m) { return Format("%.1f m", m); }
std::string Degrees(float deg) { return Format("%.0f degrees", deg); }

// The default window first among the sizes a window may take here, so
// there is always one to step to.
std::vector<std::pair<int, int>> WindowSizes(const AppWindow* window, std::pair<int, int> current) {
    std::vector<std::pair<int, int>> sizes;
    if (window) sizes = window->GetDisplaySizes();
    sizes.push_back(current);
    sizes.emplace_back(int{VantrelApp::WindowWidthPx}, int{VantrelApp::WindowHeightPx});
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

}  // namespace

GameOptions::GameOptions(VantrelApp& app) : app(app) {}

void GameOptions::Read() {
    SettingsStore* settings = app.GetSettings();
    keys = KeySets::Read(settings);
    controls = ControlSettings::Read(settings);
    camera = CameraSettings::Read(settings);
    display = DisplaySettings::Read(settings);
    app.GetGamepad().SetSteering(controls.padDeadZone, controls.padCurve);
}

void GameOptions::Keep() {
    SettingsStore* settings = app.GetSettings();
    keys.Keep(settings);
    controls.Keep(settings);
    camera.Keep(settings);
    display.Keep(settings);
    app.GetGamepad().SetSteering(controls.padDeadZone, controls.padCurve);
    if (ShowRoom* room = app.GetShowRoom()) room->SetShowFrameRate(display.showFrameRate);
}

void GameOptions::Attach(ShowRoom& room) {
    room.GetOptionsPage().SetSections(Sections());
    room.SetShowFrameRate(display.showFrameRate);
    app.GetGamepad().SetKeyBindings(nullptr);
}

void GameOptions::ApplyTo(GameEngine& race) {
    // Each local player on the keys of their own device.
    for (std::size_t i = 0; i < race.GetPlayerCount(); ++i) {
        Player& player = *race.GetPlayer(i);
        player.SetKeyBindings(keys.For(player.GetDevice()));
        player.SetControlSettings(controls);
    }
    race.SetView(camera, display);
    app.GetGamepad().SetKeyBindings(&keys.Get(KeyBindings::FirstSet));
}

std::vector<OptionsPage::Section> GameOptions::Sections() {
    return {Graphics(), Sound(), Controls(), SecondKeys(), Camera(), Units(), Online()};
}

OptionsPage::Section GameOptions::Online() {
    OptionsPage::Section section{OnlineSection, {}};
    OptionsPage::Row name;
    name.label = "Player name";
    name.value = [this]() { return app.GetOnline() ? app.GetOnline()->GetSettings().name : std::string(); };
    name.text = [this](const std::string& typed) {
        return app.GetOnline() ? app.GetOnline()->SetName(typed) : std::string();
    };
    name.textLength = Protocol::MaxNameLength;
    section.rows.push_back(name);
    return section;
}

OptionsPage::Row GameOptions::NumberRow(const std::string& label, float& value, float step, float min, float max,
                                        std::string (*shown)(float)) {
    OptionsPage::Row row;
    row.label = label;
    row.value = [&value, shown]() { return shown(value); };
    row.change = [this, &value, step, min, max](int steps) {
        // On the grid of steps, so a value read from the file joins it and
        // repeated steps gather no rounding.
        const float stepped = std::round(value / step + static_cast<float>(steps)) * step;
        value = std::clamp(stepped, min, max);
        Keep();
    };
    return row;
}

OptionsPage::Section GameOptions::Graphics() {
    OptionsPage::Section section{GraphicsSection, {}};
    OptionsPage::Row preset;
    preset.label = "Preset";
    preset.value = [this]() { return std::string(QualityPreset::Name(app.GetQuality())); };
    preset.change = [this](int step) {
        // Low, Medium, High and round again, either way.
        const int count = QualityPreset::High + 1;
        app.SetQuality(static_cast<QualityPreset::Level>(((app.GetQuality() + step) % count + count) % count));
    };
    section.rows.push_back(preset);

    OptionsPage::Row fullscreen;
    fullscreen.label = "Full screen (F11)";
    fullscreen.value = [this]() { return OnOff(app.IsFullscreen()); };
    fullscreen.change = [this](int) { app.SetFullscreen(!app.IsFullscreen()); };
    section.rows.push_back(fullscreen);

    OptionsPage::Row size;
    size.label = "Window size";
    const auto current = [this]() {
        std::pair<int, int> kept(int{VantrelApp::WindowWidthPx}, int{VantrelApp::WindowHeightPx});
        if (SettingsStore* settings = app.GetSettings()) settings->GetWindowSize(kept.first, kept.second);
        return kept;
    };
    size.value = [current]() {
        const std::pair<int, int> kept = current();
        return std::to_string(kept.first) + " x " + std::to_string(kept.second);
    };
    size.change = [this, current](int step) {
        const std::pair<int, int> kept = current();
        const std::vector<std::pair<int, int>> sizes = WindowSizes(app.GetWindow(), kept);
        const auto at = std::find(sizes.begin(), sizes.end(), kept) - sizes.begin();
        const auto next = std::clamp<std::ptrdiff_t>(at + step, 0, static_cast<std::ptrdiff_t>(sizes.size()) - 1);
        app.SetWindowSize(sizes[next].first, sizes[next].second);
    };
    section.rows.push_back(size);

    OptionsPage::Row frameRate;
    frameRate.label = "Show the frame rate";
    frameRate.value = [this]() { return OnOff(display.showFrameRate); };
    frameRate.change = [this](int) {
        display.showFrameRate = !display.showFrameRate;
        Keep();
    };
    section.rows.push_back(frameRate);
    return section;
}

OptionsPage::Section GameOptions::Sound() {
    OptionsPage::Section section{SoundSection, {}};
    const auto volumeRow = [this](const char* label, bool music) {
        OptionsPage::Row row;
        row.label = label;
        row.value = [this, music]() {
            const EngineSound* sound = app.GetEngineSound();
            return sound ? Percent(music ? sound->GetMusicVolume() : sound->GetEffectsVolume()) : std::string("-");
        };
        row.change = [this, music](int step) {
            EngineSound* sound = app.GetEngineSound();
            if (!sound) return;
            // The volumes keep themselves, as the keys 7 to 0 set them.
            if (music)
                sound->SetMusicVolume(sound->GetMusicVolume() + 0.1f * static_cast<float>(step));
            else
                sound->SetEffectsVolume(sound->GetEffectsVolume() + 0.1f * static_cast<float>(step));
        };
        return row;
    };
    section.rows.push_back(volumeRow("Music volume (7 / 8)", true));
    section.rows.push_back(volumeRow("Effects volume (9 / 0)", false));
    return section;
}

OptionsPage::Section GameOptions::Controls() {
    OptionsPage::Section section{ControlsSection, {}};
    section.rows.push_back(NumberRow("Steering speed (keys)", controls.steeringSpeed, 0.1f, ControlSettings::MinSpeed,
                                     ControlSettings::MaxSpeed, LockPerSecond));
    section.rows.push_back(NumberRow("Return speed (keys)", controls.returnSpeed, 0.1f, ControlSettings::MinSpeed,
                                     ControlSettings::MaxSpeed, LockPerSecond));
    section.rows.push_back(NumberRow("Pad dead zone", controls.padDeadZone, 0.05f, ControlSettings::MinDeadZone,
                                     ControlSettings::MaxDeadZone, Percent));
    section.rows.push_back(NumberRow("Pad steering curve", controls.padCurve, 0.1f, ControlSettings::MinCurve,
                                     ControlSettings::MaxCurve, Curve));
    for (int i = 0; i < KeyBindings::ActionCount; ++i)
        section.rows.push_back(BindingRow(KeyBindings::FirstSet, static_cast<KeyBindings::Action>(i)));
    OptionsPage::Row reset;
    reset.label = "Reset to defaults";
    reset.press = [this]() {
        // Both sets: the first's defaults may be keys the second has taken since.
        keys.Reset();
        controls = ControlSettings();
        Keep();
    };
    section.rows.push_back(reset);
    return section;
}

OptionsPage::Section GameOptions::SecondKeys() {
    OptionsPage::Section section{SecondKeysSection, {}};
    for (int i = 0; i < KeyBindings::ActionCount; ++i) {
        const KeyBindings::Action action = static_cast<KeyBindings::Action>(i);
        if (KeyBindings::Has(KeyBindings::SecondSet, action))
            section.rows.push_back(BindingRow(KeyBindings::SecondSet, action));
    }
    OptionsPage::Row reset;
    reset.label = "Reset to defaults";
    reset.press = [this]() {
        keys.ResetSecond();
        Keep();
    };
    section.rows.push_back(reset);
    return section;
}

OptionsPage::Row GameOptions::BindingRow(KeyBindings::Set set, KeyBindings::Action action) {
    OptionsPage::Row row;
    row.label = KeyBindings::ActionName(action);
    row.value = [this, set, action]() {
        const std::string name = KeyBindings::KeyName(keys.Get(set).KeyOf(action));
        return name.empty() ? std::string("none") : name;
    };
    row.bind = [this, set, action](unsigned key) {
        const KeyBindings::Refusal refusal = keys.Bind(set, action, key);
        if (refusal != KeyBindings::Refusal::None) return keys.RefusalMessage(refusal, set, action, key);
        Keep();
        return std::string();
    };
    return row;
}

OptionsPage::Section GameOptions::Camera() {
    OptionsPage::Section section{CameraSection, {}};
    section.rows.push_back(NumberRow("Chase distance", camera.chaseDistanceM, 0.5f, CameraSettings::MinDistanceM,
                                     CameraSettings::MaxDistanceM, Metres));
    section.rows.push_back(NumberRow("Chase height", camera.chaseHeightM, 0.5f, CameraSettings::MinHeightM,
                                     CameraSettings::MaxHeightM, Metres));
    section.rows.push_back(NumberRow("Field of view", camera.fieldOfViewDeg, 5.0f,
                                     CameraSettings::MinFieldOfViewDeg, CameraSettings::MaxFieldOfViewDeg, Degrees));
    return section;
}

OptionsPage::Section GameOptions::Units() {
    OptionsPage::Section section{UnitsSection, {}};
    OptionsPage::Row speed;
    speed.label = "Speed";
    speed.value = [this]() { return std::string(SpeedUnitName(display.speedUnit)); };
    speed.change = [this](int) {
        display.speedUnit = display.speedUnit == SpeedUnit::Kmh ? SpeedUnit::Mph : SpeedUnit::Kmh;
        Keep();
    };
    section.rows.push_back(speed);
    return section;
}
