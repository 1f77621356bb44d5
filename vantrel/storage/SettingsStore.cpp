#include "SettingsStore.h"

#include <charconv>
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
