// Worlds and per-level palettes.
#include <gtest/gtest.h>

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
