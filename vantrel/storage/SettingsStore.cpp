#include "SettingsStore.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <utility>

#include "UserFolders.h"

namespace {

const char* const QualityKey = "quality";
const char* const FullscreenKey = "fullscreen";
const char* const WindowKey = "window";

// Smaller is no use for the HUD, larger no screen has.
const int MinWindowPx = 320;
const int MaxWindowPx = 16384;

bool ParsePx(const char* begin, const char* end, int& px) {
    const std::from_chars_result result = std::from_chars(begin, end, px);
    return begin != end && *begin != '-' && *begin != '+' && result.ec == std::errc() && result.ptr == end &&
           px >= MinWindowPx && px <= MaxWindowPx;
}

}  // namespace

const char* const SettingsStore::FileName = "settings.ini";
const char* const SettingsStore::GraphicsSection = "graphics";

Logger SettingsStore::logger("SettingsStore");

SettingsStore::SettingsStore() : SettingsStore(UserFolders::ConfigFolder()) {}

SettingsStore::SettingsStore(std::string folder) : file(std::move(folder), FileName, "settings", logger) {}

void SettingsStore::Load() { file.Load(); }

std::optional<std::string> SettingsStore::Get(const std::string& section, const std::string& key) {
    return file.Contents().Get(section, key);
}

bool SettingsStore::Set(const std::string& section, const std::string& key, const std::string& value) {
    if (!IniFile().Set(section, key, value)) return false;
    file.Update([&](IniFile& contents) {
        const std::optional<std::string> current = contents.Get(section, key);
        IniFile changed = contents;
        changed.Set(section, key, value);
        // Compared as read back: the file keeps no blanks around a value.
        if (current && changed.Get(section, key) == current) return false;
        contents = std::move(changed);
        return true;
    });
    return true;
}

std::optional<QualityPreset::Level> SettingsStore::GetQuality() {
    const std::optional<std::string> text = Get(GraphicsSection, QualityKey);
    return text ? QualityPreset::FromKey(*text) : std::nullopt;
}

void SettingsStore::SetQuality(QualityPreset::Level level) { Set(GraphicsSection, QualityKey, QualityPreset::Key(level)); }

bool SettingsStore::GetFullscreen() { return Get(GraphicsSection, FullscreenKey) == std::string("true"); }

void SettingsStore::SetFullscreen(bool fullscreen) {
    Set(GraphicsSection, FullscreenKey, fullscreen ? "true" : "false");
}

bool SettingsStore::GetWindowSize(int& widthPx, int& heightPx) {
    const std::optional<std::string> text = Get(GraphicsSection, WindowKey);
    return text && ParseWindowSize(*text, widthPx, heightPx);
}

void SettingsStore::SetWindowSize(int widthPx, int heightPx) {
    Set(GraphicsSection, WindowKey, std::to_string(widthPx) + "x" + std::to_string(heightPx));
}

namespace {

// As the file shows it: the shortest text that reads back as the value (as
// the game's settings hold it, a float), whatever the locale.
std::string Shown(double value) {
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, static_cast<float>(value));
    return std::string(text, result.ptr);
}

void Warn(const std::string& section, const std::string& key, const std::string& message) {
    // Like the other settings readers: one line naming the key, on standard output.
    std::cout << "[WARN] SettingsStore: [" << section << "] " << key << " " << message << std::endl;
}

}  // namespace

double SettingsStore::GetNumber(const std::string& section, const std::string& key, double min, double max,
                                double fallback) {
    const std::optional<std::string> text = Get(section, key);
    if (!text || text->empty()) return fallback;
    double value = 0.0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    // from_chars rather than strtod: a decimal comma locale must not change the file's meaning.
    const std::from_chars_result result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        Warn(section, key, "= \"" + *text + "\" is no number, " + Shown(fallback) + " it is");
        return fallback;
    }
    if (value < min || value > max) {
        const double clamped = value < min ? min : max;
        Warn(section, key, "= " + *text + " is out of " + Shown(min) + " ... " + Shown(max) + ", " + Shown(clamped) +
                               " it is");
        return clamped;
    }
    return value;
}

void SettingsStore::SetNumber(const std::string& section, const std::string& key, double value, int decimals) {
    char text[64];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals < 0 ? 0 : decimals);
    Set(section, key, std::string(text, result.ptr));
}

bool SettingsStore::GetFlag(const std::string& section, const std::string& key, bool fallback) {
    const std::optional<std::string> text = Get(section, key);
    if (!text || text->empty()) return fallback;
    if (*text == "true") return true;
    if (*text == "false") return false;
    Warn(section, key, "= \"" + *text + "\" is neither true nor false, " + (fallback ? "true" : "false") + " it is");
    return fallback;
}

void SettingsStore::SetFlag(const std::string& section, const std::string& key, bool value) {
    Set(section, key, value ? "true" : "false");
}

bool SettingsStore::ParseWindowSize(const std::string& text, int& widthPx, int& heightPx) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int w = 0, h = 0;
    const char* begin = text.data();
    if (!ParsePx(begin, begin + x, w) || !ParsePx(begin + x + 1, begin + text.size(), h)) return false;
    widthPx = w;
    heightPx = h;
    return true;
}
