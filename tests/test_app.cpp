// The per-frame context, the input snapshot and the navigation stack with its rebuilds.
#include <SDL.h>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

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

TEST(Rect, LeftAndTopEdgesInsideRightAndBottomOutside) {
    const Rect r{10, 20, 30, 40};
    EXPECT_TRUE(r.contains(10, 20));
    EXPECT_TRUE(r.contains(39.999, 59.999));
    for (auto [x, y] : {std::pair{40.0, 30.0}, {20.0, 60.0}, {9.999, 30.0}})
        EXPECT_FALSE(r.contains(x, y)) << x << "," << y;
    EXPECT_FALSE((Rect{0, 0, 0, 0}.contains(0, 0)));
}

TEST(Ctx, RightClickHoverCompactAndKeys) {
    // Which button takes a left click, and when, is checked through the widgets. The right
    // button: inside only, and it never consumes.
    Ctx right;
    right.in.mouseX = right.in.mouseY = 3;
    right.in.rightPressed = true;
    EXPECT_TRUE(right.takeRightClick({0, 0, 10, 10}));
    EXPECT_TRUE(right.takeRightClick({0, 0, 10, 10}));
    EXPECT_FALSE(right.takeRightClick({4, 4, 10, 10}));
    EXPECT_TRUE(right.hover({0, 0, 10, 10}));
    EXPECT_FALSE(right.hover({3.5, 0, 10, 10}));

    // Compact below 1100 x 640 layout units.
    Ctx s;
    s.ui = 1.5;
    for (auto [w, h, compact] :
         {std::tuple{1650, 960, false}, {1649, 960, true}, {1650, 959, true}}) {
        s.w = w;
        s.h = h;
        EXPECT_EQ(s.compact(), compact) << w << "x" << h;
    }

    ui::Input in;
    in.keys = {SDLK_a, SDLK_ESCAPE};
    EXPECT_TRUE(in.hasKey(SDLK_ESCAPE));
    EXPECT_FALSE(in.hasKey(SDLK_b));
}

TEST(GameState, CrashContextText) {
    // The numbers are part of crash reports.
    EXPECT_EQ(static_cast<int>(ScreenKind::Licenses), 11);
    EXPECT_EQ(static_cast<int>(ScreenKind::HighScores), 7);
    GameState play{.kind = ScreenKind::Playing, .level = 4, .seed = 77};
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

    g.push(GameState{.kind = ScreenKind::Menu});
    g.push(GameState{.kind = ScreenKind::About});
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

    g.resetTo(GameState{.kind = ScreenKind::Settings});
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);

    // Popping the last record keeps it and rebuilds its screen.
    g.pop();
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);
    h.frame(0.5);
    EXPECT_EQ(g.builds(), 5);

    // An unknown kind keeps the screen that is there.
    g.push(GameState{.kind = static_cast<ScreenKind>(42)});
    h.frame(0.6);
    EXPECT_EQ(g.builds(), 5);

    // At exit, a record handed on in the last frame still gets its screen built, so a
    // level won in that frame is recorded; settling twice builds once.
    store::openAt(testsupport::freshDir("game-settle"));
    g.replace({.kind = ScreenKind::Solved, .level = 4, .marbles = 20, .score = 900});
    g.settle();
    g.settle();
    EXPECT_EQ(g.builds(), 6);
    EXPECT_EQ(store::unlockedLevel(), 6);
    EXPECT_EQ(store::levelBests().count(4), 1u);
}
