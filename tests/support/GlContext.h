#pragma once
// A real OpenGL 2.0 compatibility context in a hidden SDL window, for tests
// that draw and read pixels back (headless under Xvfb + llvmpipe).
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

class GlContext {
public:
    /// Opens a hidden window of the given size and makes its context current.
    /// Check IsValid(); Error() says why it is not.
    GlContext(int width = 256, int height = 256);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool IsValid() const { return context != nullptr; }
    const std::string& Error() const { return error; }
    int Width() const { return width; }
    int Height() const { return height; }

    /// RGBA pixel at (x, y), origin bottom-left as GL reads it.
    std::uint32_t Pixel(int x, int y) const;
    /// The whole back buffer, RGBA rows bottom-up.
    std::vector<std::uint8_t> ReadPixels() const;
    void Swap();

private:
    SDL_Window* window = nullptr;
    void* context = nullptr;
    int width;
    int height;
    std::string error;
};

/// Colour channels of a pixel from GlContext::Pixel.
inline int Red(std::uint32_t p) { return p & 0xFF; }
inline int Green(std::uint32_t p) { return (p >> 8) & 0xFF; }
inline int Blue(std::uint32_t p) { return (p >> 16) & 0xFF; }
inline int Alpha(std::uint32_t p) { return (p >> 24) & 0xFF; }
