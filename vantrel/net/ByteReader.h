#pragma once
// Reads a message's fields from bytes that came off the network.
#include <cstddef>
#include <cstdint>
#include <string>

/// Takes little-endian values from a span of bytes it does not own, never
/// past its end: a value the bytes left cannot hold, or one that breaks its
/// rule (a float not finite, a string too long or not printable), fails and
/// leaves the target alone, and every later read fails too.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(data ? size : 0) {}

    bool U8(std::uint8_t& value);
    bool U16(std::uint16_t& value);
    bool U32(std::uint32_t& value);
    bool I8(std::int8_t& value);
    bool I16(std::int16_t& value);
    /// Fails on a value that is not finite.
    bool F32(float& value);
    /// A length byte then that many bytes, at most `maxBytes`, each printable
    /// ASCII (32 to 126): what the game's fonts can show, and nothing a
    /// terminal or a log line would take for a control.
    bool String(std::string& value, std::size_t maxBytes);
    /// A 4-byte length then that many bytes of any value, at most `maxBytes`.
    bool Blob(std::string& value, std::size_t maxBytes);
    /// A byte that must be 0 or 1.
    bool Bool(bool& value);

    /// False once a read failed.
    bool IsOk() const { return ok; }
    /// Every byte read and none failed: a message with bytes left over is malformed.
    bool IsDone() const { return ok && offset == size; }
    std::size_t GetRemaining() const { return size - offset; }

private:
    bool Take(void* bytes, std::size_t count);

    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset = 0;
    bool ok = true;
};
