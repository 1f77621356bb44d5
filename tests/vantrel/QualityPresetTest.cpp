#include <gtest/gtest.h>

#include "graphics/QualityPreset.h"

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

TEST(QualityPreset, TheMenuCyclesHighMediumLowAndKeysReadBackInAnyCase) {
    EXPECT_EQ(QualityPreset::Next(QualityPreset::High), QualityPreset::Medium);
    EXPECT_EQ(QualityPreset::Next(QualityPreset::Medium), QualityPreset::Low);
    EXPECT_EQ(QualityPreset::Next(QualityPreset::Low), QualityPreset::High);
    EXPECT_EQ(QualityPreset::FromKey("LOW"), QualityPreset::Low);
    EXPECT_EQ(QualityPreset::FromKey(QualityPreset::Key(QualityPreset::Medium)), QualityPreset::Medium);
    EXPECT_FALSE(QualityPreset::FromKey("ultra"));
}
