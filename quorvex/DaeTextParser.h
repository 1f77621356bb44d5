#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

/// Reads the whitespace-separated number lists of a COLLADA document as real
/// exporters write them: any amount of surrounding whitespace, exponents with
/// leading zeros ("1.5e-006"), a leading '+', and a comma taken as the decimal
/// point ("34,693176"). Tokens that are not numbers read as 0 and are counted.
class DaeTextParser {
public:
    /// Marks an index token that is negative, too large or not a number.
    static constexpr std::uint32_t InvalidIndex = 0xffffffffu;

    /// Appends up to `maxCount` floats of `text` (null-terminated) to `out`.
    /// @return the number of tokens that were not numbers (read as 0).
    static std::size_t ParseFloats(const char* text, std::vector<float>& out, std::size_t maxCount);

    /// Appends up to `maxCount` unsigned integers; a token that is negative,
    /// above 2^32 - 2 or not a number becomes InvalidIndex.
    static void ParseIndices(const char* text, std::vector<std::uint32_t>& out, std::size_t maxCount);

    /// Reads the next index token and moves `text` past it; false at the end
    /// of the text. Negative, oversized or malformed tokens give InvalidIndex.
    static bool NextIndex(const char*& text, std::uint32_t& value) {
        while (*text != '\0' && IsSpace(*text)) ++text;
        if (*text == '\0') return false;
        if (*text == '+') ++text;
        const char* digits = text;
        std::uint64_t number = 0;
        while (static_cast<unsigned>(*text - '0') < 10u) {
            number = number * 10 + static_cast<unsigned>(*text - '0');
            if (number >= InvalidIndex) number = InvalidIndex;  // saturate, stays invalid
            ++text;
        }
        if (text == digits || !IsSpace(*text)) {
            number = InvalidIndex;
            while (!IsSpace(*text)) ++text;
        }
        value = static_cast<std::uint32_t>(number);
        return true;
    }

    /// Reads up to `count` floats into `out`, leaving the rest unchanged.
    /// @return how many were read.
    static std::size_t ParseFixed(const char* text, float* out, std::size_t count);

    /// Reads one float; `fallback` when the text holds no number.
    static float ParseFloat(const char* text, float fallback);

    /// Reads one non-negative integer attribute value; `fallback` when absent,
    /// negative or not a number. Values above `limit` are cut to it.
    static std::size_t ParseCount(const char* text, std::size_t fallback, std::size_t limit);

    /// True for the characters XML counts as whitespace, and for the other
    /// control characters, which no number contains either.
    static bool IsSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

    /// Skips whitespace and returns the end of the next token (the first
    /// whitespace or the terminating null after it); `text` moves to its start.
    static const char* NextToken(const char*& text);

    /// Converts one token [first, last); false if it holds no number at all.
    static bool TokenToFloat(const char* first, const char* last, float& value);
};
