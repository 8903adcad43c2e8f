// The animated title: its layout, the drop-in with long frames and the 2.2 s snap, the
// knock-off with its hits, misses and resets, spaces in the title, resize restarts; and
// screenshots of its phases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/canvas.h"
#include "theme.h"
#include "ui/splashtitle.h"

using testsupport::Canvas;
using ui::SplashTitle;

namespace {

constexpr double kFs = 60;
constexpr double kBase = 200;
constexpr double kCx = 400;
constexpr double kDt = 1.0 / 60;

const std::vector<std::uint32_t>& colours() { return theme::worldForStage(0).marbleColors; }

struct Layout {
    double cx = kCx, base = kBase, fs = kFs;
};

// Runs frames of dt until pred holds or maxSeconds pass; returns whether it held.
template <class Pred>
bool runUntil(Canvas& cv, SplashTitle& title, double& t, double maxSeconds, Pred pred,
              const std::string& text = "Tarnwick", double rainH = 150, double dt = kDt,
              const Layout& at = Layout{}) {
    const double end = t + maxSeconds;
    while (t < end) {
        t += dt;
        cv.frame(t, dt);
        title.draw(cv.ctx(), at.cx, at.base, at.fs, rainH, text, colours());
        if (pred()) return true;
    }
    return false;
}

int aliveCount(const SplashTitle& title) {
    int n = 0;
    for (const auto& l : title.letters()) n += l.alive;
    return n;
}

}  // namespace

TEST(SplashTitle, LayoutAndDropIn) {
    Canvas cv(800, 400);
    SplashTitle title;
    EXPECT_DOUBLE_EQ(title.phaseSince(), -1);
    EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
    double t = 5;
    cv.frame(t, 0);
    title.draw(cv.ctx(), kCx, kBase, kFs, 150, "Tarnwick", colours());
    ASSERT_EQ(title.letters().size(), 8u);
    EXPECT_EQ(title.phase(), 0);
    for (std::size_t i = 0; i < 8; ++i) {
        const auto& l = title.letters()[i];
        EXPECT_DOUBLE_EQ(l.x, kCx - 8 * 0.62 * kFs / 2 + (i + 0.5) * 0.62 * kFs);
        EXPECT_DOUBLE_EQ(l.startAt, 5 + 0.11 * i);
        EXPECT_EQ(l.color, colours()[i % colours().size()]);
        EXPECT_EQ(l.ch, std::string(1, "Tarnwick"[i]));
    }
    // The first letter has started, the second not yet (dt 0: nothing moved).
    EXPECT_DOUBLE_EQ(title.letters()[0].y, kBase - 4 * kFs);

    // A frame of 0.5 s moves like one of 0.064 s.
    t += 0.5;
    cv.frame(t, 0.5);
    title.draw(cv.ctx(), kCx, kBase, kFs, 150, "Tarnwick", colours());
    EXPECT_DOUBLE_EQ(title.letters()[0].vy, 1800 * 0.064);
    EXPECT_DOUBLE_EQ(title.letters()[0].y, kBase - 4 * kFs + 1800 * 0.064 * 0.064);

    // Normal frames: the letters bounce to rest on the base line, then the knock-off begins.
    SplashTitle calm;
    t = 0;
    cv.frame(t, 0);
    calm.draw(cv.ctx(), kCx, kBase, kFs, 150, "Tarnwick", colours());
    bool bounced = false;
    ASSERT_TRUE(runUntil(cv, calm, t, 3.0, [&] {
        for (const auto& l : calm.letters()) bounced = bounced || l.vy < 0;
        return calm.phase() == 1;
    }));
    EXPECT_TRUE(bounced);
    EXPECT_LE(t, 2.2 + kDt);  // the last letters are still bouncing then: they snap
    for (const auto& l : calm.letters()) {
        EXPECT_DOUBLE_EQ(l.y, kBase);
        EXPECT_DOUBLE_EQ(l.vy, 0);
    }
    EXPECT_DOUBLE_EQ(calm.phaseSince(), t);
    EXPECT_DOUBLE_EQ(calm.nextBallAt(), t + 0.35);
}

TEST(SplashTitle, LongFramesSnapAfterTwoSeconds) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 1;
    cv.frame(t, 0.5);
    title.draw(cv.ctx(), kCx, kBase, kFs, 150, "Tarnwick", colours());
    ASSERT_TRUE(runUntil(cv, title, t, 5, [&] { return title.phase() == 1; }, "Tarnwick", 150,
                         0.5));
    EXPECT_DOUBLE_EQ(t, 3.5);  // 2.5 s after the reset: the first frame past 2.2 s
    for (const auto& l : title.letters()) {
        EXPECT_DOUBLE_EQ(l.y, kBase);
        EXPECT_DOUBLE_EQ(l.vy, 0);
    }
}

TEST(SplashTitle, KnockOffHitsAndTheLoop) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 0;
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }));
    const double knockStart = t;

    // The first marble drops 0.35 s later above a letter, rainH over the base line.
    ASSERT_TRUE(runUntil(cv, title, t, 1, [&] { return !title.balls().empty(); }));
    EXPECT_GE(t, knockStart + 0.35 - 1e-9);
    EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
    const auto drop = title.balls()[0];
    EXPECT_DOUBLE_EQ(drop.r, 0.32 * kFs);
    bool overLetter = false;
    for (const auto& l : title.letters()) overLetter = overLetter || l.x == drop.x;
    EXPECT_TRUE(overLetter);

    // It hits: the letter freezes, 50 sparks and two rings fly, the marble sticks.
    ASSERT_TRUE(runUntil(cv, title, t, 2, [&] { return aliveCount(title) == 7; }));
    const double hitAt = t;
    EXPECT_EQ(title.sparks().size(), 50u);
    ASSERT_EQ(title.rings().size(), 2u);
    EXPECT_EQ(title.rings()[0].color, 0xffd23du);
    EXPECT_DOUBLE_EQ(title.rings()[1].bornAt, hitAt + 0.04);
    ASSERT_EQ(title.balls().size(), 1u);
    EXPECT_DOUBLE_EQ(title.balls()[0].stuckAt, hitAt);
    EXPECT_DOUBLE_EQ(title.nextBallAt(), hitAt + 0.75);
    const SplashTitle::Letter* hit = nullptr;
    for (const auto& l : title.letters())
        if (!l.alive) hit = &l;
    ASSERT_NE(hit, nullptr);
    EXPECT_DOUBLE_EQ(hit->hitAt, hitAt);
    EXPECT_LE(hit->pendVy, -1500);
    EXPECT_GE(std::fabs(hit->pendRot), 8);
    EXPECT_EQ(hit->pendRot < 0, hit->pendVx < 0);
    const double frozenX = hit->x;

    // During the freeze it stays put; 0.15 s later the marble becomes a boom and the
    // letter flies.
    runUntil(cv, title, t, 0.1, [] { return false; });
    EXPECT_DOUBLE_EQ(hit->x, frozenX);
    ASSERT_TRUE(runUntil(cv, title, t, 0.1, [&] { return !title.booms().empty(); }));
    EXPECT_TRUE(title.balls().empty());
    runUntil(cv, title, t, 0.05, [] { return false; });
    EXPECT_NE(hit->x, frozenX);
    EXPECT_LT(hit->vy, 0);

    // Every letter goes, a pause, and the drop-in starts again.
    ASSERT_TRUE(runUntil(cv, title, t, 30, [&] { return title.phase() == 2; }));
    EXPECT_EQ(aliveCount(title), 0);
    const double pauseAt = t;
    ASSERT_TRUE(runUntil(cv, title, t, 1, [&] { return title.phase() == 0; }));
    EXPECT_NEAR(t - pauseAt, 0.5, kDt + 1e-9);
    EXPECT_EQ(aliveCount(title), 8);
    EXPECT_TRUE(title.sparks().empty());
    for (const auto& l : title.letters()) EXPECT_DOUBLE_EQ(l.y, kBase - 4 * kFs);
}

TEST(SplashTitle, MissesAreRescheduled) {
    // Marbles dropped from below the letters can never touch them: every one misses.
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 0;
    const double rainH = -1.2 * kFs;
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }, "Tarnwick",
                         rainH));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(runUntil(cv, title, t, 2, [&] { return !title.balls().empty(); },
                             "Tarnwick", rainH));
        EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
        ASSERT_TRUE(runUntil(cv, title, t, 2, [&] { return title.balls().empty(); }, "Tarnwick",
                             rainH));
        EXPECT_DOUBLE_EQ(title.nextBallAt(), t + 0.375);
        EXPECT_EQ(aliveCount(title), 8);
        EXPECT_TRUE(title.sparks().empty());
    }
}

TEST(SplashTitle, SpacesKeepTheirSlotAndAreNeverHit) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 0;
    const std::string text = "ab cd";
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }, text));
    ASSERT_EQ(title.letters().size(), 5u);
    const auto& gap = title.letters()[2];
    EXPECT_EQ(gap.ch, " ");
    EXPECT_DOUBLE_EQ(gap.x, kCx);  // the middle slot of five
    // The whole knock-off ends although the space is never hit.
    ASSERT_TRUE(runUntil(cv, title, t, 20, [&] { return title.phase() == 2; }, text));
    EXPECT_TRUE(title.letters()[2].alive);
    for (std::size_t i : {0u, 1u, 3u, 4u}) EXPECT_FALSE(title.letters()[i].alive);
    // Multi-byte characters are letters of their own.
    SplashTitle utf;
    cv.frame(t, 0);
    utf.draw(cv.ctx(), kCx, kBase, kFs, 150, "\u00c4\u00d6 \u6f22", colours());
    ASSERT_EQ(utf.letters().size(), 4u);
    EXPECT_EQ(utf.letters()[0].ch, "\u00c4");
    EXPECT_EQ(utf.letters()[3].ch, "\u6f22");
    // A cut-off character at the end never reads past the text.
    SplashTitle cut;
    cut.reset(cv.ctx(), kCx, kBase, kFs, std::string("ab\xe6\xbc", 4), colours());
    ASSERT_EQ(cut.letters().size(), 3u);
    EXPECT_EQ(cut.letters()[2].ch.size(), 2u);
}

TEST(SplashTitle, ResizeRestartsOnlyBeyondHalfAUnit) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 0;
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }));
    const double since = title.phaseSince();
    t += kDt;
    cv.frame(t, kDt);
    title.draw(cv.ctx(), kCx, kBase, kFs + 0.4, 150, "Tarnwick", colours());
    EXPECT_EQ(title.phase(), 1);
    EXPECT_DOUBLE_EQ(title.phaseSince(), since);
    t += kDt;
    cv.frame(t, kDt);
    title.draw(cv.ctx(), kCx + 0.4, kBase - 0.4, kFs, 150, "Tarnwick", colours());
    EXPECT_EQ(title.phase(), 1);
    t += kDt;
    cv.frame(t, kDt);
    title.draw(cv.ctx(), kCx, kBase, kFs + 0.6, 150, "Tarnwick", colours());
    EXPECT_EQ(title.phase(), 0);
    EXPECT_DOUBLE_EQ(title.phaseSince(), t);
    // Moving the base line or the centre, or another text, restarts as well.
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; }, "Tarnwick"));
        t += kDt;
        cv.frame(t, kDt);
        const double dx = k == 0 ? 0.6 : 0;
        const double dy = k == 1 ? -0.6 : 0;
        title.draw(cv.ctx(), kCx + dx, kBase + dy, kFs, 150, k == 2 ? "Tarnwich" : "Tarnwick",
                   colours());
        EXPECT_EQ(title.phase(), 0) << k;
        if (k == 2) {
            ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return title.phase() == 1; },
                                 "Tarnwich"));
        }
    }
}

TEST(SplashTitle, Screenshots) {
    Canvas cv(960, 400);
    SplashTitle title;
    double t = 0;
    const Layout big{480, 230, 96};
    const auto shot = [&](const char* name) {
        cv.frame(t, 0);
        cv.fill(0x3a1268);
        title.draw(cv.ctx(), big.cx, big.base, big.fs, 170, "Tarnwick", colours());
        return cv.savePng(name);
    };
    const auto run = [&](double seconds, auto pred) {
        return runUntil(cv, title, t, seconds, pred, "Tarnwick", 170, kDt, big);
    };
    run(0.95, [] { return false; });
    ASSERT_FALSE(shot("title_dropin").empty());
    ASSERT_TRUE(run(3, [&] { return title.phase() == 1; }));
    ASSERT_FALSE(shot("title_rest").empty());
    ASSERT_TRUE(run(5, [&] { return !title.sparks().empty(); }));
    run(0.12, [] { return false; });
    ASSERT_FALSE(shot("title_hit").empty());
    ASSERT_TRUE(run(8, [&] { return aliveCount(title) <= 4; }));
    run(0.2, [] { return false; });
    ASSERT_FALSE(shot("title_knockoff").empty());
    // Something besides the backdrop is painted: letters, sparks, rings.
    const std::uint32_t bg = cv.pixel(0, 0);
    int painted = 0;
    for (int y = 0; y < 400; y += 2)
        for (int x = 0; x < 960; x += 2) painted += cv.pixel(x, y) != bg;
    EXPECT_GT(painted, 500);
}
