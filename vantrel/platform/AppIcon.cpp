#include "AppIcon.h"

#include <algorithm>
#include <cmath>

namespace {

struct Colour {
    float r, g, b, a;  ///< 0 to 1
};

/// Distance from (px, py) to the segment (ax, ay)-(bx, by).
float DistanceToSegment(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

/// Coverage of a shape edge at signed distance `d` (negative inside), one
/// pixel of anti-aliasing.
float Coverage(float d) { return std::clamp(0.5f - d, 0.0f, 1.0f); }

/// Signed distance to a square of side `size` with corners rounded by `radius`.
float RoundedSquare(float x, float y, float size, float radius) {
    const float half = size * 0.5f;
    const float qx = std::fabs(x - half) - (half - radius);
    const float qy = std::fabs(y - half) - (half - radius);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

Colour Over(Colour top, float coverage, Colour below) {
    const float a = top.a * coverage;
    return {top.r * a + below.r * (1 - a), top.g * a + below.g * (1 - a), top.b * a + below.b * (1 - a),
            a + below.a * (1 - a)};
}

std::uint32_t Pack(Colour c) {
    const auto channel = [](float v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
    return channel(c.a) << 24 | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

}  // namespace

std::vector<std::uint32_t> MakeAppIcon() {
    const float size = AppIconSizePx;
    const Colour amber{1.0f, 0.69f, 0.0f, 1.0f};
    std::vector<std::uint32_t> pixels(AppIconSizePx * AppIconSizePx);
    for (int row = 0; row < AppIconSizePx; ++row) {
        for (int column = 0; column < AppIconSizePx; ++column) {
            // Sample at the pixel centre.
            const float x = column + 0.5f, y = row + 0.5f;
            // Background: night-blue gradient, lighter towards the top.
            const float shade = 1.0f - y / size;
            Colour c{0.08f + 0.10f * shade, 0.12f + 0.14f * shade, 0.22f + 0.20f * shade, 1.0f};
            // Finish line: two rows of checks along the bottom.
            if (y > 36 && y < 44 && x > 4 && x < 44) {
                const bool white = ((column - 4) / 4 + (row - 36) / 4) % 2 == 0;
                c = white ? Colour{0.92f, 0.92f, 0.92f, 1.0f} : Colour{0.05f, 0.05f, 0.05f, 1.0f};
            }
            // The "V": two thick strokes meeting above the finish line.
            const float stroke = std::min(DistanceToSegment(x, y, 11, 7, 24, 33), DistanceToSegment(x, y, 37, 7, 24, 33));
            c = Over(amber, Coverage(stroke - 4.0f), c);
            // Rounded corners are transparent.
            c.a *= Coverage(RoundedSquare(x, y, size, 8.0f));
            pixels[row * AppIconSizePx + column] = Pack(c);
        }
    }
    return pixels;
}
