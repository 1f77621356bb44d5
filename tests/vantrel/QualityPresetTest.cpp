#include <gtest/gtest.h>

#include "QualityPreset.h"

TEST(QualityPreset, SoftwareRasterisersStartLowEverythingElseHigh) {
    const struct {
        const char* renderer;
        QualityPreset::Level level;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", QualityPreset::Low},
        {"Mesa OffScreen softpipe", QualityPreset::Low},
        {"Software Rasterizer SWRAST", QualityPreset::Low},  // any case
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", QualityPreset::High},
        {"AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)", QualityPreset::High},  // LLVM is not llvmpipe
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", QualityPreset::High},
        {"", QualityPreset::High},  // no context to ask
    };
    for (const auto& c : cases) EXPECT_EQ(QualityPreset::ForRenderer(c.renderer), c.level) << c.renderer;
}

TEST(QualityPreset, KeysReadBackAndTheMenuCyclesThroughAllThree) {
    QualityPreset::Level level = QualityPreset::High;
    const char* names[3] = {};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(QualityPreset::FromKey(QualityPreset::Key(level)), level);
        names[i] = QualityPreset::Name(level);
        level = QualityPreset::Next(level);
    }
    EXPECT_EQ(level, QualityPreset::High);
    EXPECT_STREQ(names[1], "Medium");
    EXPECT_STREQ(names[2], "Low");
    EXPECT_EQ(QualityPreset::FromKey("LOW"), QualityPreset::Low);
    EXPECT_FALSE(QualityPreset::FromKey("ultra"));
    EXPECT_FALSE(QualityPreset::FromKey(""));
    // High is the full look; each step down costs less.
    const QualityPreset::Settings high = QualityPreset::For(QualityPreset::High);
    EXPECT_EQ(high.shadowMapSize, 2048u);
    EXPECT_EQ(high.environmentMapSize, 512u);
    EXPECT_TRUE(high.reflections);
    EXPECT_TRUE(high.perPixelLighting);
    EXPECT_EQ(high.drawDistanceM, 0.0f);
    EXPECT_LT(QualityPreset::For(QualityPreset::Low).shadowMapSize, QualityPreset::For(QualityPreset::Medium).shadowMapSize);
}
