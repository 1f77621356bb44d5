#pragma once
#include <cstddef>
#include <string>

/// A line the player types, such as a name or an address: printable ASCII
/// only and no longer than its bound, so what is typed can be sent or kept
/// as it stands. Backspace takes the last character back, Return ends the
/// typing, Escape gives up on it.
class TextField {
public:
    enum class Outcome {
        NotEditing,  ///< the key was not the field's
        Editing,     ///< the field took the key and goes on
        Done,        ///< Return: the text stands
        Cancelled    ///< Escape: the text as it was before
    };

    explicit TextField(std::size_t maxLength) : maxLength(maxLength) {}

    /// Starts typing over `text` (cut to the bound, anything but printable
    /// ASCII left out).
    void Begin(const std::string& text);
    bool IsEditing() const { return editing; }
    /// A character typed: added when it is printable ASCII and there is room.
    /// @return whether it was added
    bool OnChar(unsigned character);
    /// A key press while typing: Backspace, Return, Escape.
    Outcome OnKey(unsigned key);
    /// What is typed so far (or was, once the typing ended).
    const std::string& GetText() const { return text; }
    /// The text with a cursor after it while typing.
    std::string Shown() const { return editing ? text + "_" : text; }

private:
    std::size_t maxLength;
    bool editing = false;
    std::string text;
    std::string before;  ///< the text at Begin, back on Escape
};
