// The animated title: its layout, the drop-in with long frames and the 2.2 s snap, the
// knock-off with its hits, misses and resets, spaces in the title, resize restarts; and
// screenshots of its phases.
#include <gtest/gtest.h>

#include <algorithm>
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

// One frame of dt at time t, drawn with the given layout.
void drawOnce(Canvas& cv, SplashTitle& title, double t, double dt, double cx = kCx,
              double base = kBase, double fs = kFs, const std::string& text = "Tarnwick") {
    cv.frame(t, dt);
    title.draw(cv.ctx(), cx, base, fs, 150, text, colours());
}

bool knocking(const SplashTitle& title) { return title.phase() == 1; }

void expectAtRest(const SplashTitle& title) {
    for (const auto& l : title.letters()) {
        EXPECT_DOUBLE_EQ(l.y, kBase);
        EXPECT_DOUBLE_EQ(l.vy, 0);
    }
}

}  // namespace

TEST(SplashTitle, LayoutAndDropIn) {
    Canvas cv(800, 400);
    SplashTitle title;
    EXPECT_DOUBLE_EQ(title.phaseSince(), -1);
    EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
    drawOnce(cv, title, 5, 0);
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
    drawOnce(cv, title, 5.5, 0.5);
    EXPECT_DOUBLE_EQ(title.letters()[0].vy, 1800 * 0.064);
    EXPECT_DOUBLE_EQ(title.letters()[0].y, kBase - 4 * kFs + 1800 * 0.064 * 0.064);

    // Normal frames: the letters bounce to rest on the base line, then the knock-off begins.
    SplashTitle calm;
    double t = 0;
    drawOnce(cv, calm, t, 0);
    bool bounced = false;
    ASSERT_TRUE(runUntil(cv, calm, t, 3.0, [&] {
        for (const auto& l : calm.letters()) bounced = bounced || l.vy < 0;
        return knocking(calm);
    }));
    EXPECT_TRUE(bounced);
    EXPECT_LE(t, 2.2 + kDt);  // the last letters are still bouncing then: they snap
    expectAtRest(calm);
    EXPECT_DOUBLE_EQ(calm.phaseSince(), t);
    EXPECT_DOUBLE_EQ(calm.nextBallAt(), t + 0.35);
}

TEST(SplashTitle, BouncesStayBelowTheWindowTop) {
    // The menu sets its title close under the top edge. The letters drop in from above;
    // once all have come down, no bounce carries one out through the top again.
    Canvas cv(800, 300);
    SplashTitle title;
    const Layout menu{400, 83, 46};
    std::vector<bool> landed(8, false);
    double t = 0;
    int checked = 0;
    bool bounced = false;
    ASSERT_TRUE(runUntil(
        cv, title, t, 3.0,
        [&] {
            for (std::size_t i = 0; i < title.letters().size(); ++i) {
                landed[i] = landed[i] || title.letters()[i].y >= menu.base;
                bounced = bounced || (landed[i] && title.letters()[i].vy < 0);
            }
            if (std::all_of(landed.begin(), landed.end(), [](bool b) { return b; })) {
                ++checked;
                EXPECT_EQ(cv.inked(0, 0, 800, 2), 0) << "at " << t;
            }
            return knocking(title);
        },
        "Tarnwick", 150, kDt, menu));
    EXPECT_TRUE(bounced);
    EXPECT_GT(checked, 10);
}

TEST(SplashTitle, LongFramesSnapAfterTwoSeconds) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 1;
    drawOnce(cv, title, t, 0.5);
    ASSERT_TRUE(runUntil(cv, title, t, 5, [&] { return knocking(title); }, "Tarnwick", 150, 0.5));
    EXPECT_DOUBLE_EQ(t, 3.5);  // 2.5 s after the reset: the first frame past 2.2 s
    expectAtRest(title);
}

TEST(SplashTitle, KnockOffHitsAndTheLoop) {
    Canvas cv(800, 400);
    SplashTitle title;
    double t = 0;
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return knocking(title); }));
    const double knockStart = t;

    // The first marble drops 0.35 s later above a letter, rainH over the base line.
    ASSERT_TRUE(runUntil(cv, title, t, 1, [&] { return !title.balls().empty(); }));
    EXPECT_GE(t, knockStart + 0.35 - 1e-9);
    EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
    const auto drop = title.balls()[0];
    EXPECT_DOUBLE_EQ(drop.r, 0.32 * kFs);
    EXPECT_TRUE(std::any_of(title.letters().begin(), title.letters().end(),
                            [&](const auto& l) { return l.x == drop.x; }));

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
    const auto hit = std::find_if(title.letters().begin(), title.letters().end(),
                                  [](const auto& l) { return !l.alive; });
    ASSERT_NE(hit, title.letters().end());
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
    auto run = [&](auto pred) { return runUntil(cv, title, t, 3, pred, "Tarnwick", -1.2 * kFs); };
    ASSERT_TRUE(run([&] { return knocking(title); }));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(run([&] { return !title.balls().empty(); }));
        EXPECT_DOUBLE_EQ(title.nextBallAt(), 1e9);
        ASSERT_TRUE(run([&] { return title.balls().empty(); }));
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
    ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return knocking(title); }, text));
    ASSERT_EQ(title.letters().size(), 5u);
    EXPECT_EQ(title.letters()[2].ch, " ");
    EXPECT_DOUBLE_EQ(title.letters()[2].x, kCx);  // the middle slot of five
    // The whole knock-off ends although the space is never hit.
    ASSERT_TRUE(runUntil(cv, title, t, 20, [&] { return title.phase() == 2; }, text));
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(title.letters()[i].alive, i == 2) << i;
    // Multi-byte characters are letters of their own.
    SplashTitle utf;
    drawOnce(cv, utf, t, 0, kCx, kBase, kFs, "\u00c4\u00d6 \u6f22");
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
    const struct {
        double dx, dy, dfs;
        const char* text;
        bool restarts;
    } cases[] = {{0, 0, 0.4, "Tarnwick", false}, {0.4, -0.4, 0, "Tarnwick", false},
                 {0, 0, 0.6, "Tarnwick", true},  {0.6, 0, 0, "Tarnwick", true},
                 {0, -0.6, 0, "Tarnwick", true}, {0, 0, 0, "Tarnwich", true}};
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.dx << " " << k.dy << " " << k.dfs << " " << k.text);
        ASSERT_TRUE(runUntil(cv, title, t, 3, [&] { return knocking(title); }));
        const double since = title.phaseSince();
        t += kDt;
        drawOnce(cv, title, t, kDt, kCx + k.dx, kBase + k.dy, kFs + k.dfs, k.text);
        EXPECT_EQ(title.phase(), k.restarts ? 0 : 1);
        EXPECT_DOUBLE_EQ(title.phaseSince(), k.restarts ? t : since);
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
    // Runs until pred holds, then on for `after` seconds.
    const auto run = [&](double seconds, auto pred, double after) {
        const bool held = runUntil(cv, title, t, seconds, pred, "Tarnwick", 170, kDt, big);
        runUntil(cv, title, t, after, [] { return false; }, "Tarnwick", 170, kDt, big);
        return held;
    };
    run(0.95, [] { return false; }, 0);
    ASSERT_FALSE(shot("title_dropin").empty());
    ASSERT_TRUE(run(3, [&] { return knocking(title); }, 0));
    ASSERT_FALSE(shot("title_rest").empty());
    ASSERT_TRUE(run(5, [&] { return !title.sparks().empty(); }, 0.12));
    ASSERT_FALSE(shot("title_hit").empty());
    ASSERT_TRUE(run(8, [&] { return aliveCount(title) <= 4; }, 0.2));
    ASSERT_FALSE(shot("title_knockoff").empty());
    // Something besides the backdrop is painted: letters, sparks, rings.
    const std::uint32_t bg = cv.pixel(0, 0);
    int painted = 0;
    for (int y = 0; y < 400; y += 2)
        for (int x = 0; x < 960; x += 2) painted += cv.pixel(x, y) != bg;
    EXPECT_GT(painted, 500);
}
