#include <lumora/OglFontManager.h>

#include <GL/glew.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include <nodara/Font.h>
#include <nodara/Logger.h>

namespace {

constexpr unsigned int FirstChar = 32;
constexpr unsigned int LastChar = 127;
constexpr GLsizei GlyphCount = LastChar - FirstChar + 1;  // 96 lists a font

// Where fontconfig finds a face file.
struct FaceFile {
    std::string path;
    int index = 0;  ///< face (and named instance) within the file
};

// The file of the bold face fontconfig picks for `faceName`; empty path when
// the configuration has no font at all. An unknown name gets fontconfig's
// closest face, as a GDI font request gets a substitute.
FaceFile ResolveFace(const std::string& faceName) {
    FaceFile result;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return result;
    // Built field by field, not parsed: a face name may contain ':' or '-'.
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) {
        FcDefaultSubstitute(pattern);
        FcResult matchResult = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &matchResult)) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                result.path = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(match, FC_INDEX, 0, &result.index) != FcResultMatch)
                    result.index = 0;
            }
            FcPatternDestroy(match);
        }
    }
    FcPatternDestroy(pattern);
    return result;
}

// Row `row` of a FreeType bitmap counted from the top, whichever way its
// rows run in memory.
const unsigned char* TopDownRow(const FT_Bitmap& bitmap, unsigned int row) {
    if (bitmap.pitch >= 0) return bitmap.buffer + static_cast<size_t>(row) * bitmap.pitch;
    return bitmap.buffer + static_cast<size_t>(bitmap.rows - 1 - row) * -bitmap.pitch;
}

// Whether pixel x of a top-down row is set; coverage of grey or colour
// glyphs (embedded bitmaps) counts from one half.
bool IsSet(const FT_Bitmap& bitmap, const unsigned char* row, unsigned int x) {
    switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
            return row[x / 8] & (0x80 >> (x % 8));
        case FT_PIXEL_MODE_GRAY:
            return row[x] >= 128;
        case FT_PIXEL_MODE_BGRA:
            return row[x * 4 + 3] >= 128;
        default:
            return false;
    }
}

// The glyph as glBitmap wants it: rows bottom-up, each (width + 7) / 8
// bytes with no padding, most significant bit leftmost.
// NOTE: FreeType rows run top-down and pad to its own pitch.
std::vector<GLubyte> BottomUpRows(const FT_Bitmap& bitmap) {
    const unsigned int stride = (bitmap.width + 7) / 8;
    std::vector<GLubyte> bits(static_cast<size_t>(stride) * bitmap.rows, 0);
    for (unsigned int row = 0; row < bitmap.rows; ++row) {
        const unsigned char* in = TopDownRow(bitmap, row);
        GLubyte* out = &bits[static_cast<size_t>(bitmap.rows - 1 - row) * stride];
        for (unsigned int x = 0; x < bitmap.width; ++x)
            if (IsSet(bitmap, in, x)) out[x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
    }
    return bits;
}

// One glyph as its display list draws it: the glBitmap arguments.
struct GlyphBitmap {
    bool loaded = false;  ///< false: FreeType failed, the list is empty
    GLsizei width = 0;
    GLsizei rows = 0;
    GLfloat xorig = 0.0f;
    GLfloat yorig = 0.0f;
    GLfloat advance = 0.0f;
    std::vector<GLubyte> bits;  ///< bottom-up rows of (width + 7) / 8 bytes
};

// Character `code` of `face` as glBitmap wants it.
GlyphBitmap RenderGlyph(FT_Face face, FT_ULong code) {
    GlyphBitmap glyph;
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.loaded = true;
    glyph.advance = static_cast<GLfloat>(slot->advance.x) / 64.0f;
    if (bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) return glyph;
    glyph.width = static_cast<GLsizei>(bitmap.width);
    glyph.rows = static_cast<GLsizei>(bitmap.rows);
    // The origin is the pen position on the baseline.
    glyph.xorig = static_cast<GLfloat>(-slot->bitmap_left);
    glyph.yorig = static_cast<GLfloat>(static_cast<int>(bitmap.rows) - slot->bitmap_top);
    glyph.bits = BottomUpRows(bitmap);
    return glyph;
}

// Records `glyph` into display list `list`.
void CompileGlyph(const GlyphBitmap& glyph, GLuint list) {
    glNewList(list, GL_COMPILE);
    if (glyph.loaded) {
        if (glyph.bits.empty()) {
            // WARNING: Mesa rejects glBitmap with a null bitmap inside a list,
            // and then the raster position never advances past a space.
            static const GLubyte dummy = 0;
            glBitmap(0, 0, 0.0f, 0.0f, glyph.advance, 0.0f, &dummy);
        } else {
            glBitmap(glyph.width, glyph.rows, glyph.xorig, glyph.yorig, glyph.advance, 0.0f,
                     glyph.bits.data());
        }
    }
    glEndList();
}

// Sizes `face` the way a GDI font request does: a positive height is the
// cell height (ascender + descender), a negative one the em height.
bool SetPixelHeight(FT_Face face, int height) {
    FT_Size_RequestRec request = {};
    request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.height = static_cast<FT_Long>(height > 0 ? height : -height) * 64;
    return FT_Request_Size(face, &request) == 0;
}

// Fills the 96 lists from `base` with the glyphs of the face file, which
// it also hands back in `glyphs`; false, with a message, when FreeType cannot
// read or size it.
bool CompileFont(const FaceFile& file, const std::string& faceName, int height, GLuint base,
                 std::vector<GlyphBitmap>& glyphs) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::cout << "[ERROR] OglFontManager: Cannot initialise FreeType for font " << faceName
                  << std::endl;
        return false;
    }
    bool ok = false;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) {
        std::cout << "[ERROR] OglFontManager: Cannot read font file " << file.path << " for "
                  << faceName << std::endl;
    } else if (!SetPixelHeight(face, height)) {
        std::cout << "[ERROR] OglFontManager: Cannot size font " << faceName << " to height "
                  << height << std::endl;
    } else {
        // The lists record the glyphs at compile time with the unpack state
        // current then; take it over and give it back.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
        glyphs.clear();
        for (GLuint i = 0; i < static_cast<GLuint>(GlyphCount); ++i) {
            glyphs.push_back(RenderGlyph(face, FirstChar + i));
            CompileGlyph(glyphs.back(), base + i);
        }
        glPopClientAttrib();
        ok = true;
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}

}  // namespace

struct OglFontManager::Atlas {
    struct Glyph {
        int x = 0, y = 0;  ///< lower-left texel of the bitmap
        int width = 0, height = 0;
        float xorig = 0.0f, yorig = 0.0f, advance = 0.0f;
    };
    GLuint texture = 0;  ///< deleted with the font's lists, not here
    int width = 0, height = 0;
    Glyph glyphs[GlyphCount];
};

namespace {

Logger logger("OglFontManager");

int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

// Shelves the glyphs into the narrowest power-of-two square-ish texture no
// wider than `maxSize`, a texel apart so that no glyph touches another.
// False when they do not fit.
bool PackGlyphs(const std::vector<GlyphBitmap>& bitmaps, int maxSize, OglFontManager::Atlas& atlas) {
    for (int width = 64; width <= maxSize; width *= 2) {
        int x = 1, y = 1, shelf = 0;
        bool fits = true;
        for (std::size_t i = 0; i < bitmaps.size() && fits; ++i) {
            OglFontManager::Atlas::Glyph& glyph = atlas.glyphs[i];
            const GlyphBitmap& bitmap = bitmaps[i];
            glyph = {};
            glyph.xorig = bitmap.xorig;
            glyph.yorig = bitmap.yorig;
            glyph.advance = bitmap.advance;
            if (bitmap.bits.empty()) continue;
            if (bitmap.width + 2 > width) {
                fits = false;
                break;
            }
            if (x + bitmap.width + 1 > width) {
                x = 1;
                y += shelf + 1;
                shelf = 0;
            }
            glyph.x = x;
            glyph.y = y;
            glyph.width = bitmap.width;
            glyph.height = bitmap.rows;
            x += bitmap.width + 1;
            shelf = std::max(shelf, static_cast<int>(bitmap.rows));
        }
        const int height = PowerOfTwoAtLeast(y + shelf + 1);
        if (fits && height <= width) {
            atlas.width = width;
            atlas.height = height;
            return true;
        }
    }
    return false;
}

// The glyphs' texture: alpha 255 where glBitmap would write, 0 elsewhere,
// read texel for pixel (GL_NEAREST, no mipmaps). Null, with `why` said,
// when the GL cannot hold it. Expects the unpack state CompileFont sets.
std::shared_ptr<OglFontManager::Atlas> MakeAtlas(const std::vector<GlyphBitmap>& bitmaps, std::string& why) {
    // Print needs these beyond GL 1.1; without GLEW set up they are null.
    if (!glActiveTexture || !glUseProgram) {
        why = "the GL 2.0 entry points are not loaded";
        return nullptr;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    auto atlas = std::make_shared<OglFontManager::Atlas>();
    if (!PackGlyphs(bitmaps, maxSize, *atlas)) {
        why = "its glyphs do not fit a texture of " + std::to_string(maxSize) + " texels";
        return nullptr;
    }
    std::vector<GLubyte> texels(static_cast<std::size_t>(atlas->width) * atlas->height, 0);
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        const GlyphBitmap& bitmap = bitmaps[i];
        const OglFontManager::Atlas::Glyph& glyph = atlas->glyphs[i];
        const std::size_t stride = (static_cast<std::size_t>(bitmap.width) + 7) / 8;
        for (int row = 0; row < glyph.height; ++row)
            for (int x = 0; x < glyph.width; ++x)
                if (bitmap.bits[row * stride + x / 8] & (0x80 >> (x % 8)))
                    texels[static_cast<std::size_t>(glyph.y + row) * atlas->width + glyph.x + x] = 255;
    }

    // The caller's binding, pixel transfer and unpack buffer stay as found.
    GLint bound = 0, unpackBuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const bool pbo = GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object;
    if (pbo) {
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
        if (unpackBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    }
    glPushAttrib(GL_PIXEL_MODE_BIT);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelTransferf(GL_ALPHA_SCALE, 1.0f);
    glPixelTransferf(GL_ALPHA_BIAS, 0.0f);

    GLint proxyWidth = 0;
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_ALPHA8, atlas->width, atlas->height, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, nullptr);
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
    if (proxyWidth == atlas->width) {
        glGenTextures(1, &atlas->texture);
        glBindTexture(GL_TEXTURE_2D, atlas->texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlas->width, atlas->height, 0, GL_ALPHA,
                     GL_UNSIGNED_BYTE, texels.data());
        // Read back rather than glGetError: that would swallow the caller's errors.
        GLint madeWidth = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &madeWidth);
        if (madeWidth != atlas->width) {
            glDeleteTextures(1, &atlas->texture);
            atlas->texture = 0;
            why = "the GL refused its texture";
        }
    } else {
        why = "the GL refuses a texture of " + std::to_string(atlas->width) + "x" +
              std::to_string(atlas->height);
    }

    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (unpackBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
    if (!atlas->texture) return nullptr;
    return atlas;
}

// The old way, and the way without a texture: the lists, glyph by glyph,
// from the raster position already set.
void CallLists(const Font& font, const std::string& printable) {
    glPushAttrib(GL_LIST_BIT);
    glListBase(font.GetId() - FirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
    glPopAttrib();
}

// Whether the caller's alpha test passes a fragment of alpha `alpha`.
bool AlphaPasses(GLenum func, float alpha, float ref) {
    switch (func) {
        case GL_NEVER: return false;
        case GL_LESS: return alpha < ref;
        case GL_EQUAL: return alpha == ref;
        case GL_LEQUAL: return alpha <= ref;
        case GL_GREATER: return alpha > ref;
        case GL_NOTEQUAL: return alpha != ref;
        case GL_GEQUAL: return alpha >= ref;
        default: return true;
    }
}

// One glyph's pixels in window coordinates and texels in the atlas.
struct Quad {
    int x0, y0, x1, y1;
    const OglFontManager::Atlas::Glyph* glyph;
};

// Draws the quads as glBitmap would draw their bitmaps: raster colour and
// depth, per-fragment operations as the caller set them. Every state changed
// here is given back.
void DrawQuads(const OglFontManager::Atlas& atlas, const std::vector<Quad>& quads, const GLfloat raster[4],
               const GLfloat color[4]) {
    int left = quads.front().x0, bottom = quads.front().y0, right = quads.front().x1,
        top = quads.front().y1;
    for (const Quad& quad : quads) {
        left = std::min(left, quad.x0);
        bottom = std::min(bottom, quad.y0);
        right = std::max(right, quad.x1);
        top = std::max(top, quad.y1);
    }
    // The viewport becomes the text's box: bitmaps are not clipped to the
    // caller's viewport, and quads inside it are not clipped at all.
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    const int width = std::min(right - left, static_cast<int>(maxViewport[0]));
    const int height = std::min(top - bottom, static_cast<int>(maxViewport[1]));
    if (width <= 0 || height <= 0) return;

    // The raster position's window depth back to normalised device depth.
    GLfloat range[2] = {0.0f, 1.0f};
    glGetFloatv(GL_DEPTH_RANGE, range);
    const float depth = range[1] != range[0] ? 2.0f * (raster[2] - range[0]) / (range[1] - range[0]) - 1.0f : 0.0f;

    GLint program = 0, activeUnit = GL_TEXTURE0, units = 1, clipPlanes = 0, matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    glGetIntegerv(GL_MAX_CLIP_PLANES, &clipPlanes);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    GLfloat modelview[16], projection[16], textureMatrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);

    // Enables (texture targets and texgen of every unit, clip planes),
    // texture environment and bindings, alpha test, polygon mode, current
    // colour and texture coordinates, viewport: all come back with the pop.
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT |
                 GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
    if (program) glUseProgram(0);
    // Before glColor: with colour material on it would recolour the material.
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_STIPPLE);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (GLint plane = 0; plane < clipPlanes; ++plane) glDisable(GL_CLIP_PLANE0 + plane);
    const bool rectangle = GLEW_ARB_texture_rectangle;
    for (GLint unit = units - 1; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_3D);
        glDisable(GL_TEXTURE_CUBE_MAP);
        if (rectangle) glDisable(GL_TEXTURE_RECTANGLE_ARB);
    }
    // Unit 0 is active from here on.
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, atlas.texture);
    glEnable(GL_ALPHA_TEST);
    if (color[3] > 0.0f) {
        // Covered texels keep the raster colour and alpha, the others go.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glAlphaFunc(GL_GREATER, 0.0f);
    } else {
        // A bitmap still writes where the raster alpha is 0; modulating would
        // make every texel 0 and the test would drop them all. Alpha is then
        // 1 - texel instead: 0, the raster alpha, where covered.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
        glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
        glAlphaFunc(GL_LESS, 0.5f);
    }
    glMatrixMode(GL_TEXTURE);
    glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(left, bottom, width, height);

    const float toNdcX = 2.0f / static_cast<float>(width), toNdcY = 2.0f / static_cast<float>(height);
    const float toS = 1.0f / static_cast<float>(atlas.width), toT = 1.0f / static_cast<float>(atlas.height);
    glColor4fv(color);
    glBegin(GL_QUADS);
    for (const Quad& quad : quads) {
        const float x0 = static_cast<float>(quad.x0 - left) * toNdcX - 1.0f;
        const float x1 = static_cast<float>(quad.x1 - left) * toNdcX - 1.0f;
        const float y0 = static_cast<float>(quad.y0 - bottom) * toNdcY - 1.0f;
        const float y1 = static_cast<float>(quad.y1 - bottom) * toNdcY - 1.0f;
        const float s0 = static_cast<float>(quad.glyph->x) * toS;
        const float s1 = static_cast<float>(quad.glyph->x + quad.glyph->width) * toS;
        const float t0 = static_cast<float>(quad.glyph->y) * toT;
        const float t1 = static_cast<float>(quad.glyph->y + quad.glyph->height) * toT;
        glTexCoord2f(s0, t0);
        glVertex3f(x0, y0, depth);
        glTexCoord2f(s1, t0);
        glVertex3f(x1, y0, depth);
        glTexCoord2f(s1, t1);
        glVertex3f(x1, y1, depth);
        glTexCoord2f(s0, t1);
        glVertex3f(x0, y1, depth);
    }
    glEnd();

    glLoadMatrixf(modelview);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(textureMatrix);
    glMatrixMode(static_cast<GLenum>(matrixMode));
    if (program) glUseProgram(static_cast<GLuint>(program));
    glPopAttrib();
    glActiveTexture(static_cast<GLenum>(activeUnit));
}

}  // namespace

Font* OglFontManager::Generate(const std::string& faceName, int height) {
    for (const Entry& entry : fonts)
        if (entry.font->GetName() == faceName && entry.font->GetSize() == height) return entry.font.get();

    if (height == 0) {
        std::cout << "[ERROR] OglFontManager: Font " << faceName << " needs a non-zero height"
                  << std::endl;
        return nullptr;
    }
    const FaceFile file = ResolveFace(faceName);
    if (file.path.empty()) {
        std::cout << "[ERROR] OglFontManager: No font file for face " << faceName << std::endl;
        return nullptr;
    }
    const GLuint base = glGenLists(GlyphCount);
    if (base == 0) {
        std::cout << "[ERROR] OglFontManager: No display lists for font " << faceName << std::endl;
        return nullptr;
    }
    std::vector<GlyphBitmap> glyphs;
    if (!CompileFont(file, faceName, height, base, glyphs)) {
        glDeleteLists(base, GlyphCount);
        return nullptr;
    }
    std::string why;
    std::shared_ptr<const Atlas> atlas = MakeAtlas(glyphs, why);
    if (!atlas && logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Font " << faceName << " at height " << height << " has no glyph texture (" << why
            << "): its text is drawn glyph by glyph through display lists";
    const GLuint texture = atlas ? atlas->texture : 0;
    // The texture goes with the lists, whichever copy of the manager is last.
    auto deleter = [texture](Font* font) {
        glDeleteLists(font->GetId(), GlyphCount);
        if (texture) glDeleteTextures(1, &texture);
        delete font;
    };
    fonts.push_back({std::shared_ptr<Font>(new Font(faceName, height, base), deleter), std::move(atlas)});
    return fonts.back().font.get();
}

void OglFontManager::Print(Font& font, float x, float y, const std::string& text) {
    // Any byte outside the block would call someone else's list (another
    // font's glyph, a model's geometry), so only 32..127 are drawn.
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= FirstChar && code <= LastChar) printable.push_back(c);
    }
    glRasterPos3f(x, y, 0.0f);
    if (printable.empty()) return;

    const Atlas* atlas = nullptr;
    for (const Entry& entry : fonts)
        if (entry.font.get() == &font) atlas = entry.atlas.get();
    GLint renderMode = GL_RENDER, stackDepth = 0, maxStackDepth = 0;
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stackDepth);
    glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &maxStackDepth);
    // Selection and feedback record bitmaps, not quads; a full attribute
    // stack leaves nowhere to keep the caller's state.
    if (!atlas || renderMode != GL_RENDER || stackDepth >= maxStackDepth) {
        CallLists(font, printable);
        return;
    }
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid) return;  // glBitmap draws nothing and moves nothing then
    GLfloat raster[4], color[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, color);

    // Pen positions added up in floats as glBitmap adds its moves, and the
    // corner placed as Mesa places it (the small epsilon is its own, so that
    // a position a rounding error short of a pixel still lands on it).
    std::vector<Quad> quads;
    quads.reserve(printable.size());
    float pen = raster[0];
    const float epsilon = 0.0001f;
    for (const char c : printable) {
        const Atlas::Glyph& glyph = atlas->glyphs[static_cast<unsigned char>(c) - FirstChar];
        if (glyph.width > 0) {
            const int x0 = static_cast<int>(std::floor(pen + epsilon - glyph.xorig));
            const int y0 = static_cast<int>(std::floor(raster[1] + epsilon - glyph.yorig));
            quads.push_back({x0, y0, x0 + glyph.width, y0 + glyph.height, &glyph});
        }
        pen += glyph.advance;
    }

    bool draw = !quads.empty();
    if (draw && glIsEnabled(GL_ALPHA_TEST)) {
        // The caller's test sees the raster alpha on every glyph pixel.
        GLint func = GL_ALWAYS;
        GLfloat ref = 0.0f;
        glGetIntegerv(GL_ALPHA_TEST_FUNC, &func);
        glGetFloatv(GL_ALPHA_TEST_REF, &ref);
        draw = AlphaPasses(static_cast<GLenum>(func), std::clamp(color[3], 0.0f, 1.0f), ref);
    }
    if (draw) DrawQuads(*atlas, quads, raster, color);

    // The raster position ends where the lists would leave it. One move
    // lands exactly there nearly always; otherwise each glyph's is made.
    const float move = pen - raster[0];
    if (raster[0] + move == pen) {
        glBitmap(0, 0, 0.0f, 0.0f, move, 0.0f, nullptr);
    } else {
        for (const char c : printable)
            glBitmap(0, 0, 0.0f, 0.0f, atlas->glyphs[static_cast<unsigned char>(c) - FirstChar].advance, 0.0f,
                     nullptr);
    }
}
