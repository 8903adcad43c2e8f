// Particle and popup lifetimes, and what each kind blits while it lives.
#include <gtest/gtest.h>

#include "support/soft_gpu.h"
#include "ui/app.h"
#include "ui/fx.h"
#include "ui/gpu.h"

TEST(Fx, ExpiryKeepsOrderAndFutureParticles) {
    ui::Fx fx;
    ui::Ctx c{};
    auto updateAt = [&](ui::Fx& f, double t) { c.t = t, f.update(c); };
    fx.droplet(0, 0, 0, 0, 1, 0.0, 5);   // a droplet lives 0.9 s
    fx.sparkle(0, 0, 0, 0, 2, 0.5, 5);   // a sparkle 0.75 s
    fx.droplet(0, 0, 0, 0, 3, 10.0, 5);  // not born yet
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
    EXPECT_EQ(fx.parts().size(), 1u);
    fx.clear();
    EXPECT_TRUE(fx.empty());
    fx.popup(150, 150, "+30", 0xffffff, 0, true);
    EXPECT_FALSE(fx.empty());  // popups alone keep it busy
}

TEST(Fx, DrawingBlitsEachLiveKindWhereItIs) {
    testsupport::SoftGpu gpu;
    ui::Ctx c{};
    auto drawAt = [&](testsupport::SoftGpu& g, ui::Fx& f, double t) {  // the blits it took
        g.clear(), c.t = t, f.drawGpu(c);
        return ui::gpuDrawCalls();
    };
    ui::Fx fx;
    fx.droplet(50, 50, 10, 0, 0xff0000, 1.0, 6);
    EXPECT_EQ(drawAt(gpu, fx, 0.5), 0);  // not born yet
    EXPECT_EQ(drawAt(gpu, fx, 1.2), 1);
    EXPECT_GT(testsupport::alphaOf(gpu.image().at(52, 78)), 0) << "moved right and fell";
    EXPECT_EQ(testsupport::alphaOf(gpu.image().at(50, 50)), 0);
    // A falling marble thrown straight down still spins: whole at age 0, three layers
    // once turned, and one splat on the floor line after landing.
    ui::Fx fall;
    fall.fallingBubble(100, 20, 0, 0x00ff00, 1, 0.0, 200, 10);
    EXPECT_EQ(drawAt(gpu, fall, 0.0), 1);
    EXPECT_EQ(drawAt(gpu, fall, 0.1), 3);
    EXPECT_EQ(drawAt(gpu, fall, fall.parts()[0].extra2 + 0.3), 1);
    EXPECT_GT(testsupport::alphaOf(gpu.image().at(100, 200)), 0);
    EXPECT_EQ(testsupport::alphaOf(gpu.image().at(100, 150)), 0);
}
