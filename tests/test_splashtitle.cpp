// The animated title: the drop-in settles (long frames snap after 2.2 s), the knock-off
// hits every letter but spaces and loops, and a new layout restarts it.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/canvas.h"
#include "theme.h"
#include "ui/splashtitle.h"

namespace {

// Draws frames of dt until pred holds or seconds pass; whether it held.
template <class Pred>
bool runUntil(testsupport::Canvas& cv, ui::SplashTitle& title, double& t, double seconds, Pred pred,
              const std::string& text = "Tarnwick", double dt = 1.0 / 60, double fs = 60) {
    for (const double end = t + seconds; t < end;) {
        t += dt;
        cv.frame(t, dt);
        title.draw(cv.ctx(), 400, 200, fs, 150, text, theme::worldForStage(0).marbleColors);
        if (pred()) return true;
    }
    return false;
}

}  // namespace

TEST(SplashTitle, DropInSettlesThenKnockOffLoops) {
    testsupport::Canvas cv(800, 400);
    for (const double dt : {1.0 / 60, 0.5}) {  // long frames snap to rest after 2.2 s
        ui::SplashTitle title;
        double t = 0;
        ASSERT_TRUE(runUntil(
            cv, title, t, 3, [&] { return title.phase() == 1; }, "ab cd", dt));
        EXPECT_LE(t, 2.2 + 2 * dt);
        for (const auto& l : title.letters()) EXPECT_DOUBLE_EQ(l.y, 200);
        if (dt > 0.1) continue;
        // Every letter but the space is knocked off, a pause, and the drop-in again.
        ASSERT_TRUE(runUntil(
            cv, title, t, 20, [&] { return title.phase() == 2; }, "ab cd"));
        for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(title.letters()[i].alive, i == 2) << i;
        ASSERT_TRUE(runUntil(
            cv, title, t, 1, [&] { return title.phase() == 0; }, "ab cd"));
        for (const auto& l : title.letters()) EXPECT_TRUE(l.alive);
    }
}

TEST(SplashTitle, OnlyANewTextOrALayoutMovedHalfAUnitRestarts) {
    testsupport::Canvas cv(800, 400);
    ui::SplashTitle title;
    double t = 0;
    for (const auto& [fs, text, restarts] : {std::tuple{60.4, "Tarnwick", false},
                                             {60.6, "Tarnwick", true},
                                             {60.0, "Tarnwich", true}}) {
        ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }));
        runUntil(
            cv, title, t, 1.0 / 60, [] { return false; }, text, 1.0 / 60, fs);
        EXPECT_EQ(title.phase(), restarts ? 0 : 1) << fs << " " << text;
    }
}
