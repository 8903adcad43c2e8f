// The per-frame context, the input snapshot and the navigation stack with its rebuilds.
#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "platform/crash.h"
#include "screens/menu.h"
#include "support/headless.h"
#include "support/store_files.h"
#include "support/tmpdir.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

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

// Every screen with something to show, its dialogs and the paused game, at the smallest
// window the game allows and at a tall narrow one, in two languages: the drawing layer's
// record of what the frames drew holds no text below 10 pixels.
TEST(Screens, EveryTextIsReadableAtSmallWindows) {
    testsupport::usePrivateFonts();
    store::openAt(testsupport::freshDir("readable"));
    store::advanceUnlockedLevel(24);
    for (int level = 0; level < 23; ++level) {
        const int stars = 1 + level % 3;
        store::recordBest(level, {.stars = stars, .moves = 30, .elapsedMs = 95000});
        store::recordSolve({.level = level, .marbles = 30, .score = 4350, .elapsedMs = 95000,
                            .solvedAt = 0, .stars = stars});
    }
    for (int i = 1; i <= 10; ++i)
        store::recordArcadeHigh(
            {.score = 900 * i, .marbles = 40, .elapsedMs = 120000, .achievedAt = 1700000000000});
    store::SavedGame saved = testsupport::gameFor(5);
    saved.level = 6;
    saved.arcade = false;

    using K = ScreenKind;
    struct Shown {
        const char* name;
        GameState state;
        int key = 0;  // pressed in the second frame
    };
    const std::vector<Shown> screens = {
        {"splash", {.kind = K::Splash}},
        {"menu", {.kind = K::Menu}},
        {"levels", {.kind = K::LevelSelect}},
        {"playing", {.kind = K::Playing, .level = 30, .seed = 5}},
        {"paused", {.kind = K::Playing, .level = 30, .seed = 5}, SDLK_p},
        {"arcade", {.kind = K::Playing, .seed = 5, .arcade = true}},
        {"solved",
         {.kind = K::Solved, .level = 33, .marbles = 21, .score = 4350, .elapsedMs = 83000,
          .starOrbs = 2, .starOrbsTotal = 3}},
        {"lost",
         {.kind = K::GameOver, .level = 12, .marbles = 48, .score = 1720, .elapsedMs = 191000,
          .starOrbs = 1, .starOrbsTotal = 3}},
        {"lost-arcade",
         {.kind = K::GameOver, .arcade = true, .marbles = 48, .score = 9900, .highScore = 9900}},
        {"ending", {.kind = K::Ending}},
        {"highscores", {.kind = K::HighScores}},
        {"gallery", {.kind = K::Gallery}},
        {"settings", {.kind = K::Settings}},
        {"about", {.kind = K::About}},
        {"licenses", {.kind = K::Licenses}},
    };
    double t = 100;
    for (auto [w, h] : {std::pair{820, 560}, {700, 1000}}) {
        testsupport::Headless win(w, h);
        ASSERT_TRUE(win.ok());
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        // Reports every text recorded below 10 pixels; keeps the English frame to look at.
        auto check = [&](const std::string& name, const std::string& lang) {
            std::set<std::string> small;
            for (const ui::DrawnText& d : ui::drawnTexts())
                if (d.px < 10) small.insert(d.text + " (" + std::to_string(d.px) + " px)");
            for (const std::string& s : small)
                ADD_FAILURE() << name << " " << size << " " << lang << ": " << s;
            if (lang == "en")
                testsupport::savePng(win.last(), testsupport::artefactDir() + "/readable_" +
                                                     name + "_" + size + ".png");
        };
        for (const char* lang : {"en", "de"}) {
            i18n::setLanguage(lang);
            for (const Shown& s : screens) {
                store::saveGame(saved);
                ui::recordDrawnTexts(true);
                win.start(s.state);
                win.frame(t += 1);
                if (s.key != 0) win.key(s.key, t += 0.1);
                win.frame(t += 2.5);
                check(s.name, lang);
            }
            // The question before a new game takes the place of the stored one.
            store::saveGame(saved);
            win.start({.kind = K::Menu});
            win.frame(t += 1);
            const ui::MenuLayout L = ui::menuLayout(w, h, win.ctx().ui, 8);
            ui::recordDrawnTexts(true);
            win.click(L.columnX + L.columnW / 2, L.firstY + 0.6 * L.buttonH, t += 1);
            win.frame(t += 0.5);
            check("question", lang);
        }
        // The game's longest question, the reset of progress, in every language.
        for (const i18n::Language& l : i18n::languages()) {
            i18n::setLanguage(l.code);
            ui::recordDrawnTexts(true);
            win.setUpdate([](ui::Ctx& c) {
                ui::confirmDialog(c, i18n::tr("settings.resetProgress"),
                                  i18n::tr("settings.resetProgressMessage"), i18n::tr("common.ok"),
                                  i18n::tr("common.cancel"));
            });
            win.frame(t += 1);
            check("reset", l.code);
        }
    }
    ui::recordDrawnTexts(false);
    i18n::setLanguage("en");
}
