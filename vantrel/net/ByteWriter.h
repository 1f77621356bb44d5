#pragma once
// Writes a message's fields, little-endian, into a buffer of bounded size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// Appends little-endian values to a buffer it owns, never past its
/// capacity: a value that does not fit fails, and so does every later one,
/// so a message is either whole or refused (IsOk false).
class ByteWriter {
public:
    static constexpr std::size_t DefaultCapacity = 1024;  ///< more than any message but a run's

    explicit ByteWriter(std::size_t capacity = DefaultCapacity) : capacity(capacity) {
        data.reserve(capacity < DefaultCapacity ? capacity : DefaultCapacity);
    }

    bool U8(std::uint8_t value);
    bool U16(std::uint16_t value);
    bool U32(std::uint32_t value);
    bool I8(std::int8_t value) { return U8(static_cast<std::uint8_t>(value)); }
    bool I16(std::int16_t value) { return U16(static_cast<std::uint16_t>(value)); }
    /// IEEE 754 single precision; a value that is not finite fails.
    bool F32(float value);
    /// A length byte then the bytes; longer than `maxBytes` (at most 255) fails.
    bool String(const std::string& value, std::size_t maxBytes);
    /// A 4-byte length then any bytes; longer than `maxBytes` fails.
    bool Blob(const std::string& value, std::size_t maxBytes);

    /// False once a value did not fit or was refused.
    bool IsOk() const { return ok; }
    const std::uint8_t* GetData() const { return data.data(); }
    std::size_t GetSize() const { return data.size(); }

private:
    bool Put(const void* bytes, std::size_t count);

    std::size_t capacity;
    std::vector<std::uint8_t> data;
    bool ok = true;
};
