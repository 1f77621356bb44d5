#include "TextField.h"

#include "platform/WindowMessage.h"

namespace {

bool IsPrintable(unsigned character) { return character >= 0x20 && character <= 0x7e; }

}  // namespace

void TextField::Begin(const std::string& value) {
    text.clear();
    for (char c : value)
        if (IsPrintable(static_cast<unsigned char>(c)) && text.size() < maxLength) text += c;
    before = text;
    editing = true;
}

bool TextField::OnChar(unsigned character) {
    if (!editing || !IsPrintable(character) || text.size() >= maxLength) return false;
    text += static_cast<char>(character);
    return true;
}

TextField::Outcome TextField::OnKey(unsigned key) {
    if (!editing) return Outcome::NotEditing;
    switch (key) {
    case VK_BACK:
        if (!text.empty()) text.pop_back();
        return Outcome::Editing;
    case VK_RETURN: editing = false; return Outcome::Done;
    case VK_ESCAPE:
        editing = false;
        text = before;
        return Outcome::Cancelled;
    default:
        // Letters and digits arrive as characters as well; their key presses are the field's.
        return Outcome::Editing;
    }
}
