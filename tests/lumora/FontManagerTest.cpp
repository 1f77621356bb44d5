#include <gtest/gtest.h>

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>

#include <chrono>
#include <climits>
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
        for (int attempt = 0; attempt < 5 && !(context && context->IsValid()); ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(200));
            context = std::make_unique<GlContext>(Size, Size);
        }
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
