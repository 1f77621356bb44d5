#include "DaeTextParser.h"

#include <charconv>
#include <cstring>

bool DaeTextParser::TokenToFloat(const char* first, const char* last, float& value) {
    if (first != last && *first == '+') ++first;  // from_chars refuses a leading plus
    auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc() && result.ptr == last) return true;
    if (result.ec == std::errc::result_out_of_range) {
        value = 0.0f;  // below the smallest float (or absurdly large): no real exporter data
        return true;
    }
    // Exporters running under a comma-decimal locale write "34,693176".
    char buffer[64];
    const std::size_t length = static_cast<std::size_t>(last - first);
    if (length < sizeof(buffer) && std::memchr(first, ',', length)) {
        for (std::size_t i = 0; i < length; ++i) buffer[i] = first[i] == ',' ? '.' : first[i];
        result = std::from_chars(buffer, buffer + length, value);
        if (result.ec == std::errc() && result.ptr == buffer + length) return true;
        if (result.ec == std::errc() && result.ptr != buffer) return false;  // keep the prefix
    } else if (result.ec == std::errc() && result.ptr != first) {
        return false;  // "1.#QNAN" and friends: keep the leading number
    }
    value = 0.0f;
    return false;
}

std::size_t DaeTextParser::ParseFloats(const char* text, std::vector<float>& out, std::size_t maxCount) {
    std::size_t bad = 0;
    if (!text) return 0;
    float value;
    for (std::size_t n = 0; n < maxCount && NextFloat(text, value, bad); ++n) out.push_back(value);
    return bad;
}

void DaeTextParser::ParseIndices(const char* text, std::vector<std::uint32_t>& out, std::size_t maxCount) {
    if (!text) return;
    std::uint32_t value;
    for (std::size_t n = 0; n < maxCount && NextIndex(text, value); ++n) out.push_back(value);
}

std::size_t DaeTextParser::ParseFixed(const char* text, float* out, std::size_t count) {
    if (!text) return 0;
    std::size_t n = 0, bad = 0;
    float value;
    while (n < count && NextFloat(text, value, bad)) out[n++] = value;
    return n;
}

float DaeTextParser::ParseFloat(const char* text, float fallback) {
    float value = fallback;
    return ParseFixed(text, &value, 1) == 1 ? value : fallback;
}

std::size_t DaeTextParser::ParseCount(const char* text, std::size_t fallback, std::size_t limit) {
    if (!text) return fallback;
    while (*text != '\0' && IsSpace(*text)) ++text;
    if (*text < '0' || *text > '9') return fallback;
    std::size_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const unsigned digit = static_cast<unsigned>(*text - '0');
        if (value > (limit - digit) / 10) return limit;
        value = value * 10 + digit;
    }
    return value;
}
