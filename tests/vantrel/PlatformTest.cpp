#include <gtest/gtest.h>

#include <unistd.h>

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

TEST(ProgramFolder, ChangesToTheExecutablesFolderFromAnywhere) {
    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_TRUE(ChangeToProgramFolder());
    const std::filesystem::path expected = std::filesystem::canonical("/proc/self/exe").parent_path();
    EXPECT_EQ(std::filesystem::current_path(), expected);
    std::filesystem::current_path(before);
}
