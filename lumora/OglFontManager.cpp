#include <lumora/OglFontManager.h>

#include <GL/glew.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <iostream>
#include <vector>

#include <nodara/Font.h>

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

// Records character `code` of `face` into display list `list`.
void CompileGlyph(FT_Face face, FT_ULong code, GLuint list) {
    glNewList(list, GL_COMPILE);
    const FT_UInt glyph = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const GLfloat advance = static_cast<GLfloat>(slot->advance.x) / 64.0f;
        if (bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) {
            // WARNING: Mesa rejects glBitmap with a null bitmap inside a list,
            // and then the raster position never advances past a space.
            static const GLubyte dummy = 0;
            glBitmap(0, 0, 0.0f, 0.0f, advance, 0.0f, &dummy);
        } else {
            const std::vector<GLubyte> bits = BottomUpRows(bitmap);
            // The origin is the pen position on the baseline.
            glBitmap(static_cast<GLsizei>(bitmap.width), static_cast<GLsizei>(bitmap.rows),
                     static_cast<GLfloat>(-slot->bitmap_left),
                     static_cast<GLfloat>(static_cast<int>(bitmap.rows) - slot->bitmap_top), advance,
                     0.0f, bits.data());
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

// Fills the 96 lists from `base` with the glyphs of the face file; false,
// with a message, when FreeType cannot read or size it.
bool CompileFont(const FaceFile& file, const std::string& faceName, int height, GLuint base) {
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
        for (GLuint i = 0; i < static_cast<GLuint>(GlyphCount); ++i)
            CompileGlyph(face, FirstChar + i, base + i);
        glPopClientAttrib();
        ok = true;
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}

// Owner of a font's display lists: they go with the last manager copy.
void DeleteFont(Font* font) {
    glDeleteLists(font->GetId(), GlyphCount);
    delete font;
}

}  // namespace

Font* OglFontManager::Generate(const std::string& faceName, int height) {
    for (const std::shared_ptr<Font>& font : fonts)
        if (font->GetName() == faceName && font->GetSize() == height) return font.get();

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
    if (!CompileFont(file, faceName, height, base)) {
        glDeleteLists(base, GlyphCount);
        return nullptr;
    }
    fonts.emplace_back(new Font(faceName, height, base), DeleteFont);
    return fonts.back().get();
}

void OglFontManager::Print(Font& font, float x, float y, const std::string& text) {
    // Any byte outside the block would call someone else's list (another
    // font's glyph, a model's geometry), so only 32..127 go to GL.
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= FirstChar && code <= LastChar) printable.push_back(c);
    }
    glRasterPos3f(x, y, 0.0f);
    glPushAttrib(GL_LIST_BIT);
    glListBase(font.GetId() - FirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
    glPopAttrib();
}
