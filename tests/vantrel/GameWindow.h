#pragma once
// The application's own window as the GL context of a whole test program,
// opened once: Xvfb in some sandboxes refuses a connection made right after
// another one closed. Pixels are read from the back buffer before any swap.
#include <cstdint>
#include <vector>

/// RGB pixels of the back buffer, rows bottom-up as GL reads them.
class BackBuffer {
public:
    BackBuffer();
    int Width() const { return width; }
    int Height() const { return height; }
    const std::uint8_t* At(int x, int y) const { return &pixels[(static_cast<std::size_t>(y) * width + x) * 3]; }
    /// Pixels in [x0, x1) × [y0, y1) for which `test` (r, g, b) holds.
    template <typename Test>
    int Count(int x0, int y0, int x1, int y1, Test test) const {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t* p = At(x, y);
                if (test(p[0], p[1], p[2])) ++count;
            }
        return count;
    }

private:
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

/// The menu's highlight colour (1, 1, 0).
inline bool IsYellow(int r, int g, int b) { return r > 200 && g > 200 && b < 80; }
