#pragma once
#include <string>

#include "graphics/QualityPreset.h"

class Font;
class Renderer;
struct FrameStatistics;

/// The renderer's settings at a key's press while a race runs: F1 shows or
/// hides the panel listing them, F3 to F6 and F9 step polygon mode, texture
/// filtering, anisotropic filtering, render mode and transparency, each
/// change said in a message that fades out over four seconds. F2, F7 and F8
/// are free. Its timer advances in Step only, so drawing changes nothing.
class RenderOptionsPanel {
public:
    /// Seconds a message stays, fading.
    static constexpr float MessageS = 4.0f;
    /// Longer messages are cut.
    static constexpr std::size_t MaxMessageLength = 255;

    /// A press of `key` on `renderer`'s settings.
    /// @return false for a key that is none of the panel's
    bool OnKey(Renderer& renderer, unsigned key);
    /// A message of the race's own (the ghost's key), shown as a setting's.
    void SetMessage(const std::string& text);
    /// Time passes for the message.
    void Step(float dtS);

    /// The fading message at (50, 50) with `font`, then the panel when
    /// shown, in window pixels of a `widthPx` x `heightPx` view: a blue
    /// quad, the frame-rate line and a line per setting, the race's preset last.
    void Draw(Renderer& renderer, Font& font, const FrameStatistics& frames, QualityPreset::Level quality,
              float widthPx, float heightPx) const;

    bool IsShown() const { return shown; }
    const std::string& GetMessage() const { return message; }
    float GetMessageAge() const { return messageAge; }

private:
    bool shown = false;
    std::string message;
    float messageAge = 0.0f;  ///< seconds since `message` was set
};
