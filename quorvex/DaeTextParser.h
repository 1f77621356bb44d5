#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

/// Reads the whitespace-separated number lists of a COLLADA document as real
/// exporters write them: any amount of surrounding whitespace, exponents with
/// leading zeros ("1.5e-006"), a leading '+', and a comma taken as the decimal
/// point ("34,693176"). Tokens that are not numbers read as 0 and are counted.
///
/// Number arrays are most of a document's bytes, so the common forms are read
/// in one pass; the result is always the correctly rounded float, the same
/// std::from_chars gives.
class DaeTextParser {
public:
    /// Marks an index token that is negative, too large or not a number.
    static constexpr std::uint32_t InvalidIndex = 0xffffffffu;

    /// Reads the next float token and moves `text` past it; false at the end
    /// of the text. A token that is no number gives 0 and counts in `bad`.
    static bool NextFloat(const char*& text, float& value, std::size_t& bad) {
        while (*text != '\0' && IsSpace(*text)) ++text;
        if (*text == '\0') return false;
        if (!FastFloat(text, value)) {
            const char* end = text;
            while (!IsSpace(*end)) ++end;  // the terminating null counts as whitespace
            if (!TokenToFloat(text, end, value)) ++bad;
            text = end;
        }
        return true;
    }

    /// Reads the next index token and moves `text` past it; false at the end
    /// of the text. Negative, oversized or malformed tokens give InvalidIndex.
    static bool NextIndex(const char*& text, std::uint32_t& value) {
        const char* p = text;
        for (unsigned char c; (c = static_cast<unsigned char>(*p)) <= ' '; ++p)
            if (c == '\0') {
                text = p;
                return false;
            }
        // Up to 9 digits fit 32 bits: the usual case, kept tight.
        const char* first = p;
        std::uint64_t number = 0;
        unsigned digit;
        while ((digit = static_cast<unsigned>(static_cast<unsigned char>(*p)) - '0') < 10u) {
            number = number * 10 + digit;
            ++p;
        }
        if (p != first && p - first <= 9 && IsSpace(*p)) {
            value = static_cast<std::uint32_t>(number);
            text = p;
            return true;
        }
        p = first;
        value = SlowIndex(p);
        text = p;
        return true;
    }

    /// Appends up to `maxCount` floats of `text` (null-terminated) to `out`.
    /// @return the number of tokens that were not numbers (read as 0).
    static std::size_t ParseFloats(const char* text, std::vector<float>& out, std::size_t maxCount);

    /// Appends up to `maxCount` unsigned integers; a token that is negative,
    /// above 2^32 - 2 or not a number becomes InvalidIndex.
    static void ParseIndices(const char* text, std::vector<std::uint32_t>& out, std::size_t maxCount);

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

    /// Converts one token [first, last) the slow, general way; false if it
    /// holds no number at all (then `value` is 0 or the number it starts with).
    static bool TokenToFloat(const char* first, const char* last, float& value);

private:
    /// The general form of NextIndex: a leading '+', long digit runs,
    /// saturation and malformed tokens. Moves `p` past the token.
    static std::uint32_t SlowIndex(const char*& p) {
        if (*p == '+') ++p;
        const char* digits = p;
        std::uint64_t number = 0;
        while (static_cast<unsigned>(*p - '0') < 10u) {
            number = number * 10 + static_cast<unsigned>(*p - '0');
            if (number >= InvalidIndex) number = InvalidIndex;  // saturate, stays invalid
            ++p;
        }
        if (p == digits || !IsSpace(*p)) {
            number = InvalidIndex;
            while (!IsSpace(*p)) ++p;
        }
        return static_cast<std::uint32_t>(number);
    }

    /// Plain decimals ("-12.5", "3e-4", "0,25") whose digits make an integer
    /// of at most 2^24 and whose power of ten is within 10^-10 ... 10^10: both
    /// are exact floats, so one multiplication or division rounds correctly.
    /// False (with `text` unchanged) for every other form.
    static bool FastFloat(const char*& text, float& value) {
        static const float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        const char* p = text;
        const bool negative = *p == '-';
        p += negative;
        std::uint64_t mantissa = 0;
        const char* digits = p;
        unsigned digit;
        while ((digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0')) < 10u) {
            mantissa = mantissa * 10 + digit;
            ++p;
        }
        std::ptrdiff_t count = p - digits;
        int scale = 0;
        if (*p == '.' || *p == ',') {  // a comma-decimal locale's exporter writes "34,693176"
            const char* fraction = ++p;
            while ((digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0')) < 10u) {
                mantissa = mantissa * 10 + digit;
                ++p;
            }
            scale = -static_cast<int>(p - fraction);
            count += p - fraction;
        }
        // No digits, or so many that the integer may have wrapped.
        if (count == 0 || count > 19) return false;
        if ((*p | 0x20) == 'e') {
            const char* e = p + 1;
            const bool down = *e == '-';
            e += down || *e == '+';
            int exponent = 0;
            const char* first = e;
            while ((digit = static_cast<unsigned>(static_cast<unsigned char>(*e) - '0')) < 10u && exponent < 1000) {
                exponent = exponent * 10 + static_cast<int>(digit);
                ++e;
            }
            if (e == first) return false;
            scale += down ? -exponent : exponent;
            p = e;
        }
        if (!IsSpace(*p) || mantissa > (1u << 24) || scale < -10 || scale > 10) return false;
        float result = static_cast<float>(mantissa);
        result = scale < 0 ? result / powers[-scale] : result * powers[scale];
        value = negative ? -result : result;
        text = p;
        return true;
    }
};
