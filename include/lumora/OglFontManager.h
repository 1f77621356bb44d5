#pragma once
#include <memory>
#include <string>
#include <vector>

#include <nodara/Renderer.h>

class Font;

/// Fonts as OpenGL display lists: a font is a block of 96 consecutive lists,
/// list GetId() + (c - 32) drawing the bitmap glyph of character c (32..127)
/// and advancing the raster position. Faces are found through fontconfig at
/// bold weight and rasterised with FreeType.
///
/// Copies share the fonts made so far; their display lists go with the last
/// manager that holds them. Needs the renderer's GL context current for
/// Generate, Print and destruction.
class OglFontManager : public Renderer::FontManager {
public:
    OglFontManager() = default;
    OglFontManager(const OglFontManager& other) = default;
    OglFontManager& operator=(const OglFontManager& other) = default;
    /// Deletes the display lists (and Font objects) no other copy shares.
    ~OglFontManager() override = default;

    /// The bold font of `faceName` whose character cell is `height` pixels
    /// tall, made on the first request for that exact name and height. A
    /// name fontconfig does not know resolves to its closest face, as with
    /// any font request.
    /// @return the font (owned by the manager), or null, reported on
    ///         standard output, when no face file can be found or read.
    Font* Generate(const std::string& faceName, int height) override;
    /// Draws `text` from raster position (x, y, 0) in the current
    /// coordinates. Only bytes 32..127 are drawn: any other byte would call
    /// a display list outside the font's block. The list base is restored.
    void Print(Font& font, float x, float y, const std::string& text) override;

private:
    /// Every font made so far, in the order made.
    std::vector<std::shared_ptr<Font>> fonts;
};
