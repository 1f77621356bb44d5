// Reads X window dumps (xwd) of the game's 1024 × 768 window and checks what
// the show room and the race must show, for ShowRoomProgramTest.sh:
//   WindowShot shown <shot.xwd> [entry]        exit 0 once the menu is drawn
//                                              with `entry` (0) highlighted
//   WindowShot check <a.xwd> <b.xwd> <entry>   menu with `entry` highlighted,
//                                              sign and a turning car
//   WindowShot race <shot.xwd>                 exit 0 once the race's dials show
//   WindowShot drove <a.xwd> <b.xwd>           the view and the speed needle
//                                              moved from a to b
//   WindowShot options <shot.xwd>              the options panel is drawn
//   WindowShot countdown <shot.xwd>            a countdown digit is drawn
//   WindowShot paused <shot.xwd>               "Paused" is drawn over the race
//   WindowShot bluecar <shot.xwd>              the show room shows the blue car (car 0)
//   WindowShot opponents <shot.xwd>            the game's cars on the road ahead
//   WindowShot offroad|onroad <shot.xwd>       grass, or road, under the race's car
//   WindowShot png <shot.xwd> <out.png>        for a person to look at
//   WindowShot palette <in.png> <out.png>      in 256 colours, for the README
//   WindowShot autorepeat on|off               the X server's key auto-repeat
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <FreeImage.h>
#include <X11/Xlib.h>

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

/// The show room's menu lines, ShowRoom::MenuLineHeightPx apart.
const int MenuLinePx = 42;

/// Yellow pixels in menu entry `entry`'s line (the text sits on y = 42 (i + 1) from the top).
int YellowInEntry(const Shot& shot, int entry) {
    int count = 0;
    for (int y = MenuLinePx * (entry + 1) - 30; y < MenuLinePx * (entry + 1) + 5; ++y)
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

// The race's dials in window pixels from the top left: the speed dial's
// centre and the 40 px needle at its scale 1.6, the rev counter's at 1.8.
const int SpeedDialX = 1024 - 285, SpeedDialY = 768 - 90, SpeedNeedlePx = 64;
const int RpmDialX = 1024 - 110, RpmDialY = 768 - 140, RpmNeedlePx = 72;

bool IsRed(const std::uint8_t* p) { return p[0] > 170 && p[1] < 70 && p[2] < 70; }
bool IsDark(const std::uint8_t* p) { return p[0] + p[1] + p[2] < 150; }
bool IsLight(const std::uint8_t* p) { return p[0] > 180 && p[1] > 180 && p[2] > 180; }
/// The countdown's colour (1, 0.8, 0).
bool IsAmber(const std::uint8_t* p) { return p[0] > 220 && p[1] > 150 && p[1] < 230 && p[2] < 70; }

template <typename Test>
int CountInCircle(const Shot& shot, int cx, int cy, int radius, Test test) {
    int count = 0;
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius && x >= 0 && y >= 0 && x < shot.width &&
                y < shot.height)
                count += test(shot.At(x, y));
    return count;
}

/// Both dials drawn: a face with a red needle each, dark on car 0's dials,
/// light on car 1's.
bool RaceHudShown(const Shot& shot) {
    if (shot.width != 1024 || shot.height != 768) return false;
    const int face = 50 * 50 * 3;  // about the area within 50 px of the centre
    return CountInCircle(shot, SpeedDialX, SpeedDialY, SpeedNeedlePx, IsRed) > 30 &&
           CountInCircle(shot, RpmDialX, RpmDialY, RpmNeedlePx, IsRed) > 30 &&
           (CountInCircle(shot, SpeedDialX, SpeedDialY, 50, IsDark) > face / 2 ||
            CountInCircle(shot, SpeedDialX, SpeedDialY, 50, IsLight) > face / 2);
}

/// Pixels inside the speed dial's needle circle that changed from a to b.
int SpeedNeedleChange(const Shot& a, const Shot& b) {
    int count = 0;
    const int r = SpeedNeedlePx - 2;
    for (int y = SpeedDialY - r; y <= SpeedDialY + r; ++y)
        for (int x = SpeedDialX - r; x <= SpeedDialX + r; ++x)
            if ((x - SpeedDialX) * (x - SpeedDialX) + (y - SpeedDialY) * (y - SpeedDialY) <= r * r)
                count += ChangedPixels(a, b, x, y, x + 1, y + 1);
    return count;
}

/// The options panel blends (0.2, 0.2, 0.8) at 0.6 over the scene from x = 50
/// to W - 50 and 50 px below the top to 400 px above the bottom: each pixel
/// just inside its left and right edges is 0.4 of the one just outside plus
/// the panel's share. Rows a few pixels apart rarely match so by chance.
int PanelEdgeRows(const Shot& shot) {
    int rows = 0;
    for (int y = 60; y < 360; ++y) {
        bool edges = true;
        for (const int x : {50, 1024 - 51}) {
            const int outside = x == 50 ? x - 3 : x + 3, inside = x == 50 ? x + 3 : x - 3;
            const std::uint8_t *out = shot.At(outside, y), *in = shot.At(inside, y);
            const double share[3] = {0.6 * 0.2 * 255, 0.6 * 0.2 * 255, 0.6 * 0.8 * 255};
            for (int c = 0; c < 3; ++c) edges &= std::abs(in[c] - (0.4 * out[c] + share[c])) < 10.0;
        }
        rows += edges;
    }
    return rows;
}

int Drove(const Shot& a, const Shot& b) {
    bool ok = Expect(RaceHudShown(a) && RaceHudShown(b), "race dials drawn in both", 0);
    if (!ok) return 1;
    const int view = ChangedPixels(a, b, 0, 0, 1024, 520);
    ok &= Expect(view > 1024 * 520 / 20, "the view moved", view);
    const int needle = SpeedNeedleChange(a, b);
    ok &= Expect(needle > 60, "the speed needle moved", needle);
    return ok ? 0 : 1;
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

/// Shares of green (grass) and grey (asphalt, lines) pixels in the strip
/// under the chase camera's car, between the car and the window's bottom
/// edge and left of the speed dial.
void GroundUnderCar(const Shot& shot, double& grass, double& road) {
    int green = 0, grey = 0, all = 0;
    for (int y = 700; y < 765; ++y)
        for (int x = 380; x < 640; ++x, ++all) {
            const int r = shot.At(x, y)[0], g = shot.At(x, y)[1], b = shot.At(x, y)[2];
            green += g > r + 20 && g > b + 20;
            grey += std::abs(r - g) < 20 && std::abs(g - b) < 25;
        }
    grass = double(green) / all;
    road = double(grey) / all;
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

/// `in` in 256 colours of its own (Wu's quantiser keeps the sky's and the
/// paint's gradients smooth), at about a quarter of the size.
bool WritePalettePng(const std::string& in, const std::string& out) {
    FIBITMAP* picture = FreeImage_Load(FIF_PNG, in.c_str());
    FIBITMAP* rgb = picture ? FreeImage_ConvertTo24Bits(picture) : nullptr;
    FIBITMAP* palette = rgb ? FreeImage_ColorQuantizeEx(rgb, FIQ_WUQUANT, 256, 0, nullptr) : nullptr;
    const bool saved = palette && FreeImage_Save(FIF_PNG, palette, out.c_str(), PNG_Z_BEST_COMPRESSION);
    for (FIBITMAP* bitmap : {palette, rgb, picture})
        if (bitmap) FreeImage_Unload(bitmap);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    Shot a, b;
    if (command == "shown" && (argc == 3 || argc == 4)) {
        const int entry = argc == 4 ? std::atoi(argv[3]) : 0;
        // A race's "Checkpoint" line is yellow in the same place; the dials tell.
        return ReadXwd(argv[2], a) && a.width == 1024 && YellowInEntry(a, entry) > 50 && !RaceHudShown(a) ? 0 : 1;
    }
    if (command == "race" && argc == 3) return ReadXwd(argv[2], a) && RaceHudShown(a) ? 0 : 1;
    if (command == "options" && argc == 3) {
        if (!ReadXwd(argv[2], a) || !RaceHudShown(a)) return 1;
        const int rows = PanelEdgeRows(a);
        std::printf("options panel edges in %d of 300 rows\n", rows);
        return rows > 240 ? 0 : 1;
    }
    if (command == "countdown" && argc == 3) {
        if (!ReadXwd(argv[2], a) || !RaceHudShown(a)) return 1;
        // The digit is printed at size 64 from 20 px left of the middle, its
        // baseline 100 px above it.
        int amber = 0;
        for (int y = 768 / 2 - 170; y < 768 / 2 - 90; ++y)
            for (int x = 1024 / 2 - 40; x < 1024 / 2 + 50; ++x) amber += IsAmber(a.At(x, y));
        return amber > 40 ? 0 : 1;
    }
    if (command == "paused" && argc == 3) {
        if (!ReadXwd(argv[2], a) || a.width != 1024 || a.height != 768) return 1;
        // Size 64 from 100 px left of the middle, its baseline 190 px above it.
        int yellow = 0;
        for (int y = 768 / 2 - 250; y < 768 / 2 - 185; ++y)
            for (int x = 1024 / 2 - 105; x < 1024 / 2 + 110; ++x) yellow += IsYellow(a.At(x, y));
        return yellow > 400 ? 0 : 1;
    }
    if ((command == "offroad" || command == "onroad") && argc == 3) {
        if (!ReadXwd(argv[2], a) || !RaceHudShown(a)) return 1;
        double grass = 0.0, road = 0.0;
        GroundUnderCar(a, grass, road);
        std::printf("under the car: %.0f %% grass, %.0f %% road\n", 100 * grass, 100 * road);
        return (command == "offroad" ? grass : road) > 0.6 ? 0 : 1;
    }
    if (command == "opponents" && argc == 3) {
        if (!ReadXwd(argv[2], a) || !RaceHudShown(a)) return 1;
        // The game's cars ahead on the road, between the start banner and the
        // player's car: red, yellow, orange and purple paint, which neither
        // the road, the grass nor the sky has.
        int paint = 0;
        for (int y = 280; y < 450; ++y)
            for (int x = 150; x < 874; ++x) {
                const std::uint8_t* p = a.At(x, y);
                const bool red = p[0] > 150 && p[1] < 60 && p[2] < 60;
                const bool yellow = p[0] > 180 && p[1] > 140 && p[2] < 50;
                const bool purple = p[0] > 110 && p[2] > 130 && p[1] < 60;
                paint += red || yellow || purple;
            }
        std::printf("opponents' paint: %d px\n", paint);
        return paint > 150 ? 0 : 1;
    }
    if (command == "bluecar" && argc == 3) {
        if (!ReadXwd(argv[2], a) || a.width != 1024 || a.height != 768) return 1;
        // Car 0's paint; car 1 is silver and red, the room grey.
        int blue = 0;
        for (int y = 260; y < 690; ++y)
            for (int x = 200; x < 824; ++x) {
                const std::uint8_t* p = a.At(x, y);
                blue += p[2] > p[0] + 60 && p[2] > p[1] + 40;
            }
        std::printf("blue paint: %d px\n", blue);
        return blue > 5000 ? 0 : 1;
    }
    if (command == "drove" && argc == 4) {
        if (!ReadXwd(argv[2], a) || !ReadXwd(argv[3], b)) {
            std::printf("FAIL: cannot read the window dumps\n");
            return 1;
        }
        return Drove(a, b);
    }
    if (command == "autorepeat" && argc == 3) {
        // A key held with xdotool auto-repeats like a real one; the game takes
        // one event a frame, so at a few frames a second the repeats would
        // queue up for many seconds behind the release.
        Display* display = XOpenDisplay(nullptr);
        if (!display) return 1;
        if (std::string(argv[2]) == "off")
            XAutoRepeatOff(display);
        else
            XAutoRepeatOn(display);
        XCloseDisplay(display);
        return 0;
    }
    if (command == "check" && argc == 5) {
        if (!ReadXwd(argv[2], a) || !ReadXwd(argv[3], b)) {
            std::printf("FAIL: cannot read the window dumps\n");
            return 1;
        }
        return Check(a, b, std::stoi(argv[4]));
    }
    if (command == "png" && argc == 4) return ReadXwd(argv[2], a) && WritePng(a, argv[3]) ? 0 : 1;
    if (command == "palette" && argc == 4) return WritePalettePng(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: WindowShot shown <xwd> [entry] | check <a.xwd> <b.xwd> <entry> | race <xwd> | "
                         "drove <a.xwd> <b.xwd> | options <xwd> | countdown <xwd> | paused <xwd> | bluecar <xwd> | "
                         "opponents <xwd> | "
                         "offroad|onroad <xwd> | "
                         "png <xwd> <png> | palette <png> <png> | "
                         "autorepeat on|off\n");
    return 2;
}
