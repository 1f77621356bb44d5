#pragma once
#include <string>

/// Loads an image file into a new 2-D texture for the game's 2-D overlays
/// (the show room's sign, the race's dials): edges clamped, level 0 only, RGBA
/// from the image loader's 32-bit pixels. The texture is left unbound.
/// Needs a current GL context.
/// @return the GL texture name, or 0 when the image cannot be loaded (the
///         image loader has then said why on standard output)
unsigned int LoadImageTexture(const std::string& fileName);
