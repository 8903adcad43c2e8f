// Worlds, per-level palettes and the colour helpers at their boundaries.
#include <gtest/gtest.h>

#include <cmath>

#include "core/levels.h"
#include "theme.h"

TEST(Worlds, LevelsAndStagesPickWorldsInTurn) {
    ASSERT_EQ(theme::allWorlds().size(), 5u);
    EXPECT_EQ(theme::worldForLevel(0).id, "candy");
    EXPECT_EQ(theme::worldForLevel(7).id, "galaxy");
    EXPECT_EQ(theme::worldForLevel(-1).id, "underwater");
    EXPECT_EQ(theme::worldForLevel(-10).id, "candy");
    EXPECT_EQ(theme::stageForLevel(3), 6);
    EXPECT_EQ(theme::stageForLevel(-2), 6);
    EXPECT_EQ(theme::worldForStage(6).id, "forest");
    EXPECT_EQ(theme::worldForStage(9).id, "underwater");
    EXPECT_EQ(theme::worldForStage(11).id, "underwater");
    EXPECT_EQ(theme::worldForStage(-4).id, "candy");
    EXPECT_EQ(theme::worldForStage(1).id, "candy");
    // Every level's stage draws the same world as the level itself.
    for (int f = -7; f < 120; ++f)
        EXPECT_EQ(&theme::worldForStage(theme::stageForLevel(f)), &theme::worldForLevel(f));
    for (const theme::World& w : theme::allWorlds()) {
        EXPECT_EQ(w.marbleColors.size(), 15u) << w.id;
        EXPECT_EQ(w.bgGradient.size(), 4u) << w.id;
        EXPECT_EQ(w.sceneryPalette.size(), 5u) << w.id;
        EXPECT_EQ(w.shapePalette.size(), 5u) << w.id;
        EXPECT_EQ(w.nameKey, "worlds." + w.id);
    }
    EXPECT_TRUE(theme::worldForLevel(2).dark);
    EXPECT_EQ(theme::worldForLevel(2).marbleSkin, theme::MarbleSkin::Crystal);
}

TEST(Worlds, PalettesRotateByTheLevelsOffset) {
    EXPECT_EQ(theme::paletteForLevel(0), theme::worldForLevel(0).marbleColors);
    const auto p12 = theme::paletteForLevel(12);  // galaxy, offset 4 x 2 = 8
    ASSERT_EQ(p12.size(), 15u);
    EXPECT_EQ(p12[0], 0x60A5FAu);
    EXPECT_EQ(p12[1], 0xF472B6u);
    EXPECT_EQ(p12[2], 0x34D399u);
    EXPECT_EQ(p12[7], 0xFF5FA3u);  // wrapped round to the start of the list
    // Offsets beyond 15 wrap: level 99 has offset 6 x 9 = 54, rotation 9.
    const auto p99 = theme::paletteForLevel(99);
    EXPECT_EQ(p99[0], theme::worldForLevel(99).marbleColors[9]);
    // Out-of-range levels: the offset of the clamped level, the world of the level as given.
    const auto p150 = theme::paletteForLevel(150);
    EXPECT_EQ(p150[0], theme::worldForLevel(150).marbleColors[9]);
    EXPECT_EQ(theme::paletteForLevel(-5)[0], theme::worldForLevel(-5).marbleColors[0]);
    // Within one level the colours its marbles use are distinct.
    for (int f = 0; f < 100; ++f) {
        const auto p = theme::paletteForLevel(f);
        const int n = core::levelConfig(f).numColors;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) EXPECT_NE(p[i], p[j]) << "level " << f;
    }
}

TEST(Colours, MixRoundsAndClamps) {
    EXPECT_EQ(theme::mix(0x000000, 0xFFFFFF, 0.5), 0x808080u);  // 127.5 rounds up
    EXPECT_EQ(theme::mix(0x123456, 0xABCDEF, 2.0), 0xABCDEFu);
    EXPECT_EQ(theme::mix(0x123456, 0xABCDEF, -1), 0x123456u);
    EXPECT_EQ(theme::mix(0x123456, 0xABCDEF, std::nan("")), 0x123456u);
    EXPECT_EQ(theme::mix(0xFF0000, 0x0000FF, 0.25), 0xBF0040u);
    EXPECT_EQ(theme::lighten(0x000000, 0.5), 0x808080u);
    EXPECT_EQ(theme::darken(0xFFFFFF, 0.5), 0x808080u);  // 127.5 away from zero
    EXPECT_EQ(theme::darken(0x102030, 1.0), 0x000000u);
    // Bits above the colour bytes are ignored.
    EXPECT_EQ(theme::mix(0xFF000000u, 0xFF000000u, 0.5), 0u);
    EXPECT_NEAR(theme::luminance(0xFFFFFF), 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(theme::luminance(0x00FF00), 0.7152);
    EXPECT_DOUBLE_EQ(theme::luminance(0x000000), 0.0);
}
