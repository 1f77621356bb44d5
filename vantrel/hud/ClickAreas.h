#pragma once
#include <string>
#include <vector>

#include <nodara/Renderer.h>

class Font;

/// Where the mouse can point at what a menu drew: each frame the drawing
/// adds the rectangles of its entries, each with an id, and the mouse's
/// events between two frames are looked up in them. So what answers the
/// mouse is always exactly what the player sees.
class ClickAreas {
public:
    /// Nothing found under the pointer.
    static constexpr int None = -1;

    /// Forgets the last frame's areas, for a window `heightPx` tall; what
    /// was under the pointer among them stays Hovered for this frame's drawing.
    void Clear(float heightPx);
    /// An area in window pixels from the bottom left, as the overlays draw.
    void Add(int id, float left, float bottom, float right, float top);
    /// Prints `text` at (x, y), as FontManager::Print does, and adds the
    /// rectangle its line takes (the font's height from a little under the
    /// baseline) as area `id`.
    /// @return the x the text ends at (the raster position after it)
    float Print(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& text, int id);
    /// A part of a line the mouse can choose: its text and its id.
    struct Part {
        std::string text;
        int id;
    };
    /// The keys a line like "Return: race again   Escape: show room" names:
    /// each "Key: words" up to two spaces or the line's end, as a part whose
    /// id is the key's code (KeyBindings::KeyFromName). Text before a key's
    /// name ("Quit? ") is no part.
    static std::vector<Part> KeyParts(const std::string& line);
    /// Prints `line` at (x, y) as one Print would, each of `parts` found in
    /// it becoming an area of its own; the part under the pointer is drawn
    /// in white, the rest in the current colour.
    /// @return the x the line ends at
    float PrintLine(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& line,
                    const std::vector<Part>& parts);

    /// The id of the area under the point (`x`, `y`) in the mouse's
    /// coordinates (window pixels from the top left); None when none is
    /// there. The last area added wins where two overlap.
    int At(int x, int y) const;
    /// The area `id`'s rectangle (bottom-left origin); false when it was not drawn.
    bool Find(int id, float& left, float& bottom, float& right, float& top) const;

    /// Follows the mouse: a move or a button changes what is under the
    /// pointer (Hovered); a press of the left button returns the id pressed.
    /// @return the id under a left-button press, else None
    int OnMouse(int x, int y, int button, int state);
    /// The id under the pointer as it last moved, among the areas drawn
    /// then; None before it moved.
    int Hovered() const { return hovered; }

private:
    /// Prints `text` from (x, y); returns the x it ends at.
    static float PrintText(Renderer::FontManager& fonts, Font& font, float x, float y, const std::string& text);

    struct Area {
        int id;
        float left, bottom, right, top;
    };
    std::vector<Area> areas;
    float heightPx = 0.0f;
    int pointerX = -1, pointerY = -1;
    int hovered = None;
};
