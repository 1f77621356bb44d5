#include "ByteReader.h"

#include <cmath>
#include <cstring>

bool ByteReader::Take(void* bytes, std::size_t count) {
    if (!ok || count > size - offset) return ok = false;
    std::memcpy(bytes, data + offset, count);
    offset += count;
    return true;
}

bool ByteReader::U8(std::uint8_t& value) { return Take(&value, 1); }

bool ByteReader::U16(std::uint16_t& value) {
    std::uint8_t b[2];
    if (!Take(b, 2)) return false;
    value = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ByteReader::U32(std::uint32_t& value) {
    std::uint8_t b[4];
    if (!Take(b, 4)) return false;
    value = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

bool ByteReader::I8(std::int8_t& value) {
    std::uint8_t raw = 0;
    if (!U8(raw)) return false;
    value = static_cast<std::int8_t>(raw);
    return true;
}

bool ByteReader::I16(std::int16_t& value) {
    std::uint16_t raw = 0;
    if (!U16(raw)) return false;
    value = static_cast<std::int16_t>(raw);
    return true;
}

bool ByteReader::F32(float& value) {
    std::uint32_t bits = 0;
    if (!U32(bits)) return false;
    float f = 0.0f;
    std::memcpy(&f, &bits, 4);
    if (!std::isfinite(f)) return ok = false;
    value = f;
    return true;
}

bool ByteReader::Blob(std::string& value, std::size_t maxBytes) {
    std::uint32_t length = 0;
    if (!U32(length)) return false;
    if (length > maxBytes || length > size - offset) return ok = false;
    value.assign(reinterpret_cast<const char*>(data + offset), length);
    offset += length;
    return true;
}

bool ByteReader::String(std::string& value, std::size_t maxBytes) {
    std::uint8_t length = 0;
    if (!U8(length)) return false;
    if (length > maxBytes || length > size - offset) return ok = false;
    const std::uint8_t* first = data + offset;
    for (std::size_t i = 0; i < length; ++i)
        if (first[i] < 32 || first[i] > 126) return ok = false;
    value.assign(reinterpret_cast<const char*>(first), length);
    offset += length;
    return true;
}

bool ByteReader::Bool(bool& value) {
    std::uint8_t raw = 0;
    if (!U8(raw)) return false;
    if (raw > 1) return ok = false;
    value = raw == 1;
    return true;
}
