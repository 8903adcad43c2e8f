// Worlds and per-level palettes, and the colour mix at its boundaries.
#include <gtest/gtest.h>

#include <cmath>

#include "core/levels.h"
#include "theme.h"

TEST(Worlds, EveryLevelDrawsItsStagesWorldWithDistinctMarbles) {
    for (int f = -7; f < 120; ++f)
        EXPECT_EQ(&theme::worldForStage(theme::stageForLevel(f)), &theme::worldForLevel(f)) << f;
    for (int f = 0; f < 100; ++f) {
        const auto p = theme::paletteForLevel(f);
        for (int i = 0; i < core::levelConfig(f).numColors; ++i)
            for (int j = i + 1; j < core::levelConfig(f).numColors; ++j)
                EXPECT_NE(p[i], p[j]) << "level " << f;
    }
}

TEST(Colours, MixRoundsAndClamps) {
    EXPECT_EQ(theme::mix(0x000000, 0xFFFFFF, 0.5), 0x808080u);
    EXPECT_EQ(theme::mix(0xFF0000, 0x0000FF, 0.25), 0xBF0040u);
    EXPECT_EQ(theme::mix(0x123456, 0xABCDEF, 2.0), 0xABCDEFu);
    EXPECT_EQ(theme::mix(0x123456, 0xABCDEF, std::nan("")), 0x123456u);
    EXPECT_EQ(theme::darken(0xFFFFFF, 0.5), 0x808080u);
}
