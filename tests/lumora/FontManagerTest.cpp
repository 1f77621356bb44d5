#include <gtest/gtest.h>

#include <GL/glew.h>
#include <fontconfig/fontconfig.h>

#include <chrono>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <lumora/OglFontManager.h>
#include <nodara/Font.h>

#include "GlContext.h"

// Text is printed in white on black with a pixel-exact orthographic
// projection and read back: a lit pixel is one the font drew.
namespace {

constexpr int Size = 256;

// The box of lit pixels; empty when nothing was drawn.
struct Box {
    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    int lit = 0;
    bool Empty() const { return lit == 0; }
    int Width() const { return maxX - minX + 1; }
    int Height() const { return maxY - minY + 1; }
};

}  // namespace

class FontManagerTest : public testing::Test {
protected:
    // One context for the suite: opening an X display right after closing
    // one fails now and then under Xvfb ("x11 not available"), so the suite
    // opens it once, with a few tries.
    static void SetUpTestSuite() {
        // Print's first draw in a process makes llvmpipe compile a shader,
        // which Mesa's disk cache stores from a thread of its own. With the
        // cache on, LeakSanitizer's thread tracer crashed at the exit of a
        // test that printed once and ended (no leak, no memory error found);
        // with shaders kept in memory only it does not.
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        for (int attempt = 0; attempt < 5 && !(context && context->IsValid()); ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(200));
            context = std::make_unique<GlContext>(Size, Size);
        }
        // The engine does this before any font is made; Print needs it.
        if (context && context->IsValid()) glewInit();
    }
    static void TearDownTestSuite() { context.reset(); }

    void SetUp() override {
        ASSERT_TRUE(context->IsValid()) << context->Error();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, Size, 0, Size, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glListBase(0);
    }

    // Clears, prints `text` at (x, y) in white and returns the lit pixels.
    Box PrintAndRead(Font& font, float x, float y, const std::string& text) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        fonts.Print(font, x, y, text);
        return LitBox();
    }

    Box LitBox() const {
        const std::vector<std::uint8_t> pixels = context->ReadPixels();
        Box box;
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x) {
                const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * Size + x) * 4];
                if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
                ++box.lit;
                box.minX = std::min(box.minX, x);
                box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y);
                box.maxY = std::max(box.maxY, y);
            }
        return box;
    }

    // Lit pixels in row y between x0 and x1.
    int LitInRow(int y, int x0, int x1) const {
        int count = 0;
        for (int x = x0; x <= x1; ++x)
            if (Red(context->Pixel(x, y)) != 0) ++count;
        return count;
    }

    static std::unique_ptr<GlContext> context;
    OglFontManager fonts;
};

std::unique_ptr<GlContext> FontManagerTest::context;

TEST_F(FontManagerTest, TextLandsWherePrinted) {
    Font* font = fonts.Generate("Arial", 24);
    ASSERT_NE(font, nullptr);

    // Capitals sit on the baseline at y and start just right of x.
    const Box here = PrintAndRead(*font, 20, 100, "HELLO");
    ASSERT_FALSE(here.Empty());
    EXPECT_NEAR(here.minX, 20, 3);
    EXPECT_NEAR(here.minY, 100, 1);
    EXPECT_LE(here.maxY, 100 + 24);
    EXPECT_GT(here.Width(), 40);  // five bold capitals at 24 pixels

    // The same text elsewhere is the same picture moved by the difference.
    const Box there = PrintAndRead(*font, 57, 31, "HELLO");
    EXPECT_EQ(there.minX - here.minX, 37);
    EXPECT_EQ(there.minY - here.minY, -69);
    EXPECT_EQ(there.Width(), here.Width());
    EXPECT_EQ(there.Height(), here.Height());
    EXPECT_EQ(there.lit, here.lit);
}

TEST_F(FontManagerTest, GlyphsAreUprightAndAdvance) {
    Font* font = fonts.Generate("Arial", 40);
    ASSERT_NE(font, nullptr);

    // "T": the bar is at the top, the stem below (rows are not flipped).
    const Box t = PrintAndRead(*font, 50, 50, "T");
    ASSERT_FALSE(t.Empty());
    EXPECT_GT(LitInRow(t.maxY, t.minX, t.maxX), 2 * LitInRow(t.minY, t.minX, t.maxX));

    // "L": the foot is at the bottom.
    const Box l = PrintAndRead(*font, 50, 50, "L");
    ASSERT_FALSE(l.Empty());
    EXPECT_GT(LitInRow(l.minY, l.minX, l.maxX), 2 * LitInRow(l.maxY, l.minX, l.maxX));

    // A leading space moves the text right by the space's advance (an
    // empty glyph that does not advance would leave it in place).
    const Box plain = PrintAndRead(*font, 50, 50, "X");
    const Box spaced = PrintAndRead(*font, 50, 50, "  X");
    EXPECT_GT(spaced.minX - plain.minX, 40 / 5);
    EXPECT_EQ(spaced.lit, plain.lit);

    // Each glyph advances by its own width: "XX" is two X's side by side.
    const Box twice = PrintAndRead(*font, 50, 50, "XX");
    EXPECT_EQ(twice.lit, 2 * plain.lit);
    EXPECT_GT(twice.Width(), 2 * plain.Width() - 2);
}

TEST_F(FontManagerTest, HeightIsTheCellHeight) {
    // The cell is ascender plus descender: for the Arial-metric face the cap
    // height is then 0.62 of it (0.69 of the em, were the em asked for).
    Font* font = fonts.Generate("Arial", 100);
    ASSERT_NE(font, nullptr);
    const Box h = PrintAndRead(*font, 20, 60, "H");
    EXPECT_NEAR(h.Height(), 62, 3);
    // Capitals and descenders together stay inside one cell.
    EXPECT_LE(PrintAndRead(*font, 20, 60, "Hgjpq|").Height(), 100);
}

TEST_F(FontManagerTest, SameFaceAndHeightIsOneFont) {
    Font* first = fonts.Generate("Arial", 20);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), "Arial");
    EXPECT_EQ(first->GetSize(), 20);
    for (GLuint list = first->GetId(); list < first->GetId() + 96; ++list)
        ASSERT_TRUE(glIsList(list)) << "list " << list;

    EXPECT_EQ(fonts.Generate("Arial", 20), first);
    // A list made now follows the first font's block directly: the second
    // request generated no lists of its own.
    const GLuint probe = glGenLists(1);
    EXPECT_EQ(probe, first->GetId() + 96);
    glDeleteLists(probe, 1);

    // Another height, or another spelling of the face, is another font.
    Font* bigger = fonts.Generate("Arial", 30);
    Font* spelled = fonts.Generate("arial", 20);
    ASSERT_NE(bigger, nullptr);
    ASSERT_NE(spelled, nullptr);
    EXPECT_NE(bigger, first);
    EXPECT_NE(spelled, first);
    EXPECT_NE(bigger->GetId(), first->GetId());
}

TEST_F(FontManagerTest, BytesOutside32To127DrawNothing) {
    // Display lists on both sides of the font's block paint the whole
    // window red, so calling any of them shows.
    auto redLists = [](GLsizei count) {
        const GLuint base = glGenLists(count);
        for (GLsizei i = 0; i < count; ++i) {
            glNewList(base + i, GL_COMPILE);
            glColor3f(1, 0, 0);
            glRecti(0, 0, Size, Size);
            glEndList();
        }
        return base;
    };
    const GLuint below = redLists(32);
    Font* font = fonts.Generate("Arial", 24);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->GetId(), below + 32);
    const GLuint above = redLists(128);
    ASSERT_EQ(above, font->GetId() + 96);

    std::string outside;
    for (int c = 0; c < 256; ++c)
        if (c < 32 || c > 127) outside.push_back(static_cast<char>(c));
    EXPECT_TRUE(PrintAndRead(*font, 10, 10, outside).Empty());

    // Mixed in, they are skipped and the printable bytes draw as without them.
    const Box clean = PrintAndRead(*font, 10, 10, "AB");
    const Box mixed = PrintAndRead(*font, 10, 10, std::string("\x01" "A\x80\xff" "B\x1f", 6));
    EXPECT_EQ(mixed.lit, clean.lit);
    EXPECT_EQ(mixed.maxX, clean.maxX);
    EXPECT_EQ(LitInRow(mixed.minY, 0, Size - 1), LitInRow(clean.minY, 0, Size - 1));
    glDeleteLists(below, 32);
    glDeleteLists(above, 128);
}

TEST_F(FontManagerTest, PrintLeavesListBaseAndAttributeStack) {
    Font* font = fonts.Generate("Arial", 16);
    ASSERT_NE(font, nullptr);
    glListBase(7);
    GLint depthBefore = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depthBefore);

    EXPECT_TRUE(PrintAndRead(*font, 10, 10, "").Empty());
    EXPECT_FALSE(PrintAndRead(*font, 10, 10, "Lap 1/3").Empty());

    GLint base = 0, depth = 0;
    glGetIntegerv(GL_LIST_BASE, &base);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_EQ(base, 7);
    EXPECT_EQ(depth, depthBefore);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FontManagerTest, DestructionDeletesTheLists) {
    GLuint id = 0;
    {
        OglFontManager local;
        Font* font = local.Generate("Arial", 12);
        ASSERT_NE(font, nullptr);
        id = font->GetId();
        // A copy shares the font: the lists outlive the first manager gone.
        OglFontManager copy(local);
        EXPECT_EQ(copy.Generate("Arial", 12), font);
        {
            OglFontManager other = copy;
        }
        EXPECT_TRUE(glIsList(id));
    }
    EXPECT_FALSE(glIsList(id));
    EXPECT_FALSE(glIsList(id + 95));
}

TEST_F(FontManagerTest, FaceWithNoFontFileIsNull) {
    // A fontconfig configuration without a single font: nothing resolves.
    FcConfig* saved = FcConfigReference(nullptr);
    FcConfig* empty = FcConfigCreate();
    ASSERT_TRUE(FcConfigSetCurrent(empty));
    FcConfigDestroy(empty);  // the current configuration holds it now

    testing::internal::CaptureStdout();
    Font* font = fonts.Generate("Arial", 24);
    const std::string output = testing::internal::GetCapturedStdout();

    FcConfigSetCurrent(saved);
    FcConfigDestroy(saved);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(output, "[ERROR] OglFontManager: No font file for face Arial\n");
    // Nothing was recorded: with fonts back, the same request succeeds.
    EXPECT_NE(fonts.Generate("Arial", 24), nullptr);
}

// Print draws from the font's texture; the display lists are the reference.
namespace {

// The state a Print must leave as found (and a few it changes inside).
std::vector<float> StateSnapshot() {
    std::vector<float> state;
    auto integers = [&state](GLenum name, int count = 1) {
        GLint values[4] = {};
        glGetIntegerv(name, values);
        state.insert(state.end(), values, values + count);
    };
    auto floats = [&state](GLenum name, int count) {
        GLfloat values[16] = {};
        glGetFloatv(name, values);
        state.insert(state.end(), values, values + count);
    };
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1}) {
        glActiveTexture(unit);
        integers(GL_TEXTURE_BINDING_2D);
        state.push_back(glIsEnabled(GL_TEXTURE_2D));
        floats(GL_TEXTURE_MATRIX, 16);
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        state.push_back(static_cast<float>(mode));
    }
    glActiveTexture(static_cast<GLenum>(active));
    for (GLenum name : {GL_CURRENT_PROGRAM, GL_ACTIVE_TEXTURE, GL_CLIENT_ACTIVE_TEXTURE, GL_ATTRIB_STACK_DEPTH,
                        GL_CLIENT_ATTRIB_STACK_DEPTH, GL_LIST_BASE, GL_MATRIX_MODE, GL_ALPHA_TEST_FUNC,
                        GL_BLEND_SRC, GL_BLEND_DST, GL_DEPTH_FUNC, GL_MODELVIEW_STACK_DEPTH,
                        GL_PROJECTION_STACK_DEPTH})
        integers(name);
    integers(GL_VIEWPORT, 4);
    integers(GL_POLYGON_MODE, 2);
    floats(GL_MODELVIEW_MATRIX, 16);
    floats(GL_PROJECTION_MATRIX, 16);
    floats(GL_CURRENT_COLOR, 4);
    floats(GL_CURRENT_TEXTURE_COORDS, 4);
    for (GLenum cap : {GL_LIGHTING, GL_ALPHA_TEST, GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_FOG, GL_TEXTURE_GEN_S})
        state.push_back(glIsEnabled(cap));
    return state;
}

std::vector<float> RasterPosition() {
    GLfloat position[4] = {};
    GLboolean valid = GL_FALSE;
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    return {position[0], position[1], position[2], static_cast<float>(valid)};
}

GLuint CompileProgram(const char* vertexSource, const char* fragmentSource) {
    const GLuint program = glCreateProgram();
    for (auto [type, source] : {std::pair{GL_VERTEX_SHADER, vertexSource}, std::pair{GL_FRAGMENT_SHADER, fragmentSource}}) {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked ? program : 0;
}

}  // namespace

class FontManagerPrintTest : public FontManagerTest {
protected:
    // Draws `text` twice after `scene` sets state and background: through
    // the font's lists, then with Print. Expects the same pixels, the same
    // final raster position, and Print to leave the state as it found it.
    // Returns the glyph pixels: those that differ from the scene alone.
    int ExpectPrintDrawsAsTheLists(Font& font, float x, float y, const std::string& text,
                                   const std::function<void()>& scene) {
        scene();
        const std::vector<std::uint8_t> background = context->ReadPixels();
        scene();
        glRasterPos3f(x, y, 0.0f);
        glPushAttrib(GL_LIST_BIT);
        glListBase(font.GetId() - 32);
        glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
        glPopAttrib();
        const std::vector<std::uint8_t> lists = context->ReadPixels();
        const std::vector<float> listsEnd = RasterPosition();

        scene();
        const std::vector<float> before = StateSnapshot();
        fonts.Print(font, x, y, text);
        const std::vector<std::uint8_t> printed = context->ReadPixels();
        EXPECT_EQ(RasterPosition(), listsEnd);
        EXPECT_EQ(StateSnapshot(), before);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        int differing = 0, glyphPixels = 0;
        for (std::size_t i = 0; i < printed.size(); i += 4) {
            if (std::memcmp(&lists[i], &background[i], 4) != 0) ++glyphPixels;
            if (std::memcmp(&lists[i], &printed[i], 4) == 0) continue;
            if (differing++ == 0)
                ADD_FAILURE() << "first differing pixel (" << (i / 4) % Size << ", " << (i / 4) / Size << "): lists "
                              << int(lists[i]) << "," << int(lists[i + 1]) << "," << int(lists[i + 2]) << ","
                              << int(lists[i + 3]) << " print " << int(printed[i]) << "," << int(printed[i + 1])
                              << "," << int(printed[i + 2]) << "," << int(printed[i + 3]);
        }
        EXPECT_EQ(differing, 0);
        return glyphPixels;
    }

    void TearDown() override {
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE1);
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glDepthRange(0, 1);
    }
};

TEST_F(FontManagerPrintTest, TextureTextIsTheListsPicture) {
    Font* font = fonts.Generate("Arial", 24);
    ASSERT_NE(font, nullptr);
    const std::string text = "Lap 2/3  jq gy";

    // White on black.
    const int plain = ExpectPrintDrawsAsTheLists(*font, 20, 100, text, [] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
    });
    EXPECT_GT(plain, 200);

    // Translucent, blended over grey; then with a raster alpha of 0, which
    // bitmaps still write (blending off).
    ExpectPrintDrawsAsTheLists(*font, 20, 100, text, [] {
        glClearColor(0.4f, 0.4f, 0.4f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(1.0f, 0.6f, 0.2f, 0.45f);
    });
    glDisable(GL_BLEND);
    EXPECT_EQ(ExpectPrintDrawsAsTheLists(*font, 20, 100, text, [] {
                  glClearColor(0, 0, 0, 1);
                  glClear(GL_COLOR_BUFFER_BIT);
                  glColor4f(0.2f, 1.0f, 0.6f, 0.0f);
              }),
              plain);

    // In a narrowed depth range, a nearer quad hides the left half of the
    // text from the depth test and a farther one, just behind the text,
    // hides none of the right half.
    const int half = ExpectPrintDrawsAsTheLists(*font, 20, 100, text, [] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthRange(0.2, 0.9);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        auto quad = [](float x0, float x1, float z) {
            glBegin(GL_QUADS);
            glVertex3f(x0, 80, z);
            glVertex3f(x1, 80, z);
            glVertex3f(x1, 140, z);
            glVertex3f(x0, 140, z);
            glEnd();
        };
        glColor3f(0, 0, 0.5f);
        quad(0, 90, 0.5f);  // window depth 0.375
        glColor3f(0.5f, 0, 0);
        quad(90, 256, 0.3f);  // 0.445
        glTranslatef(0, 0, 0.4f);  // the text at 0.41
        glColor3f(1, 1, 1);
    });
    glDisable(GL_DEPTH_TEST);
    EXPECT_GT(half, 40);
    EXPECT_LT(half, plain - 40);

    // The viewport does not clip bitmaps: text that starts in a narrow one
    // runs on out of it.
    EXPECT_EQ(ExpectPrintDrawsAsTheLists(*font, 20, 100, text, [] {
                  glViewport(0, 0, 60, Size);
                  glMatrixMode(GL_PROJECTION);
                  glLoadIdentity();
                  glOrtho(0, 60, 0, Size, -1, 1);
                  glMatrixMode(GL_MODELVIEW);
                  glClearColor(0, 0, 0, 1);
                  glClear(GL_COLOR_BUFFER_BIT);
                  glColor3f(1, 1, 1);
              }),
              plain);
    glViewport(0, 0, Size, Size);
}

TEST_F(FontManagerPrintTest, CallerStateLeftAsFound) {
    Font* font = fonts.Generate("Arial", 24);
    ASSERT_NE(font, nullptr);
    const GLuint program = CompileProgram(
        "void main() { gl_Position = ftransform(); gl_FrontColor = gl_Color; }",
        "void main() { gl_FragColor = gl_Color; }");
    ASSERT_NE(program, 0u);
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    const GLubyte white[4] = {255, 255, 255, 255};
    for (GLuint texture : textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }

    // A fractional translation, a stretched texture matrix on unit 0, the
    // program bound and a texture on unit 1, which is left active.
    int glyphs = ExpectPrintDrawsAsTheLists(*font, 20, 100, "Gap: 1.25 s, jqy", [&] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(13.6f, -7.3f, 0.0f);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(3.0f, 0.5f, 1.0f);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, textures[1]);
        glEnable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glUseProgram(program);
        glColor3f(0.9f, 0.9f, 0.1f);
    });
    EXPECT_GT(glyphs, 200);

    // Outside the view the raster position is invalid: nothing is drawn and
    // it stays invalid.
    glUseProgram(0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    EXPECT_EQ(ExpectPrintDrawsAsTheLists(*font, -40, 100, "Lap", [] {
                  glClearColor(0, 0, 0, 1);
                  glClear(GL_COLOR_BUFFER_BIT);
                  glColor3f(1, 1, 1);
              }),
              0);
    EXPECT_EQ(RasterPosition()[3], 0.0f);
    glDeleteTextures(2, textures);
    glDeleteProgram(program);
}

TEST_F(FontManagerPrintTest, FontTooBigForATexturePrintsThroughItsLists) {
    // Glyphs of a 4000-pixel cell cannot share one texture within llvmpipe's
    // 16384 texels (nor any GL's 8192 or less).
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize > 16384) GTEST_SKIP() << "this GL takes textures of " << maxSize << " texels";
    testing::internal::CaptureStdout();
    Font* font = fonts.Generate("Arial", 4000);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_NE(font, nullptr);
    EXPECT_NE(said.find("[Warn] OglFontManager - Font Arial at height 4000 has no glyph texture"), std::string::npos)
        << said;

    // Print still draws, and says nothing more. The view reaches far left
    // of the window so that the raster position can stand there, valid, and
    // a piece of a huge "l" falls inside.
    testing::internal::CaptureStdout();
    EXPECT_GT(ExpectPrintDrawsAsTheLists(*font, -300, 20, "l", [] {
                  glViewport(-1000, 0, 1256, Size);
                  glMatrixMode(GL_PROJECTION);
                  glLoadIdentity();
                  glOrtho(-1000, Size, 0, Size, -1, 1);
                  glMatrixMode(GL_MODELVIEW);
                  glClearColor(0, 0, 0, 1);
                  glClear(GL_COLOR_BUFFER_BIT);
                  glColor3f(1, 1, 1);
              }),
              1000);
    glViewport(0, 0, Size, Size);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
