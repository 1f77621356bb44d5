#include "IniFile.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

const char* const Blanks = " \t\r";
const std::string ByteOrderMark = "\xef\xbb\xbf";  // U+FEFF in UTF-8

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

/// Tab, CR and LF are text; any other control byte means the file is not.
bool IsControlByte(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7f;
}

bool IsLineBreakOrControl(char c) { return IsControlByte(c) || c == '\r' || c == '\n'; }

}  // namespace

bool IniFile::Parse(const std::string& text, const std::string& fileName, std::string& error) {
    if (text.size() > MaxBytes) {
        error = fileName + ": larger than " + std::to_string(MaxBytes) + " bytes";
        return false;
    }
    std::vector<Line> parsed;
    std::size_t lineNumber = 0;
    const bool mark = text.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0;
    for (std::size_t start = mark ? ByteOrderMark.size() : 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        Line line;
        line.text = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const auto fail = [&](const char* what) {
            error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
            return false;
        };
        if (std::any_of(line.text.begin(), line.text.end(), IsControlByte)) return fail("binary data");
        const std::string content = Trimmed(line.text);
        if (content.empty() || content[0] == ';' || content[0] == '#') {
            line.kind = Line::Other;
        } else if (content[0] == '[') {
            // No name holds a ']', so the first one closes it; a comment may follow.
            const std::size_t close = content.find(']');
            if (close == std::string::npos) return fail("a section line without its closing ']'");
            const std::string rest = Trimmed(content.substr(close + 1));
            if (!rest.empty() && rest[0] != ';' && rest[0] != '#')
                return fail("more than a comment after a section's closing ']'");
            line.kind = Line::Section;
            line.name = Trimmed(content.substr(1, close - 1));
            if (!IsValidName(line.name)) return fail("not a valid section name");
        } else {
            const std::size_t equals = content.find('=');
            if (equals == std::string::npos) return fail("neither a comment, a [section] nor key = value");
            line.kind = Line::Entry;
            line.name = Trimmed(content.substr(0, equals));
            line.value = Trimmed(content.substr(equals + 1));
            if (!IsValidName(line.name)) return fail("not a valid key");
        }
        parsed.push_back(std::move(line));
    }
    lines = std::move(parsed);
    byteOrderMark = mark;
    return true;
}

std::string IniFile::ToString() const {
    std::string text = byteOrderMark ? ByteOrderMark : "";
    for (const Line& line : lines) text += line.text + '\n';
    return text;
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
    std::string current;
    for (const Line& line : lines) {
        if (line.kind == Line::Section)
            current = line.name;
        else if (line.kind == Line::Entry && current == section && line.name == key)
            return line.value;
    }
    return std::nullopt;
}

std::vector<IniFile::Entry> IniFile::Entries() const {
    std::vector<Entry> entries;
    std::set<std::pair<std::string, std::string>> seen;
    std::string current;
    for (const Line& line : lines) {
        if (line.kind == Line::Section)
            current = line.name;
        else if (line.kind == Line::Entry && seen.emplace(current, line.name).second)
            entries.push_back({current, line.name, line.value});
    }
    return entries;
}

bool IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    const bool oneLine = std::none_of(value.begin(), value.end(), IsLineBreakOrControl);
    if (!IsValidName(key) || (!section.empty() && !IsValidName(section)) || !oneLine) return false;
    std::string current;
    // Where a new key of `section` goes: after its last entry, or its header.
    std::optional<std::size_t> insertAt;
    if (section.empty()) insertAt = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Line& line = lines[i];
        if (line.kind == Line::Section) {
            current = line.name;
            if (current == section) insertAt = i + 1;
        } else if (line.kind == Line::Entry && current == section) {
            if (line.name == key) {
                line = EntryLine(key, value);
                return true;
            }
            insertAt = i + 1;
        }
    }
    if (insertAt) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), EntryLine(key, value));
        return true;
    }
    if (!lines.empty() && !Trimmed(lines.back().text).empty()) lines.push_back(Line{});
    Line header;
    header.kind = Line::Section;
    header.name = section;
    header.text = "[" + section + "]";
    lines.push_back(header);
    lines.push_back(EntryLine(key, value));
    return true;
}

bool IniFile::IsValidName(const std::string& name) {
    if (name.empty() || name != Trimmed(name) || name[0] == ';' || name[0] == '#') return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return IsLineBreakOrControl(c) || c == '=' || c == '[' || c == ']'; });
}

IniFile::Line IniFile::EntryLine(const std::string& key, const std::string& value) {
    Line line;
    line.kind = Line::Entry;
    line.name = key;
    line.value = value;
    line.text = key + " = " + value;
    return line;
}
