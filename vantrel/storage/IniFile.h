#pragma once
// The player's files are small INI documents that people may edit by hand,
// so a rewrite keeps every line the program did not change: comments, blank
// lines, sections and keys it does not know, in their order.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// An INI document: "[section]" lines, "key = value" lines and comments
/// starting with ';' or '#'. Keys before the first section belong to the
/// section "". A section line may end in a comment ("[graphics] ; mine");
/// values run to the end of the line (no inline comments) with surrounding
/// blanks trimmed; names are matched case-sensitively. A UTF-8 byte-order
/// mark at the start, as some editors write, is read past and written back.
class IniFile {
public:
    /// Larger input is refused: no file of ours comes near it.
    static const std::size_t MaxBytes = 1024 * 1024;

    /// Replaces the document with `text`. On failure the document is left
    /// as it was.
    /// @param fileName names the input in the message
    /// @param error set to "<fileName>:<line>: <what>" for a line that is
    ///        neither blank, comment, section nor key = value, for control
    ///        bytes (binary data), or to "<fileName>: ..." for input over MaxBytes
    /// @return false on malformed input
    bool Parse(const std::string& text, const std::string& fileName, std::string& error);

    /// The document as text, one '\n' after every line.
    std::string ToString() const;

    /// The value of `key` in the first `section` that has it.
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;

    /// One key and the value Get gives it.
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
        bool operator==(const Entry& other) const {
            return section == other.section && key == other.key && value == other.value;
        }
    };
    /// Every key of the document once, in the order of their first lines.
    std::vector<Entry> Entries() const;

    /// Sets `key` in `section` to `value`: in place where the key exists,
    /// else after the section's last key, else in a new section at the end.
    /// A value loses surrounding blanks when read back.
    /// @return false, changing nothing, when `key` is not a valid name,
    ///         `section` neither "" nor a valid name, or `value` not one line of text
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    /// True when `name` can be written as a section or key and read back the
    /// same: not empty, no blanks at either end, no control bytes, no '=',
    /// '[' or ']', and not starting like a comment.
    static bool IsValidName(const std::string& name);

private:
    struct Line {
        enum Kind { Other, Section, Entry };
        Kind kind = Other;  ///< Other: blank or comment, kept verbatim
        std::string text;   ///< the line as read or written, without its newline
        std::string name;   ///< section name, or key of an entry
        std::string value;  ///< an entry's value
    };

    static Line EntryLine(const std::string& key, const std::string& value);

    std::vector<Line> lines;
    bool byteOrderMark = false;  ///< the text started with one
};
