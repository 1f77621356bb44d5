#include "ByteWriter.h"

#include <cmath>
#include <cstring>

bool ByteWriter::Put(const void* bytes, std::size_t count) {
    if (!ok || count > capacity - data.size()) return ok = false;
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    data.insert(data.end(), first, first + count);
    return true;
}

bool ByteWriter::Blob(const std::string& value, std::size_t maxBytes) {
    if (value.size() > maxBytes) return ok = false;
    return U32(static_cast<std::uint32_t>(value.size())) && Put(value.data(), value.size());
}

bool ByteWriter::U8(std::uint8_t value) { return Put(&value, 1); }

bool ByteWriter::U16(std::uint16_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    return Put(bytes, 2);
}

bool ByteWriter::U32(std::uint32_t value) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return Put(bytes, 4);
}

bool ByteWriter::F32(float value) {
    if (!std::isfinite(value)) return ok = false;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return U32(bits);
}

bool ByteWriter::String(const std::string& value, std::size_t maxBytes) {
    if (value.size() > maxBytes || value.size() > 255) return ok = false;
    return U8(static_cast<std::uint8_t>(value.size())) && Put(value.data(), value.size());
}
