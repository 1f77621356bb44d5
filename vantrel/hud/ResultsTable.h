#pragma once
// The table at the end of a race with opponents: who came where, in what
// time, and how far those still racing have to go.
#include <string>
#include <vector>

#include <nodara/Renderer.h>

class ClickAreas;
class Font;

/// The results of a race in the HUD's look: a translucent panel in the
/// middle of the window, one line per racer from first to last, the
/// player's in the HUD's yellow, and the keys that go on under it.
class ResultsTable {
public:
    struct Row {
        unsigned position = 0;
        std::string name;
        std::string car;
        std::string result;  ///< a time, or the distance still to go
        bool player = false;
    };
    /// The keys under the table, in the HUD's words.
    static const char* const NextKeysLine;
    /// A table of the kind: its title, its rows and the keys under it.
    struct Table {
        std::string title = "Results";
        std::vector<Row> rows;
        std::string keys = NextKeysLine;
    };

    /// Prints `rows` with `font` in a `widthPx` × `heightPx` window, in the
    /// caller's window-pixel projection; fixed-function GL, the colour and
    /// blending it changes given back. Each key of NextKeysLine becomes an
    /// area of `areas` (null: none), the one under the pointer drawn white.
    static void Draw(Renderer::FontManager& fonts, Font& font, const std::vector<Row>& rows, float widthPx,
                     float heightPx, ClickAreas* areas = nullptr);
    /// The same for another table: the standings, between a championship's races.
    static void Draw(Renderer::FontManager& fonts, Font& font, const Table& table, float widthPx, float heightPx,
                     ClickAreas* areas = nullptr);
};
