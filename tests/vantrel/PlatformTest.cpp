#include <gtest/gtest.h>

#include <unistd.h>

#include <FreeImage.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/AppIcon.h"
#include "platform/ProgramFolder.h"

namespace {
int AlphaOf(std::uint32_t argb) { return static_cast<int>(argb >> 24); }
}  // namespace

TEST(AppIcon, IsOpaqueInsideWithTransparentCorners) {
    const std::vector<std::uint32_t> icon = MakeAppIcon();
    ASSERT_EQ(icon.size(), 48u * 48u);
    const auto at = [&](int x, int y) { return icon[y * 48 + x]; };
    for (auto [x, y] : {std::pair{0, 0}, {47, 0}, {0, 47}, {47, 47}}) EXPECT_EQ(AlphaOf(at(x, y)), 0) << x << "," << y;
    for (auto [x, y] : {std::pair{24, 24}, {4, 24}, {24, 4}, {24, 43}}) EXPECT_EQ(AlphaOf(at(x, y)), 255) << x << "," << y;
    // A picture, not a flat square: the mark, the checks and the gradient.
    EXPECT_GT(std::set<std::uint32_t>(icon.begin(), icon.end()).size(), 20u);
}

// The desktop's icons are drawn from the same figures by tools/assets/icon.py;
// at 48 px the file must be this very picture, or the menu and the window
// show two different icons.
TEST(AppIcon, DesktopIconAt48PxIsTheWindowIcon) {
    FIBITMAP* loaded = FreeImage_Load(FIF_PNG, DESKTOP_ICON_48);
    ASSERT_NE(loaded, nullptr) << DESKTOP_ICON_48;
    FIBITMAP* image = FreeImage_ConvertTo32Bits(loaded);
    FreeImage_Unload(loaded);
    ASSERT_EQ(FreeImage_GetWidth(image), 48u);
    ASSERT_EQ(FreeImage_GetHeight(image), 48u);
    const std::vector<std::uint32_t> icon = MakeAppIcon();
    int worstChannel = 0;  // largest difference of one channel (of 255)
    for (int row = 0; row < 48; ++row) {
        // FreeImage keeps the bottom row first.
        const BYTE* line = FreeImage_GetScanLine(image, 47 - row);
        for (int column = 0; column < 48; ++column) {
            const BYTE* pixel = line + 4 * column;
            const std::uint32_t expected = icon[row * 48 + column];
            for (auto [index, shift] : {std::pair{FI_RGBA_RED, 16}, {FI_RGBA_GREEN, 8}, {FI_RGBA_BLUE, 0},
                                        {FI_RGBA_ALPHA, 24}})
                worstChannel = std::max(worstChannel, std::abs(pixel[index] - static_cast<int>(expected >> shift & 0xFF)));
        }
    }
    FreeImage_Unload(image);
    // One step for float rounding between the two drawings.
    EXPECT_LE(worstChannel, 1);
}

TEST(ProgramFolder, ChangesToTheExecutablesFolderFromAnywhere) {
    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_TRUE(ChangeToProgramFolder());
    const std::filesystem::path expected = std::filesystem::canonical("/proc/self/exe").parent_path();
    EXPECT_EQ(std::filesystem::current_path(), expected);
    std::filesystem::current_path(before);
}
