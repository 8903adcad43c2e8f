// Marble, orb and obstacle sprites: their looks against a reference picture, and the blits
// a marble takes whole, turned or too small to see.
#include <gtest/gtest.h>

#include <cmath>

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

TEST(BubbleSprites, TurnedMarblesTakeThreeLayersTinyOnesNone) {
    testsupport::SoftGpu gpu;
    ui::drawBubbleSpun(theme::MarbleSkin::Bubble, 0x4dc6ff, 60, 60, 20, 720.02, 1.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 1) << "a whole number of turns draws it whole";
    gpu.clear();
    ui::drawBubbleSpun(theme::MarbleSkin::Bubble, 0x4dc6ff, 60, 60, 20, -90, 1.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 3);
    gpu.clear();
    ui::drawStarOrb(50, 50, 0.2, 0.0);
    ui::drawBubble(theme::MarbleSkin::Classic, 0x123456, 50, 50, 0.1, 1.0);
    ui::drawObstacle(0, 50, 50, std::nan(""), 0.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 0);
}
