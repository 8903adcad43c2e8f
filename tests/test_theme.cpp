// Worlds, per-level palettes and the colour helpers at their boundaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
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
              (std::vector<std::uint32_t>{0x60A5FA, 0xE760A7, 0x29D39B, 0xFF5FA3}));
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

namespace {

// A colour as a red-blind (protanope) or green-blind (deuteranope) player sees it, after
// Machado, Oliveira and Fernandes (2009) at full severity, in CIE L*a*b* (D65).
struct Lab {
    double l, a, b;
};
Lab seenAs(std::uint32_t rgb, const double (&m)[3][3]) {
    const auto linear = [](int v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double in[3] = {linear((rgb >> 16) & 0xFF), linear((rgb >> 8) & 0xFF),
                          linear(rgb & 0xFF)};
    double c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = std::clamp(m[i][0] * in[0] + m[i][1] * in[1] + m[i][2] * in[2], 0.0, 1.0);
    const double x = (0.4124 * c[0] + 0.3576 * c[1] + 0.1805 * c[2]) / 0.95047;
    const double y = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
    const double z = (0.0193 * c[0] + 0.1192 * c[1] + 0.9505 * c[2]) / 1.08883;
    const auto f = [](double t) {
        return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
    };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

}  // namespace

TEST(Colours, MarblesOfAGameStayApartForRedAndGreenBlindPlayers) {
    constexpr double kProtan[3][3] = {{0.152286, 1.052583, -0.204868},
                                      {0.114503, 0.786281, 0.099216},
                                      {-0.003882, -0.048116, 1.051998}};
    constexpr double kDeutan[3][3] = {{0.367322, 0.860646, -0.227968},
                                      {0.280085, 0.672501, 0.047413},
                                      {-0.011820, 0.042940, 0.968881}};
    // The colours that meet in one game: each level's, and an arcade run's up to six.
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> games;
    for (int f = 0; f < 100; ++f) {
        auto p = theme::paletteForLevel(f);
        p.resize(static_cast<size_t>(core::levelConfig(f).numColors));
        games.emplace_back("level " + std::to_string(f + 1), p);
    }
    for (const theme::World& w : theme::allWorlds())
        games.emplace_back("arcade " + w.id,
                           std::vector(w.marbleColors.begin(), w.marbleColors.begin() + 6));
    for (const auto& [name, m] : {std::pair{"protanope", &kProtan}, {"deuteranope", &kDeutan}}) {
        double least = 1e9;
        std::string where;
        for (const auto& [game, colours] : games) {
            for (size_t i = 0; i < colours.size(); ++i) {
                for (size_t j = i + 1; j < colours.size(); ++j) {
                    const Lab a = seenAs(colours[i], *m);
                    const Lab b = seenAs(colours[j], *m);
                    const double d = std::hypot(a.l - b.l, a.a - b.a, a.b - b.b);
                    if (d < least) {
                        least = d;
                        char pair[32];
                        std::snprintf(pair, sizeof pair, " %06X/%06X", colours[i], colours[j]);
                        where = game + pair;
                    }
                }
            }
        }
        std::printf("[ colours ] %s: closest two marble colours of a game %.1f apart (%s)\n", name,
                    least, where.c_str());
        EXPECT_GE(least, 10.0) << name << ", " << where;
    }
}
