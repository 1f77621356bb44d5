// Reads X window dumps (xwd) of the game's 1024 × 768 window and checks what
// the show room must show, for ShowRoomProgramTest.sh:
//   WindowShot shown <shot.xwd> [entry]        exit 0 once the menu is drawn
//                                              with `entry` (0) highlighted
//   WindowShot check <a.xwd> <b.xwd> <entry>   menu with `entry` highlighted,
//                                              sign and a turning car
//   WindowShot png <shot.xwd> <out.png>        for a person to look at
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <FreeImage.h>

namespace {

/// A window dump as RGB rows top-down.
struct Shot {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* At(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

std::uint32_t Big32(const std::vector<char>& data, std::size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data() + offset);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

/// Reads a 24- or 32-bit TrueColor ZPixmap dump, the form xwd writes on Xvfb.
bool ReadXwd(const std::string& file, Shot& shot) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 100) return false;
    const std::uint32_t headerSize = Big32(data, 0), width = Big32(data, 16), height = Big32(data, 20);
    const std::uint32_t byteOrder = Big32(data, 28), bitsPerPixel = Big32(data, 44), bytesPerLine = Big32(data, 48);
    const std::uint32_t colours = Big32(data, 76);
    const std::size_t pixels = headerSize + std::size_t(colours) * 12;
    if (bitsPerPixel != 32 || data.size() < pixels + std::size_t(bytesPerLine) * height) return false;
    shot.width = static_cast<int>(width);
    shot.height = static_cast<int>(height);
    shot.rgb.resize(std::size_t(width) * height * 3);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(data.data() + pixels + y * bytesPerLine + x * 4);
            std::uint8_t* out = &shot.rgb[(std::size_t(y) * width + x) * 3];
            // Masks 0xff0000, 0xff00, 0xff: least significant byte first is B, G, R.
            out[0] = byteOrder == 0 ? p[2] : p[1];
            out[1] = byteOrder == 0 ? p[1] : p[2];
            out[2] = byteOrder == 0 ? p[0] : p[3];
        }
    return true;
}

bool IsYellow(const std::uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; }

/// Yellow pixels in menu entry `entry`'s line (the text sits on y = 70 (i + 1) from the top).
int YellowInEntry(const Shot& shot, int entry) {
    int count = 0;
    for (int y = 70 * (entry + 1) - 30; y < 70 * (entry + 1) + 5; ++y)
        for (int x = 105; x < 340; ++x) count += IsYellow(shot.At(x, y));
    return count;
}

int DistinctColours(const Shot& shot, int x0, int y0, int x1, int y1) {
    std::set<std::uint32_t> colours;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const std::uint8_t* p = shot.At(x, y);
            colours.insert(std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]);
        }
    return static_cast<int>(colours.size());
}

int ChangedPixels(const Shot& a, const Shot& b, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const std::uint8_t *p = a.At(x, y), *q = b.At(x, y);
            count += (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2])) > 30;
        }
    return count;
}

bool Expect(bool condition, const char* what, int value) {
    std::printf("%s %s (%d)\n", condition ? "ok:  " : "FAIL:", what, value);
    return condition;
}

int Check(const Shot& a, const Shot& b, int selected) {
    bool ok = Expect(a.width == 1024 && a.height == 768, "1024 x 768 window", a.width);
    if (!ok || b.width != a.width || b.height != a.height) return 1;
    for (int entry = 0; entry < 3; ++entry) {
        const int yellow = YellowInEntry(b, entry);
        ok &= entry == selected ? Expect(yellow > 50, "highlighted menu entry drawn", yellow)
                                : Expect(yellow == 0, "other menu entry not highlighted", yellow);
    }
    ok &= Expect(DistinctColours(b, 105, 40, 340, 225) > 20, "menu text drawn", DistinctColours(b, 105, 40, 340, 225));
    // The sign, 300 × 200 px from x = 624, 30 px below the top.
    ok &= Expect(DistinctColours(b, 630, 40, 920, 220) > 100, "sign drawn", DistinctColours(b, 630, 40, 920, 220));
    // The car turns on its turntable in the middle, under the bands: the same
    // region differs between two shots a second apart.
    ok &= Expect(DistinctColours(b, 200, 260, 824, 690) > 500, "room and car drawn", DistinctColours(b, 200, 260, 824, 690));
    const int turned = ChangedPixels(a, b, 200, 260, 824, 690);
    ok &= Expect(turned > 2000, "car turning on the turntable", turned);
    return ok ? 0 : 1;
}

bool WritePng(const Shot& shot, const std::string& file) {
    FIBITMAP* bitmap = FreeImage_Allocate(shot.width, shot.height, 24);
    if (!bitmap) return false;
    for (int y = 0; y < shot.height; ++y) {
        BYTE* row = FreeImage_GetScanLine(bitmap, shot.height - 1 - y);  // FreeImage rows are bottom-up
        for (int x = 0; x < shot.width; ++x) {
            row[x * 3 + FI_RGBA_RED] = shot.At(x, y)[0];
            row[x * 3 + FI_RGBA_GREEN] = shot.At(x, y)[1];
            row[x * 3 + FI_RGBA_BLUE] = shot.At(x, y)[2];
        }
    }
    const bool saved = FreeImage_Save(FIF_PNG, bitmap, file.c_str());
    FreeImage_Unload(bitmap);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    Shot a, b;
    if (command == "shown" && (argc == 3 || argc == 4)) {
        const int entry = argc == 4 ? std::atoi(argv[3]) : 0;
        return ReadXwd(argv[2], a) && a.width == 1024 && YellowInEntry(a, entry) > 50 ? 0 : 1;
    }
    if (command == "check" && argc == 5) {
        if (!ReadXwd(argv[2], a) || !ReadXwd(argv[3], b)) {
            std::printf("FAIL: cannot read the window dumps\n");
            return 1;
        }
        return Check(a, b, std::stoi(argv[4]));
    }
    if (command == "png" && argc == 4) return ReadXwd(argv[2], a) && WritePng(a, argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: WindowShot shown <xwd> | check <a.xwd> <b.xwd> <entry> | png <xwd> <png>\n");
    return 2;
}
