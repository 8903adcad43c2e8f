// The per-frame context, the input snapshot and the navigation stack with its rebuilds.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/storage.h"
#include "platform/crash.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "ui/app.h"

using ui::Ctx;
using ui::Game;
using ui::GameState;
using ui::Rect;
using ui::ScreenKind;

namespace {

GameState kindState(ScreenKind k) {
    GameState s;
    s.kind = k;
    return s;
}

Ctx releasedAt(double x, double y) {
    Ctx c;
    c.in.mouseX = x;
    c.in.mouseY = y;
    c.in.released = true;
    return c;
}

}  // namespace

TEST(Rect, LeftAndTopEdgesInsideRightAndBottomOutside) {
    const Rect r{10, 20, 30, 40};
    EXPECT_TRUE(r.contains(10, 20));
    EXPECT_TRUE(r.contains(39.999, 59.999));
    EXPECT_FALSE(r.contains(40, 30));
    EXPECT_FALSE(r.contains(20, 60));
    EXPECT_FALSE(r.contains(9.999, 30));
    EXPECT_FALSE((Rect{0, 0, 0, 0}.contains(0, 0)));
}

TEST(Ctx, ClicksFireOnReleaseOnceAndHoverAndScale) {
    // Two overlapping buttons: only the first one asked takes the click.
    Ctx c = releasedAt(50, 50);
    EXPECT_TRUE(c.takeClick({0, 0, 100, 100}));
    EXPECT_TRUE(c.clickUsed);
    EXPECT_FALSE(c.takeClick({0, 0, 100, 100}));

    // The press frame does not click; the release frame does.
    Ctx press;
    press.in.mouseX = 5;
    press.in.mouseY = 5;
    press.in.pressed = true;
    press.in.mouseDown = true;
    EXPECT_FALSE(press.takeClick({0, 0, 10, 10}));
    EXPECT_FALSE(press.clickUsed);
    Ctx release = releasedAt(5, 5);
    EXPECT_FALSE(release.takeClick({6, 6, 10, 10}));  // outside does not consume
    EXPECT_FALSE(release.clickUsed);
    EXPECT_TRUE(release.takeClick({0, 0, 10, 10}));

    // The right button: inside only, and it never consumes.
    Ctx right;
    right.in.mouseX = 3;
    right.in.mouseY = 3;
    right.in.rightPressed = true;
    EXPECT_TRUE(right.takeRightClick({0, 0, 10, 10}));
    EXPECT_TRUE(right.takeRightClick({0, 0, 10, 10}));
    EXPECT_FALSE(right.takeRightClick({4, 4, 10, 10}));
    EXPECT_FALSE(right.clickUsed);
    EXPECT_TRUE(right.hover({0, 0, 10, 10}));
    EXPECT_FALSE(right.hover({3.5, 0, 10, 10}));

    Ctx s;
    s.ui = 1.5;
    EXPECT_DOUBLE_EQ(s.s(10), 15);
    s.w = 1650;
    s.h = 960;
    EXPECT_FALSE(s.compact());
    s.w = 1649;  // below 1100 * 1.5
    EXPECT_TRUE(s.compact());
    s.w = 1650;
    s.h = 959;  // below 640 * 1.5
    EXPECT_TRUE(s.compact());

    ui::Input in;
    in.keys = {SDLK_a, SDLK_ESCAPE};
    EXPECT_TRUE(in.hasKey(SDLK_ESCAPE));
    EXPECT_FALSE(in.hasKey(SDLK_b));
}

TEST(GameState, DefaultsAndCrashContextText) {
    const GameState d;
    EXPECT_EQ(d.kind, ScreenKind::Splash);
    EXPECT_EQ(d.level, 0);
    EXPECT_EQ(d.seed, 0u);
    EXPECT_FALSE(d.arcade || d.resume || d.forcePerfect);
    EXPECT_EQ(static_cast<int>(ScreenKind::Licenses), 11);
    EXPECT_EQ(static_cast<int>(ScreenKind::HighScores), 7);

    GameState play = kindState(ScreenKind::Playing);
    play.level = 4;
    play.seed = 77;
    EXPECT_EQ(ui::crashContextFor(play), "Bildschirm 3, Level 5, Seed 77, Level-Modus");
    play.arcade = true;
    play.seed = 4294967295u;
    EXPECT_EQ(ui::crashContextFor(play), "Bildschirm 3, Level 5, Seed 4294967295, Arcade");
}

TEST(Game, StackOperationsAndRebuilds) {
    Game g;  // a private stack: the singleton stays untouched
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Splash);

    testsupport::Headless h(320, 200);
    ASSERT_TRUE(h.ok());
    h.setUpdate([&g](Ctx& c) { g.update(c); });

    h.frame(0.0);
    EXPECT_EQ(g.builds(), 1);
    h.frame(0.1);
    EXPECT_EQ(g.builds(), 1) << "an unchanged stack keeps its screen";
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 0, Level 1, Seed 0, Level-Modus");

    g.push(kindState(ScreenKind::Menu));
    g.push(kindState(ScreenKind::About));
    ASSERT_EQ(g.stack().size(), 3u);
    EXPECT_EQ(g.builds(), 1) << "navigation takes effect at the next frame";
    h.frame(0.2);
    EXPECT_EQ(g.builds(), 2);
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 10, Level 1, Seed 0, Level-Modus");

    g.pop();
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
    h.frame(0.3);
    EXPECT_EQ(g.builds(), 3);

    // Replacing a record by an identical one still rebuilds: screens restart that way.
    g.replace(g.top());
    h.frame(0.4);
    EXPECT_EQ(g.builds(), 4);

    g.resetTo(kindState(ScreenKind::Settings));
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);

    // Popping the last record keeps it and rebuilds its screen.
    g.pop();
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);
    h.frame(0.5);
    EXPECT_EQ(g.builds(), 5);

    // An unknown kind keeps the screen that is there.
    GameState bogus;
    bogus.kind = static_cast<ScreenKind>(42);
    g.push(bogus);
    h.frame(0.6);
    EXPECT_EQ(g.builds(), 5);

    // At exit, a record handed on in the last frame still gets its screen built, so a
    // level won in that frame is recorded; settling twice builds once.
    store::openAt(testsupport::freshDir("game-settle"));
    GameState won = kindState(ScreenKind::Solved);
    won.level = 4;
    won.marbles = 20;
    won.score = 900;
    g.replace(won);
    g.settle();
    g.settle();
    EXPECT_EQ(g.builds(), 6);
    EXPECT_EQ(store::unlockedLevel(), 6);
    EXPECT_EQ(store::levelBests().count(4), 1u);
}
