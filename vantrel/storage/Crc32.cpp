#include "Crc32.h"

#include <array>

namespace {

/// The remainder of each byte value, a byte at a time.
std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

}  // namespace

void Crc32::Add(const void* data, std::size_t bytes) {
    static const std::array<std::uint32_t, 256> table = MakeTable();
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = state;
    for (std::size_t i = 0; i < bytes; ++i) c = table[(c ^ p[i]) & 0xFFu] ^ (c >> 8);
    state = c;
}

std::uint32_t Crc32::Of(const void* data, std::size_t bytes) {
    Crc32 crc;
    crc.Add(data, bytes);
    return crc.Get();
}
