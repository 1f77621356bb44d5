#pragma once
// One line the application puts over whichever mode runs, for a moment:
// where a screenshot went, or why it was not saved, or why a race could not
// start.
#include <string>

class Font;
class Renderer;

/// A line of text and its age, shown for ShownS seconds from Show, or as
/// long as Show asks (the last half second fading out), in the bottom left corner, just above the show
/// room's car bar, on the HUD's translucent grey. The application shows and
/// ages it; the running mode draws it last in its overlay, in its own font.
class HudNotice {
public:
    static constexpr double ShownS = 2.0;
    static constexpr double FadeS = 0.5;      ///< the last part of ShownS, fading out
    static constexpr float MarginPx = 20.0f;  ///< from the window's left edge
    static constexpr float BottomPx = 78.0f;  ///< the panel's bottom, above the car bar

    /// Shows `text` from `nowS` (any clock in seconds, the one Update is
    /// given) for `shownS` seconds, replacing the line before; a `warning`
    /// (a failure) in the HUD's amber instead of its grey. Bytes outside
    /// printable ASCII, which the fonts cannot draw, become '?', one per
    /// UTF-8 character.
    void Show(const std::string& text, double nowS, bool warning = false, double shownS = ShownS);
    /// Ages the line to `nowS`.
    void Update(double nowS);
    /// Whether the line is up: shown, and younger than its time on screen.
    bool IsShown() const { return !text.empty() && ageS < shownForS; }
    const std::string& GetText() const { return text; }
    double GetAgeS() const { return ageS; }
    bool IsWarning() const { return warning; }

    /// Draws the line with `font` through `renderer`'s font manager, in the
    /// caller's window-pixel projection, while it is shown; nothing
    /// otherwise. Fixed-function GL; the state it changes is given back.
    void Draw(Renderer& renderer, Font& font) const;

private:
    std::string text;
    double shownAtS = 0.0;
    double ageS = 0.0;
    double shownForS = ShownS;
    bool warning = false;
};
