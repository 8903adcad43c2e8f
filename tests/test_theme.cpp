// Worlds, per-level palettes and the colour helpers at their boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/levels.h"
#include "theme.h"

TEST(Worlds, LevelsAndStagesPickWorldsInTurn) {
    ASSERT_EQ(theme::allWorlds().size(), 5u);
    for (const auto& [level, id] : {std::pair{0, "candy"}, {7, "galaxy"}, {-1, "underwater"},
                                    {-10, "candy"}})
        EXPECT_EQ(theme::worldForLevel(level).id, id) << level;
    for (const auto& [stage, id] : {std::pair{6, "forest"}, {9, "underwater"},
                                    {11, "underwater"}, {-4, "candy"}, {1, "candy"}})
        EXPECT_EQ(theme::worldForStage(stage).id, id) << stage;
    EXPECT_EQ(theme::stageForLevel(3), 6);
    EXPECT_EQ(theme::stageForLevel(-2), 6);
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
    // The last entry is wrapped round to the start of the list.
    EXPECT_EQ((std::vector<std::uint32_t>{p12[0], p12[1], p12[2], p12[7]}),
              (std::vector<std::uint32_t>{0x60A5FA, 0xF472B6, 0x34D399, 0xFF5FA3}));
    // Offsets beyond 15 wrap: level 99 has offset 6 x 9 = 54, rotation 9.
    EXPECT_EQ(theme::paletteForLevel(99)[0], theme::worldForLevel(99).marbleColors[9]);
    // Out-of-range levels: the offset of the clamped level, the world of the level as given.
    EXPECT_EQ(theme::paletteForLevel(150)[0], theme::worldForLevel(150).marbleColors[9]);
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
    const struct {
        std::uint32_t a, b;
        double t;
        std::uint32_t want;
    } mixes[] = {{0x000000, 0xFFFFFF, 0.5, 0x808080},  // 127.5 rounds up
                 {0x123456, 0xABCDEF, 2.0, 0xABCDEF}, {0x123456, 0xABCDEF, -1, 0x123456},
                 {0x123456, 0xABCDEF, std::nan(""), 0x123456}, {0xFF0000, 0x0000FF, 0.25, 0xBF0040},
                 {0xFF000000, 0xFF000000, 0.5, 0}};  // bits above the colour bytes are ignored
    for (const auto& m : mixes) EXPECT_EQ(theme::mix(m.a, m.b, m.t), m.want) << std::hex << m.a;
    EXPECT_EQ(theme::lighten(0x000000, 0.5), 0x808080u);
    EXPECT_EQ(theme::darken(0xFFFFFF, 0.5), 0x808080u);  // 127.5 away from zero
    EXPECT_EQ(theme::darken(0x102030, 1.0), 0x000000u);
    EXPECT_NEAR(theme::luminance(0xFFFFFF), 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(theme::luminance(0x00FF00), 0.7152);
    EXPECT_DOUBLE_EQ(theme::luminance(0x000000), 0.0);
}
