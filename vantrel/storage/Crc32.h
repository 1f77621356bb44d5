#pragma once
// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320), for telling
// a damaged file, or another track's geometry, from the one expected.
#include <cstddef>
#include <cstdint>
#include <string>

/// Checksums built up piece by piece: Crc32 c; c.Add(...); c.Add(...); c.Get().
class Crc32 {
public:
    void Add(const void* data, std::size_t bytes);
    void Add(const std::string& bytes) { Add(bytes.data(), bytes.size()); }
    /// The checksum of everything added so far ("123456789" gives 0xCBF43926).
    std::uint32_t Get() const { return ~state; }

    /// The checksum of `bytes` alone.
    static std::uint32_t Of(const void* data, std::size_t bytes);

private:
    std::uint32_t state = 0xFFFFFFFFu;
};
