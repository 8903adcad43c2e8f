// Particle and popup lifetimes, falling-marble timing, and what each kind blits.
#include <gtest/gtest.h>

#include <cmath>

#include "support/canvas.h"
#include "support/soft_gpu.h"
#include "ui/app.h"
#include "ui/fx.h"
#include "ui/gpu.h"

using testsupport::SoftGpu;

namespace {

void updateAt(ui::Fx& fx, double t) {
    ui::Ctx c{};
    c.t = t;
    fx.update(c);
}

// Draws fx at time t on a cleared picture; returns the blits it took.
int drawAt(SoftGpu& gpu, ui::Fx& fx, double t) {
    gpu.clear();
    ui::Ctx c{};
    c.t = t;
    fx.drawGpu(c);
    return ui::gpuDrawCalls();
}

}  // namespace

TEST(Fx, SpawnersAndFallTimes) {
    ui::Fx fx;
    fx.droplet(1, 2, 3, 4, 0x112233, 5.0, 6);
    fx.sparkle(1, 2, 3, 4, 0x112233, 5.0, 6);
    fx.shockwave(10, 20, 0xff0000, 1.0, 1.5, 12);
    fx.popGhost(10, 20, 0xff0000, 2, 1.0, 12);
    ASSERT_EQ(fx.parts().size(), 4u);
    EXPECT_DOUBLE_EQ(fx.parts()[0].life, 0.9);
    EXPECT_DOUBLE_EQ(fx.parts()[1].life, 0.75);
    EXPECT_EQ(fx.parts()[2].kind, 2);
    EXPECT_DOUBLE_EQ(fx.parts()[2].extra, 12 * 2.6 * 1.5);
    EXPECT_DOUBLE_EQ(fx.parts()[2].size, 1.5);
    EXPECT_DOUBLE_EQ(fx.parts()[3].life, 0.28);
    EXPECT_EQ(fx.parts()[3].skin, 2);

    // 30 units above the floor still falls as if from 60.
    fx.fallingBubble(50, 100, 0, 0xff, 1, 0.0, 100 + 30 + 0.8 * 10, 10);
    EXPECT_NEAR(fx.parts().back().extra2, std::sqrt(120.0 / 2600.0), 1e-12);
    // 500 units: sqrt(2 d / 2600).
    fx.fallingBubble(50, 100, 0, 0xff, 1, 0.0, 100 + 500 + 8, 10);
    EXPECT_NEAR(fx.parts().back().extra2, std::sqrt(1000.0 / 2600.0), 1e-12);
    EXPECT_NEAR(fx.parts().back().life, fx.parts().back().extra2 + 0.6, 1e-12);
    EXPECT_DOUBLE_EQ(fx.parts().back().extra, 608);
}

TEST(Fx, ExpiryKeepsOrderAndFutureParticles) {
    ui::Fx fx;
    fx.droplet(0, 0, 0, 0, 1, 0.0, 5);    // dies after 0.9
    fx.sparkle(0, 0, 0, 0, 2, 0.5, 5);    // dies after 1.25
    fx.droplet(0, 0, 0, 0, 3, 10.0, 5);   // not born yet
    fx.popup(0, 0, "+30", 0xffffff, 0.0, false);
    updateAt(fx, 0.9);
    EXPECT_EQ(fx.parts().size(), 3u);  // exactly at its life it still lives
    updateAt(fx, 1.0);
    ASSERT_EQ(fx.parts().size(), 2u);
    EXPECT_EQ(fx.parts()[0].color, 2u);
    EXPECT_EQ(fx.parts()[1].color, 3u);
    updateAt(fx, 1.1);
    EXPECT_EQ(fx.popups().size(), 1u);  // a popup lives 1.1 s inclusive
    updateAt(fx, 1.3);
    EXPECT_TRUE(fx.popups().empty());
    ASSERT_EQ(fx.parts().size(), 1u);
    EXPECT_FALSE(fx.empty());
    fx.clear();
    EXPECT_TRUE(fx.empty());
    fx.popup(0, 0, "x", 0, 0, true);
    EXPECT_FALSE(fx.empty());  // popups alone keep it busy
}

TEST(Fx, DrawingBlitsEachLiveKind) {
    SoftGpu gpu;
    ui::Fx fx;
    fx.droplet(50, 50, 10, 0, 0xff0000, 1.0, 6);
    EXPECT_EQ(drawAt(gpu, fx, 0.5), 0);  // not born yet: not drawn
    EXPECT_EQ(drawAt(gpu, fx, 1.2), 1);
    // The droplet has moved right and fallen: 700 a^2 below its start.
    EXPECT_GT(testsupport::alphaOf(gpu.pixel(52, 78)), 0);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(50, 50)), 0);

    // A falling marble thrown straight down still spins (+1.6 rad/s): three layers.
    ui::Fx fall;
    fall.fallingBubble(100, 20, 0, 0x00ff00, 1, 0.0, 200, 10);
    EXPECT_EQ(drawAt(gpu, fall, 0.0), 1);  // at age 0 the angle is 0: one whole marble
    EXPECT_EQ(drawAt(gpu, fall, 0.1), 3);
    // After landing it is one splat on the floor line.
    EXPECT_EQ(drawAt(gpu, fall, fall.parts()[0].extra2 + 0.3), 1);
    EXPECT_GT(testsupport::alphaOf(gpu.pixel(100, 200)), 0);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(100, 150)), 0);
}

TEST(Fx, PosesAreClosedFormInAge) {
    ui::Fx fx;
    fx.droplet(10, 20, 100, -50, 0x336699, 2.0, 8);
    fx.sparkle(10, 20, 100, -50, 0x000000, 2.0, 8);
    fx.shockwave(50, 60, 0xff0000, 2.0, 2.0, 10);
    fx.popGhost(5, 6, 0x000000, 1, 2.0, 12);
    fx.fallingBubble(100, 0, 40, 0x00ff00, 1, 2.0, 1000, 10);
    const auto& p = fx.parts();

    // Droplet after 0.45 s (half its life): moved, fallen 700 a^2, shrunk, half faded.
    ui::Fx::Pose d = ui::Fx::pose(p[0], 2.45);
    ASSERT_TRUE(d.visible);
    EXPECT_NEAR(d.x, 10 + 45, 1e-9);
    EXPECT_NEAR(d.y, 20 - 22.5 + 700 * 0.45 * 0.45, 1e-9);
    EXPECT_NEAR(d.hw, (1 - 0.35 * 0.5) * 8, 1e-9);
    EXPECT_NEAR(d.alpha, 0.5, 1e-9);
    EXPECT_EQ(d.tint, 0x336699u);
    // Not yet born: stays invisible.
    EXPECT_FALSE(ui::Fx::pose(p[0], 1.99).visible);

    ui::Fx::Pose s = ui::Fx::pose(p[1], 2.375);  // u = 0.5
    EXPECT_NEAR(s.y, 20 - 18.75 + 245 * 0.375 * 0.375, 1e-9);
    EXPECT_NEAR(s.hw, 6, 1e-9);
    EXPECT_NEAR(s.alpha, 0.45, 1e-9);
    EXPECT_EQ(s.tint, 0x808080u);  // lightened halfway to white

    ui::Fx::Pose w = ui::Fx::pose(p[2], 2.5);  // end of life: full size, gone
    EXPECT_EQ(w.sprite, ui::Fx::Sprite::Ring);
    EXPECT_NEAR(w.hw, 10 * 2.6 * 2.0, 1e-9);
    EXPECT_NEAR(w.alpha, 0.0, 1e-12);
    EXPECT_NEAR(ui::Fx::pose(p[2], 2.0).hw, 0.25 * 52, 1e-9);

    ui::Fx::Pose g = ui::Fx::pose(p[3], 2.14);  // u = 0.5
    EXPECT_NEAR(g.hw, 1.3 * 12, 1e-9);
    EXPECT_NEAR(g.alpha, 0.475, 1e-9);
    EXPECT_DOUBLE_EQ(g.x, 5);

    // Falling marble: 1300 a^2 down, tumbling at 0.3 vx / r + 1.6 rad/s.
    const double T = p[4].extra2;
    ui::Fx::Pose f = ui::Fx::pose(p[4], 2.2);
    EXPECT_EQ(f.sprite, ui::Fx::Sprite::Marble);
    EXPECT_NEAR(f.y, 1300 * 0.04, 1e-9);
    EXPECT_NEAR(f.x, 108, 1e-9);
    EXPECT_NEAR(f.angleDeg, (0.3 * 40 / 10 + 1.6) * 0.2 * 180 / M_PI, 1e-9);
    // Halfway through the splash: wider, flatter, on the floor line where it landed.
    ui::Fx::Pose splat = ui::Fx::pose(p[4], 2.0 + T + 0.3);
    EXPECT_EQ(splat.sprite, ui::Fx::Sprite::Blob);
    EXPECT_NEAR(splat.hw, 22, 1e-9);
    EXPECT_NEAR(splat.hh, 6.5, 1e-9);
    EXPECT_NEAR(splat.y, 1000, 1e-9);
    EXPECT_NEAR(splat.x, 100 + 40 * T, 1e-9);
    EXPECT_NEAR(splat.alpha, 0.425, 1e-9);
    EXPECT_NEAR(ui::Fx::pose(p[4], 2.0 + T + 5).alpha, 0.0, 1e-12);
    // Thrown left, it turns the other way.
    ui::Fx left;
    left.fallingBubble(0, 0, -20, 0, 0, 0.0, 500, 10);
    EXPECT_LT(ui::Fx::pose(left.parts()[0], 0.1).angleDeg, 0);
}

TEST(FxPopups, RiseAndFadeInTheirColour) {
    testsupport::Canvas cv(300, 300);
    ui::Fx fx;
    fx.popup(150, 200, "+30", 0x33cc33, 0.0, true);
    fx.popup(150, 200, "late", 0xffffff, 5.0, false);  // not born yet: draws nothing
    // The mean row of the green text's pixels and the strongest alpha among them.
    auto green = [&](double t, double* row, int* alpha) {
        cv.frame(t);
        fx.drawText(cv.ctx());
        long sum = 0, n = 0;
        *alpha = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x) {
                const std::uint32_t rgb = cv.rgb(x, y);
                const int a = static_cast<int>(cv.pixel(x, y) >> 24);
                if (a > 20 && ((rgb >> 8) & 0xFF) > 150 && (rgb >> 16) < 120) {
                    sum += y;
                    ++n;
                    *alpha = std::max(*alpha, a);
                }
            }
        *row = n > 40 ? static_cast<double>(sum) / n : -1.0;
    };
    double early = 0, late = 0;
    int earlyAlpha = 0, lateAlpha = 0;
    green(0.05, &early, &earlyAlpha);
    green(0.9, &late, &lateAlpha);
    EXPECT_NEAR(early, 200 - 60 * 0.05 / 1.1, 3);  // centred on its point, rising 60 units
    EXPECT_NEAR(late, 200 - 60 * 0.9 / 1.1, 3);
    EXPECT_GT(earlyAlpha, 240);
    EXPECT_LT(lateAlpha, 0.45 * 255);  // 1 - (0.9 / 1.1)^2 of full strength
    cv.frame(1.2);
    fx.drawText(cv.ctx());
    EXPECT_EQ(cv.inked(0, 0, 300, 300), 0);  // gone after its life
}
