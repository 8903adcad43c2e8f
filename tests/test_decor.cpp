// Mascot tricks, fireworks and the combo burst's window.
#include <gtest/gtest.h>

#include <vector>

#include "support/canvas.h"
#include "support/headless.h"
#include "ui/decor.h"

using testsupport::Canvas;

TEST(Mascot, TricksShowOnlyWithinTheirTimeAndTheGazeMovesTheEyes) {
    Canvas cv(200, 200);
    auto mascot = [&cv](ui::Trick trick, double age, double lookX = 0) {
        cv.frame(0);
        ui::drawMascot(cv.ctx(), 100, 100, 120, 0xff5fa3, ui::Mood::Idle, lookX, 0, trick, age);
        return cv.image().px;
    };
    const auto still = mascot(ui::Trick::None, 0);
    for (int k = 1; k <= 9; ++k) {
        const auto trick = static_cast<ui::Trick>(k);
        const double d = ui::trickDuration(trick);
        ASSERT_GT(d, 0) << k;
        EXPECT_EQ(mascot(trick, -0.01), still) << k;
        EXPECT_EQ(mascot(trick, d), still) << k;
        EXPECT_NE(mascot(trick, 0.45 * d), still) << k;
    }
    EXPECT_NE(mascot(ui::Trick::None, 0, 1), mascot(ui::Trick::None, 0, -1));
}

TEST(Celebrations, FireworksAreSeededAndTheComboBurstEnds) {
    Canvas cv(640, 360);
    auto fireworks = [&](std::uint32_t seed) {
        cv.frame(1.7);
        ui::drawFireworks(cv.ctx(), seed);
        return cv.image().px;
    };
    EXPECT_EQ(fireworks(77), fireworks(77));
    EXPECT_NE(fireworks(77), fireworks(78));
    ui::ComboBurst burst;
    burst.trigger(cv.ctx(), "COMBO x4", "+1200", 0x4dc6ff);
    EXPECT_TRUE(burst.active(cv.ctx()));
    burst.draw(cv.ctx());
    EXPECT_GT(cv.inked(0, 0, 640, 360), 100);
    cv.frame(1.7 + 2.5);
    EXPECT_FALSE(burst.active(cv.ctx()));
    burst.draw(cv.ctx());
    EXPECT_EQ(cv.inked(0, 0, 640, 360, 0), 0);
}

// Sparks of every size, small enough to share one sheet on OpenGL or too large for it, at
// places that are not whole pixels: OpenGL's copies show what the software renderer blends
// from each disc's own coverage.
TEST(Celebrations, SparksOfEverySizeLookAlikeOnBothRenderers) {
    auto sparks = [](testsupport::RenderPath path) {
        testsupport::Headless h(480, 120, path);
        EXPECT_TRUE(h.ok());
        h.setUpdate([](ui::Ctx& c) {
            for (int n = 1; n <= 36; ++n) {
                const double x = 6 + 13.0 * n + 0.3 * (n % 3);
                const double y = n % 2 == 0 ? 30.4 : 80.7;
                ui::sparkDisc(c.cr, x, y, n / 2.0, n % 3 == 0 ? 0xFFD040 : 0x60E0FF, 0.9);
            }
        });
        return h.frame(0);
    };
    const testsupport::Frame gl = sparks(testsupport::RenderPath::OpenGL);
    const testsupport::Frame sw = sparks(testsupport::RenderPath::Software);
    ASSERT_EQ(gl.w, sw.w);
    EXPECT_LE(testsupport::maxChannelDiff(gl, sw), 4);
    EXPECT_NE(gl.at(6 + 13 * 30, 30), gl.at(6 + 13 * 30, 55));  // the sparks show
}
