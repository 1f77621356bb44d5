#pragma once
#include <nodara/Renderer.h>

#include "hud/Minimap.h"

class ClickAreas;
class Font;
class Lumora;
class RoadCentreLine;
struct RacePicture;

/// One view's heads-up display of a race, in the view's own pixels (origin
/// bottom left): the map, the clock, the countdown and "Go!", the checkpoint
/// or the position and gaps, the result and the car's dials. It draws a
/// RacePicture as it stands and keeps no time of its own.
class RaceHud {
public:
    /// Below this width (view pixels) the checkpoint's distance goes under
    /// its line, clear of the clock.
    static constexpr float NarrowHudWidth = 800.0f;

    /// The fonts it prints with: 18, 32 and 64 high; they must outlive it.
    void SetFonts(Font* message, Font* small, Font* large) {
        messageFont = message;
        smallFont = small;
        largeFont = large;
    }
    /// The road the map outlines.
    void SetRoad(const RoadCentreLine& road) { minimap.SetRoad(road); }
    /// Draws `race` over a view `widthPx` x `heightPx`, in the caller's
    /// view-pixel projection; the end screen's keys become areas of
    /// `endScreen` (null: none).
    void Draw(Lumora& engine, const RacePicture& race, float widthPx, float heightPx, ClickAreas* endScreen);
    /// The map, for a replay's own HUD.
    Minimap& GetMinimap() { return minimap; }

    /// The countdown digit shown at `countdown` seconds ("3", "2", "1"), or
    /// null when none is.
    static const char* CountdownDigit(float countdown);

private:
    void DrawRaceLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                       ClickAreas* endScreen) const;
    /// The position, the gaps and, once the view's player is home, the results.
    /// The other cars' names over them, and the race's lines (a network
    /// race's ping) down from `linesY`.
    void DrawNamesAndLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                           float linesY) const;
    /// A trial's other cars and its ghost on the map.
    static std::vector<MapDot> TrialDots(const RacePicture& race);
    void DrawFieldLines(Renderer::FontManager& fonts, const RacePicture& race, float w, float h,
                        ClickAreas* endScreen) const;

    Font* messageFont = nullptr;
    Font* smallFont = nullptr;
    Font* largeFont = nullptr;
    Minimap minimap;
};
