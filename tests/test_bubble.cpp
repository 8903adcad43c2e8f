// Worlds and per-level palettes; marble, orb and obstacle sprites against a reference picture.
#include <gtest/gtest.h>

#include "core/levels.h"
#include "support/soft_gpu.h"
#include "theme.h"
#include "ui/bubble.h"
#include "ui/gpu.h"

TEST(BubbleSprites, EveryWorldsMarblesMatchTheReferencePicture) {
    testsupport::SoftGpu gpu(900, 420);
    SDL_SetRenderDrawColor(gpu.renderer(), 36, 28, 64, 255);
    SDL_RenderClear(gpu.renderer());
    const auto& worlds = theme::allWorlds();
    for (std::size_t w = 0; w < worlds.size(); ++w)
        for (int i = 0; i < 15; ++i)
            ui::drawBubble(worlds[w].marbleSkin, worlds[w].marbleColors[i], 30 + i * 56,
                           30 + static_cast<double>(w) * 58, 24, i == 14 ? 0.5 : 1.0);
    ui::drawStarOrb(60, 360, 26, 0.7);
    for (int k = 0; k < 3; ++k) ui::drawObstacle(k, 140 + k * 75, 360, 26, 0);
    ui::drawBubbleSpun(theme::MarbleSkin::Crystal, 0xffd700, 370, 360, 24, 30, 1.0);
    EXPECT_TRUE(testsupport::matchesGolden(gpu.image(), "sprites", 16, 100));
}

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
