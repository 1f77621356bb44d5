#pragma once
// Values of the game's data descriptions (track.ini, car.ini) as text.
#include <cstddef>
#include <string>
#include <vector>

class IniFile;

/// Reading the numbers and names of a description's values.
class DescriptionText {
public:
    /// Finite numbers separated by blanks: exactly `count` of them, or at
    /// least one where `count` is 0.
    /// @return false for any other word or number of them
    static bool ReadNumbers(const std::string& text, std::size_t count, std::vector<double>& numbers);
    /// As ReadNumbers, each read as the nearest float (not through a double,
    /// so "0.3" is 0.3f to the bit).
    static bool ReadFloats(const std::string& text, std::size_t count, std::vector<float>& numbers);
    /// Cuts `text` to its first `count` UTF-8 characters (a byte that does
    /// not continue a character starts one).
    /// @return whether anything was cut
    static bool CutToCharacters(std::string& text, std::size_t count);
    /// Reads the description `file`, at most `maxBytes`, into `ini`.
    /// @param why set to how the file fails ("is missing", "cannot be read
    ///        (...)", "is no description (...)"), to follow its name
    static bool ReadFile(const std::string& file, std::size_t maxBytes, IniFile& ini, std::string& why);
};
