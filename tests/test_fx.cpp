// Particle and popup lifetimes, falling-marble timing, and what each kind blits.
#include <gtest/gtest.h>

#include <cmath>

#include "support/soft_gpu.h"
#include "ui/app.h"
#include "ui/fx.h"
#include "ui/gpu.h"

using testsupport::SoftGpu;

namespace {

ui::Ctx at(double t) {
    ui::Ctx c{};
    c.t = t;
    return c;
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
    EXPECT_NEAR(fx.parts().back().extra2, 0.2148, 1e-4);
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
    ui::Ctx c = at(0.9);
    fx.update(c);
    EXPECT_EQ(fx.parts().size(), 3u);  // exactly at its life it still lives
    c = at(1.0);
    fx.update(c);
    ASSERT_EQ(fx.parts().size(), 2u);
    EXPECT_EQ(fx.parts()[0].color, 2u);
    EXPECT_EQ(fx.parts()[1].color, 3u);
    c = at(1.1);
    fx.update(c);
    EXPECT_EQ(fx.popups().size(), 1u);  // a popup lives 1.1 s inclusive
    c = at(1.3);
    fx.update(c);
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
    ui::Ctx c = at(0.5);  // not born yet: not drawn
    fx.drawGpu(c);
    EXPECT_EQ(ui::gpuDrawCalls(), 0);
    c = at(1.2);
    fx.drawGpu(c);
    EXPECT_EQ(ui::gpuDrawCalls(), 1);
    // The droplet has moved right and fallen: 700 a^2 below its start.
    EXPECT_GT(testsupport::alphaOf(gpu.pixel(52, 78)), 0);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(50, 50)), 0);

    // A falling marble thrown straight down still spins (+1.6 rad/s): three layers.
    ui::Fx fall;
    fall.fallingBubble(100, 20, 0, 0x00ff00, 1, 0.0, 200, 10);
    gpu.clear();
    c = at(0.0);
    fall.drawGpu(c);  // at age 0 the angle is 0: one whole marble
    EXPECT_EQ(ui::gpuDrawCalls(), 1);
    gpu.clear();
    c = at(0.1);
    fall.drawGpu(c);
    EXPECT_EQ(ui::gpuDrawCalls(), 3);
    // After landing it is one splat on the floor line.
    gpu.clear();
    c = at(fall.parts()[0].extra2 + 0.3);
    fall.drawGpu(c);
    EXPECT_EQ(ui::gpuDrawCalls(), 1);
    EXPECT_GT(testsupport::alphaOf(gpu.pixel(100, 200)), 0);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(100, 150)), 0);
}
