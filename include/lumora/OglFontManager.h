#pragma once
#include <memory>
#include <string>
#include <vector>

#include <nodara/Renderer.h>

class Font;

/// Bitmap fonts for OpenGL. A font is a block of 96 consecutive display
/// lists, list GetId() + (c - 32) drawing the bitmap glyph of character c
/// (32..127) and advancing the raster position, and beside them one texture
/// holding the same glyph bitmaps. Print draws from the texture: one quad a
/// glyph, all in one batch, because a software rasteriser pays processor time
/// on the calling thread for every glBitmap a list holds. The pixels, the
/// per-fragment tests and the final raster position are those of the lists,
/// which stay for code that calls them itself (and for Print when the
/// texture could not be made). Faces are found through fontconfig at bold
/// weight and rasterised with FreeType.
///
/// Copies share the fonts made so far; their display lists and textures go
/// with the last manager that holds them. Needs the renderer's GL context
/// current, with GLEW initialised, for Generate, Print and destruction.
class OglFontManager : public Renderer::FontManager {
public:
    OglFontManager() = default;
    OglFontManager(const OglFontManager& other) = default;
    OglFontManager& operator=(const OglFontManager& other) = default;
    /// Deletes the display lists, textures (and Font objects) no other copy
    /// shares.
    ~OglFontManager() override = default;

    /// The bold font of `faceName` whose character cell is `height` pixels
    /// tall, made on the first request for that exact name and height. A
    /// name fontconfig does not know resolves to its closest face, as with
    /// any font request.
    /// @return the font (owned by the manager), or null, reported on
    ///         standard output, when no face file can be found or read. A
    ///         font whose glyph texture cannot be made (too big for the GL, a
    ///         GL error) is still returned, with a warning: its text is then
    ///         drawn through the display lists.
    Font* Generate(const std::string& faceName, int height) override;
    /// Draws `text` from raster position (x, y, 0) in the current
    /// coordinates, as calling the font's lists there would: nothing when
    /// that position is invalid, the current raster colour, the caller's
    /// blending, depth, stencil, scissor and masks; the raster position ends
    /// advanced past the text. The text has the raster colour as the lists
    /// draw it with texturing off and no program bound; an enabled texture or
    /// a bound fragment shader, which would colour bitmap fragments too,
    /// does not touch Print's. Only bytes 32..127 are drawn: any other byte
    /// would call a display list outside the font's block. Every GL state it
    /// touches (program, texture units, matrices, list base, enables) is
    /// left as found.
    void Print(Font& font, float x, float y, const std::string& text) override;

    /// Where each glyph of a font lies in its texture; defined with the
    /// manager's code.
    struct Atlas;

private:
    struct Entry {
        std::shared_ptr<Font> font;
        /// Null when the font has no texture and prints through its lists.
        std::shared_ptr<const Atlas> atlas;
    };
    /// Every font made so far, in the order made.
    std::vector<Entry> fonts;
};
