#include <gtest/gtest.h>

#include <FreeImage.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <lumora/ImageLoader.h>

// Test images are written with FreeImage itself into a fresh folder per test.
// Pixel (x, y) counts y from the bottom row, as FreeImage and GL do.
namespace {

// A pixel of a loaded image as the bytes B, G, R, A.
struct Bgra {
    int b, g, r, a;
    bool operator==(const Bgra& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};

std::ostream& operator<<(std::ostream& out, const Bgra& p) {
    return out << "BGRA(" << p.b << ", " << p.g << ", " << p.r << ", " << p.a << ")";
}

Bgra PixelAt(const ImageLoader::ImageFile& file, unsigned int x, unsigned int y) {
    const auto* bytes = static_cast<const std::uint8_t*>(file.GetPixelData());
    const std::uint8_t* p = bytes + (static_cast<size_t>(y) * file.GetWidth() + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// The four pixels of a 2 x 2 test image: bottom-left, bottom-right,
// top-left, top-right.
struct Quad {
    Bgra bottomLeft, bottomRight, topLeft, topRight;
};

void SetRgb(FIBITMAP* bitmap, unsigned int x, unsigned int y, BYTE r, BYTE g, BYTE b) {
    RGBQUAD colour{b, g, r, 0};
    FreeImage_SetPixelColor(bitmap, x, y, &colour);
}

FIBITMAP* Rgb24() {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, 24);
    SetRgb(bitmap, 0, 0, 255, 0, 0);
    SetRgb(bitmap, 1, 0, 0, 255, 0);
    SetRgb(bitmap, 0, 1, 0, 0, 255);
    SetRgb(bitmap, 1, 1, 255, 255, 255);
    return bitmap;
}

// A palette image with entries red, green, blue, white at indices 0..3.
FIBITMAP* Palette(unsigned int bpp) {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, bpp);
    RGBQUAD* palette = FreeImage_GetPalette(bitmap);
    palette[0] = {0, 0, 255, 0};
    palette[1] = {0, 255, 0, 0};
    palette[2] = {255, 0, 0, 0};
    palette[3] = {255, 255, 255, 0};
    const BYTE index[2][2] = {{0, 1}, {2, 3}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x) {
            BYTE value = index[y][x];
            FreeImage_SetPixelIndex(bitmap, x, y, &value);
        }
    return bitmap;
}

FIBITMAP* PaletteWithTransparency() {
    FIBITMAP* bitmap = Palette(8);
    BYTE alpha[4] = {255, 0, 128, 255};
    FreeImage_SetTransparencyTable(bitmap, alpha, 4);
    return bitmap;
}

FIBITMAP* Monochrome() {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, 1);
    RGBQUAD* palette = FreeImage_GetPalette(bitmap);
    palette[0] = {0, 0, 0, 0};
    palette[1] = {255, 255, 255, 0};
    BYTE one = 1;
    FreeImage_SetPixelIndex(bitmap, 1, 0, &one);
    FreeImage_SetPixelIndex(bitmap, 0, 1, &one);
    return bitmap;
}

FIBITMAP* Grey8() {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, 8);
    RGBQUAD* palette = FreeImage_GetPalette(bitmap);
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    const BYTE values[2][2] = {{0, 64}, {128, 255}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x) FreeImage_GetScanLine(bitmap, y)[x] = values[y][x];
    return bitmap;
}

FIBITMAP* Rgba32() {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, 32);
    const RGBQUAD pixels[2][2] = {{{0, 0, 255, 255}, {0, 255, 0, 128}}, {{255, 0, 0, 0}, {10, 20, 30, 40}}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x) {
            RGBQUAD p = pixels[y][x];
            FreeImage_SetPixelColor(bitmap, x, y, &p);
        }
    return bitmap;
}

FIBITMAP* Rgb565() {
    FIBITMAP* bitmap = FreeImage_Allocate(2, 2, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK);
    const WORD values[2][2] = {{0xF800, 0x07E0}, {0x001F, 0xFFFF}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x)
            reinterpret_cast<WORD*>(FreeImage_GetScanLine(bitmap, y))[x] = values[y][x];
    return bitmap;
}

FIBITMAP* Grey16() {
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_UINT16, 2, 2);
    const WORD values[2][2] = {{0x0000, 0x1234}, {0x80FF, 0xFFFF}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x)
            reinterpret_cast<WORD*>(FreeImage_GetScanLine(bitmap, y))[x] = values[y][x];
    return bitmap;
}

FIBITMAP* Rgb48() {
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGB16, 2, 2);
    const FIRGB16 values[2][2] = {{{0xFFFF, 0, 0}, {0, 0x8000, 0}}, {{0, 0, 0x4000}, {0xFFFF, 0xFFFF, 0xFFFF}}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x)
            reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(bitmap, y))[x] = values[y][x];
    return bitmap;
}

FIBITMAP* Rgba64() {
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBA16, 2, 2);
    const FIRGBA16 values[2][2] = {{{0xFFFF, 0, 0, 0xFFFF}, {0, 0xFFFF, 0, 0x8000}},
                                   {{0, 0, 0xFFFF, 0}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}}};
    for (unsigned int y = 0; y < 2; ++y)
        for (unsigned int x = 0; x < 2; ++x)
            reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(bitmap, y))[x] = values[y][x];
    return bitmap;
}

}  // namespace

class ImageLoaderTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "lumora-images-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern + "/";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Writes `bitmap` (consumed) as `name` in the test folder.
    std::string Save(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const std::string& name) {
        const std::string path = folder + name;
        EXPECT_TRUE(FreeImage_Save(format, bitmap, path.c_str(), 0)) << "cannot write " << path;
        FreeImage_Unload(bitmap);
        return path;
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string Fifo(const std::string& name) {
        const std::string path = folder + name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
        return path;
    }

    std::string Folder(const std::string& name) {
        const std::string path = folder + name;
        std::filesystem::create_directory(path);
        return path;
    }

    // LoadImageFile with what it wrote to standard output.
    ImageLoader::ImageFile* Load(const std::string& path, std::string& output) {
        testing::internal::CaptureStdout();
        ImageLoader::ImageFile* file = loader.LoadImageFile(path);
        output = testing::internal::GetCapturedStdout();
        return file;
    }

    ImageLoader& loader = Singleton<ImageLoader>::Instance();
    std::string folder;
};

TEST_F(ImageLoaderTest, EveryKindOfImageComesBackAs32BitBgra) {
    const Bgra red{0, 0, 255, 255}, green{0, 255, 0, 255}, blue{255, 0, 0, 255}, white{255, 255, 255, 255};
    struct Case {
        const char* what;
        std::function<FIBITMAP*()> make;
        FREE_IMAGE_FORMAT format;
        const char* name;
        Quad expected;
    };
    const Case cases[] = {
        // 24-bit colour gains alpha 255.
        {"24-bit BMP", Rgb24, FIF_BMP, "rgb24.bmp", {red, green, blue, white}},
        {"24-bit PNG", Rgb24, FIF_PNG, "rgb24.png", {red, green, blue, white}},
        // Palette indices become their colours.
        {"8-bit palette PNG", [] { return Palette(8); }, FIF_PNG, "palette8.png", {red, green, blue, white}},
        {"4-bit palette BMP", [] { return Palette(4); }, FIF_BMP, "palette4.bmp", {red, green, blue, white}},
        // A palette's transparency table becomes the alpha channel.
        {"palette with transparency", PaletteWithTransparency, FIF_PNG, "palette-alpha.png",
         {red, {0, 255, 0, 0}, {255, 0, 0, 128}, white}},
        {"1-bit PNG", Monochrome, FIF_PNG, "mono.png",
         {{0, 0, 0, 255}, white, white, {0, 0, 0, 255}}},
        {"8-bit grey PNG", Grey8, FIF_PNG, "grey8.png",
         {{0, 0, 0, 255}, {64, 64, 64, 255}, {128, 128, 128, 255}, white}},
        // Alpha is kept as it is in the file.
        {"32-bit RGBA PNG", Rgba32, FIF_PNG, "rgba32.png",
         {red, {0, 255, 0, 128}, {255, 0, 0, 0}, {10, 20, 30, 40}}},
        {"16-bit RGB565 BMP", Rgb565, FIF_BMP, "rgb565.bmp", {red, green, blue, white}},
        // 16 bits a channel keep their high byte.
        {"16-bit grey PNG", Grey16, FIF_PNG, "grey16.png",
         {{0, 0, 0, 255}, {0x12, 0x12, 0x12, 255}, {0x80, 0x80, 0x80, 255}, white}},
        {"48-bit RGB PNG", Rgb48, FIF_PNG, "rgb48.png",
         {red, {0, 0x80, 0, 255}, {0x40, 0, 0, 255}, white}},
        {"64-bit RGBA PNG", Rgba64, FIF_PNG, "rgba64.png",
         {red, {0, 255, 0, 0x80}, {255, 0, 0, 0}, white}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Save(c.make(), c.format, c.name);
        std::string output;
        ImageLoader::ImageFile* file = Load(path, output);
        ASSERT_NE(file, nullptr) << output;
        EXPECT_EQ(output, "");
        EXPECT_EQ(file->GetWidth(), 2u);
        EXPECT_EQ(file->GetHeight(), 2u);
        EXPECT_EQ(PixelAt(*file, 0, 0), c.expected.bottomLeft);
        EXPECT_EQ(PixelAt(*file, 1, 0), c.expected.bottomRight);
        EXPECT_EQ(PixelAt(*file, 0, 1), c.expected.topLeft);
        EXPECT_EQ(PixelAt(*file, 1, 1), c.expected.topRight);
        loader.UnLoadImageFile(file);
    }
}

TEST_F(ImageLoaderTest, FloatingPointImageIsToneMappedTo32Bits) {
    FIBITMAP* hdr = FreeImage_AllocateT(FIT_RGBF, 3, 2);
    reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(hdr, 0))[0] = {4.0f, 0.0f, 0.0f};
    reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(hdr, 1))[2] = {0.0f, 0.0f, 4.0f};
    std::string output;
    ImageLoader::ImageFile* file = Load(Save(hdr, FIF_HDR, "light.hdr"), output);
    ASSERT_NE(file, nullptr) << output;
    EXPECT_EQ(file->GetWidth(), 3u);
    EXPECT_EQ(file->GetHeight(), 2u);
    const Bgra reddish = PixelAt(*file, 0, 0), bluish = PixelAt(*file, 2, 1);
    EXPECT_GT(reddish.r, reddish.b);
    EXPECT_GT(bluish.b, bluish.r);
    EXPECT_EQ(reddish.a, 255);
    loader.UnLoadImageFile(file);
}

TEST_F(ImageLoaderTest, ContentsDecideBeforeTheExtension) {
    // A PNG named like a JPEG still loads as the PNG it is.
    std::string output;
    ImageLoader::ImageFile* file = Load(Save(Rgb24(), FIF_PNG, "really-a-png.jpg"), output);
    ASSERT_NE(file, nullptr) << output;
    EXPECT_EQ(PixelAt(*file, 0, 1), (Bgra{255, 0, 0, 255}));
    loader.UnLoadImageFile(file);
}

TEST_F(ImageLoaderTest, UnreadableFilesGiveNullAndOneErrorLine) {
    const std::string cannotRead = "[ERROR] ImageLoader::ImageFile: Cannot read from file: ";
    const std::string unsupported = "[ERROR] ImageLoader::ImageFile: Unsupported imagefile: ";
    // The first 60 bytes of a real PNG: signature and header, no pixel data.
    Save(Rgb24(), FIF_PNG, "whole.png");
    std::string png;
    {
        std::ifstream in(folder + "whole.png", std::ios::binary);
        png.assign(std::istreambuf_iterator<char>(in), {});
    }
    struct Case {
        const char* what;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        // Known by extension, but no such file.
        {"missing file", folder + "missing.png", cannotRead},
        // Known by extension, contents are not an image.
        {"text named .png", Write("text.png", "this is not an image at all\n"), cannotRead},
        {"empty .bmp", Write("empty.bmp", ""), cannotRead},
        // Known by contents, cut off or damaged.
        {"truncated PNG", Write("truncated.png", png.substr(0, 60)), cannotRead},
        {"PNG signature then garbage", Write("garbage.png", png.substr(0, 8) + std::string(200, '\x5a')),
         cannotRead},
        // A format FreeImage knows but cannot read.
        {"fax G3", Write("fax.g3", "not really a fax either\n"), cannotRead},
        // Not a regular file: never opened, so a FIFO without a writer can not block the load.
        {"FIFO named .png", Fifo("pipe.png"), cannotRead},
        {"folder named .png", Folder("folder.png"), cannotRead},
        // Neither contents nor extension say what it is.
        {"unknown extension", Write("notes.xyz", "plain words, no picture\n"), unsupported},
        {"no extension, missing", folder + "nothing", unsupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string output;
        ImageLoader::ImageFile* file = Load(c.path, output);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(output, c.message + c.path + "\n");
        loader.UnLoadImageFile(file);
    }
}

TEST_F(ImageLoaderTest, SingletonAndNullHandBack) {
    EXPECT_EQ(&Singleton<ImageLoader>::Instance(), &loader);
    loader.UnLoadImageFile(nullptr);  // ignored
}

TEST_F(ImageLoaderTest, EncodedPngLoadsBackAsTheSamePixelsOpaque) {
    // Five pixels a row: 15 bytes at 24 bits, so FreeImage pads every row.
    const unsigned int width = 5, height = 3;
    std::vector<unsigned char> bgra;
    for (unsigned int y = 0; y < height; ++y)
        for (unsigned int x = 0; x < width; ++x) {
            const unsigned char i = static_cast<unsigned char>(y * width + x);
            // Distinct channels per pixel; the alpha varies and must not matter.
            bgra.insert(bgra.end(), {static_cast<unsigned char>(10 * i), static_cast<unsigned char>(100 + i),
                                     static_cast<unsigned char>(250 - i), static_cast<unsigned char>(17 * i)});
        }
    std::vector<unsigned char> png{1, 2, 3};
    ASSERT_TRUE(ImageLoader::EncodePng(bgra.data(), width, height, png));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin(), png.begin() + 8), "\x89PNG\r\n\x1a\n");
    const std::string path = Write("encoded.png", std::string(png.begin(), png.end()));
    std::string output;
    ImageLoader::ImageFile* file = Load(path, output);
    ASSERT_NE(file, nullptr) << output;
    ASSERT_EQ(file->GetWidth(), width);
    ASSERT_EQ(file->GetHeight(), height);
    for (unsigned int y = 0; y < height; ++y)
        for (unsigned int x = 0; x < width; ++x) {
            const unsigned char* p = &bgra[(y * width + x) * 4];
            EXPECT_EQ(PixelAt(*file, x, y), (Bgra{p[0], p[1], p[2], 255})) << "(" << x << ", " << y << ")";
        }
    loader.UnLoadImageFile(file);

    // Nothing to encode: no bytes, and the old ones gone.
    EXPECT_FALSE(ImageLoader::EncodePng(bgra.data(), 0, height, png));
    EXPECT_TRUE(png.empty());
    EXPECT_FALSE(ImageLoader::EncodePng(nullptr, width, height, png));
}
