#pragma once
#include <functional>
#include <string>
#include <vector>

#include <nodara/Renderer.h>

#include "hud/ClickAreas.h"
#include "hud/TextField.h"

class Font;

/// The show room's options page, in the menu's look: a row of section tabs
/// over the chosen section's rows, "Back" under them and a line for what the
/// page has to say. The keys drive it (a pad's buttons arrive as keys): Up
/// and Down choose a line, Left and Right change the value or the section
/// chosen, Return presses a button, starts a key binding or steps a value
/// on, Escape goes back. The mouse chooses the line it points at, a click
/// does what Return does (on a value's "<" and ">", what Left and Right do)
/// and the wheel changes the value under the pointer.
///
/// What each row shows and does belongs to whoever made the sections: the
/// page holds no setting of its own, so a change shows as soon as it is made,
/// by the page or by anything else (F11, the volume keys).
class OptionsPage {
public:
    /// One line of a section: a value, a button or a key binding.
    struct Row {
        std::string label;
        /// The value as shown (a binding's key); null for a button.
        std::function<std::string()> value;
        /// Steps the value by -1 or +1; null for a button or a binding.
        std::function<void(int step)> change;
        /// What a button does; null for the others.
        std::function<void()> press;
        /// A binding: takes the next key pressed and returns why it was
        /// refused, empty when it was bound.
        std::function<std::string(unsigned key)> bind;
        /// A line typed: Return types over the value (at most `textLength`
        /// printable characters), and a second Return gives it to `text`,
        /// which returns why it was refused, empty when it was taken.
        std::function<std::string(const std::string&)> text;
        std::size_t textLength = 24;
    };
    struct Section {
        std::string name;
        std::vector<Row> rows;
    };

    /// The line of the section tabs, where the keys start; the rows follow
    /// from 0, and "Back" is the line after the last row.
    static constexpr int TabLine = -1;
    /// Ids of the areas the mouse can point at, as GetClickAreas holds them.
    static int TabArea(int section) { return 1000 + section; }
    static int RowArea(int row) { return 2000 + row; }
    static int LessArea(int row) { return 3000 + row; }
    static int MoreArea(int row) { return 4000 + row; }
    static constexpr int BackArea = 900;

    /// Replaces the sections; the page starts on the first one's tabs.
    void SetSections(std::vector<Section> value);
    /// Shown from the tabs of the section last seen; closing cancels a binding.
    void Open();
    void Close();
    bool IsOpen() const { return open; }

    /// Key presses while open (releases and a closed page: nothing). While a
    /// binding waits, the key is the binding's, Escape cancelling it.
    void OnKey(unsigned key, int state);
    /// A character typed, for the line being typed.
    void OnChar(unsigned character);
    /// A line is being typed: the window must send characters.
    bool IsTyping() const { return typing.IsEditing(); }
    /// The pointer chooses the line it is on; a left-button press acts on
    /// what the last frame drew under it (a click elsewhere cancels a
    /// binding that waits).
    void OnMouse(int x, int y, int button, int state);
    /// Each notch steps the value under the pointer, or the section on the tabs.
    void OnWheel(int x, int y, int notches);

    /// Draws the page over a `widthPx` × `heightPx` window in window pixels
    /// (the caller's screen projection), in fonts made through `fonts`;
    /// the GL state it changes is given back.
    void Draw(Renderer::FontManager& fonts, float widthPx, float heightPx);

    int GetSection() const { return section; }
    int GetSectionCount() const { return static_cast<int>(sections.size()); }
    /// TabLine, a row of the section, or the row count for "Back".
    int GetLine() const { return line; }
    bool IsWaitingForKey() const { return waiting; }
    /// What the page says now: a binding that waits, or was refused.
    const std::string& GetMessage() const { return message; }
    /// A row as drawn: "Field of view: 60 degrees", "Reset to defaults";
    /// empty out of range.
    std::string RowText(int sectionIndex, int row) const;
    const std::vector<Section>& GetSections() const { return sections; }
    /// What the last frame drew where the mouse can point.
    const ClickAreas& GetClickAreas() const { return areas; }

private:
    int RowCount() const;
    const Row* RowAt(int row) const;
    void ChangeSection(int step);
    /// Return on a line, or a click on it.
    void Activate(int lineIndex);
    void Change(int row, int step);

    std::vector<Section> sections;
    bool open = false;
    int section = 0;
    int line = TabLine;
    bool waiting = false;
    TextField typing{0};  ///< the text row's line while it is typed
    std::string message;
    ClickAreas areas;
    Font* titleFont = nullptr;  ///< the menu's, "Arial" 30; the font manager's
    Font* rowFont = nullptr;    ///< "Arial" 22
};
