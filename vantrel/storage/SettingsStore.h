#pragma once
// The player's settings, kept between runs in settings.ini in the
// configuration folder:
//   [graphics]
//   quality = low
//   fullscreen = false
//   window = 1024x768
// Other parts of the game keep their own keys in their own sections through
// Get and Set. Like the records, a file that cannot be used is set aside and
// the settings of the backup, settings.ini.bak, apply; the defaults only when
// that cannot be used either.
#include <optional>
#include <string>

#include <nodara/Logger.h>

#include "PlayerFile.h"
#include "graphics/QualityPreset.h"

/// Settings by section and key, read from and written to one settings file.
/// Two copies of the game may each have a store on the same file: a change is
/// written under a lock into the file as it is then (PlayerFile::Update). The
/// keys this store set and has not written yet take its values; every other
/// key keeps the file's value, so what another copy set stays; keys only this
/// store holds (read from the backup, say) are added.
class SettingsStore {
public:
    static const char* const FileName;         ///< "settings.ini"
    static const char* const GraphicsSection;  ///< "graphics"

    /// A store on "settings.ini" in UserFolders::ConfigFolder().
    SettingsStore();
    /// A store on "settings.ini" in `folder`.
    explicit SettingsStore(std::string folder);

    /// Reads the settings file, replacing what the store held. No file means
    /// defaults, silently. A file that cannot be read or parsed is set aside
    /// (AtomicFile::SetAside) with one Warn line, and the settings are read
    /// from the backup "settings.ini.bak" (as for a missing file beside a
    /// backup); when that cannot be used either it is set aside as well and
    /// the store starts empty. Should a rename fail, the store never writes
    /// over that file in this run. PlayerFile::Load tells the whole.
    void Load();

    /// The value of `key` in `section`; none when it is not set. Loads first
    /// if Load was not called.
    std::optional<std::string> Get(const std::string& section, const std::string& key);
    /// Sets `key` in `section` and rewrites the file atomically when the value
    /// changed (nothing is written otherwise). A file that cannot be written
    /// keeps the value for this run, with one Warn line in the run.
    /// @return false, changing nothing, for a name or value IniFile::Set refuses
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    /// The saved preset; none when unset or not a preset's key.
    std::optional<QualityPreset::Level> GetQuality();
    void SetQuality(QualityPreset::Level level);
    /// Whether the game last ran full screen (false when unset or not "true"/"false").
    bool GetFullscreen();
    void SetFullscreen(bool fullscreen);
    /// The saved window size; false, leaving both alone, when unset or not a
    /// valid "WIDTHxHEIGHT" (IsValidWindowSize).
    bool GetWindowSize(int& widthPx, int& heightPx);
    void SetWindowSize(int widthPx, int heightPx);

    /// The number kept under `key` in `section`: `fallback` when unset or
    /// empty; `fallback` with one Warn line when it is no number; the nearest
    /// end of `min` ... `max`, with one Warn line, when it lies outside.
    double GetNumber(const std::string& section, const std::string& key, double min, double max, double fallback);
    /// Keeps `value` with `decimals` digits after the point (none: a whole number).
    void SetNumber(const std::string& section, const std::string& key, double value, int decimals);
    /// "true" or "false" under `key`: `fallback` when unset or empty, and with
    /// one Warn line for any other word.
    bool GetFlag(const std::string& section, const std::string& key, bool fallback);
    void SetFlag(const std::string& section, const std::string& key, bool value);

    /// Reads "WIDTHxHEIGHT", each a whole number from 320 to 16384.
    static bool ParseWindowSize(const std::string& text, int& widthPx, int& heightPx);

    /// The settings file's path; empty when no home folder was found, and
    /// then the settings last for the run only.
    const std::string& GetPath() const { return file.GetPath(); }

private:
    static Logger logger;

    PlayerFile file;
};
