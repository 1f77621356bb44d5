#pragma once
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

/// Reserves the big arrays of a model (millions of indices or coordinates)
/// and asks the kernel to back them with huge pages: filling such an array
/// page by page costs a fault every 4 KiB, most of a load's time on some
/// machines. A hint only; the memory is ordinary heap memory either way.
class DaeLargeBuffer {
public:
    /// Below this a buffer is left to the kernel's defaults.
    static constexpr std::size_t HugeThreshold = std::size_t(2) << 20;

    template <typename T>
    static void Reserve(std::vector<T>& buffer, std::size_t count) {
        buffer.reserve(count);
        const std::size_t bytes = buffer.capacity() * sizeof(T);
        if (bytes < HugeThreshold) return;
        // madvise needs page-aligned ranges; huge pages need 2 MiB alignment.
        constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
        const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
        const std::uintptr_t last = (start + bytes) & ~(huge - 1);
        if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
};
