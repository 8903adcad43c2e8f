// The navigation stack with its rebuilds and crash context, and every screen's texts at
// the smallest windows.
#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "platform/crash.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/app.h"
#include "ui/draw.h"

using ui::GameState;
using ui::ScreenKind;

TEST(Game, StackOperationsRebuildsAndTheCrashContext) {
    GameState play{.kind = ScreenKind::Playing, .level = 4, .seed = 4294967295u, .arcade = true};
    EXPECT_EQ(ui::crashContextFor(play), "Bildschirm 3, Level 5, Seed 4294967295, Arcade");
    ui::Game g;  // a private stack: the singleton stays untouched
    ASSERT_EQ(g.stack().size(), 1u);
    testsupport::Headless h(320, 200);
    ASSERT_TRUE(h.ok());
    h.setUpdate([&g](ui::Ctx& c) { g.update(c); });
    h.frame(0.0);
    h.frame(0.1);
    EXPECT_EQ(g.builds(), 1) << "an unchanged stack keeps its screen";
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 0, Level 1, Seed 0, Level-Modus");

    g.push({.kind = ScreenKind::Menu});
    g.push({.kind = ScreenKind::Licenses});
    EXPECT_EQ(g.builds(), 1) << "navigation takes effect at the next frame";
    h.frame(0.2);
    EXPECT_EQ(g.builds(), 2);
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 11, Level 1, Seed 0, Level-Modus");
    g.pop();
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
    g.replace(g.top());  // an identical record still rebuilds: screens restart that way
    h.frame(0.3);
    EXPECT_EQ(g.builds(), 3);
    g.resetTo({.kind = ScreenKind::Settings});
    g.pop();  // the last record stays, and its screen is rebuilt
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);
    h.frame(0.4);
    EXPECT_EQ(g.builds(), 4);
    g.push({.kind = static_cast<ScreenKind>(42)});  // an unknown kind keeps the screen there
    h.frame(0.5);
    EXPECT_EQ(g.builds(), 4);

    // At exit, a record handed on in the last frame still gets its screen built, so a level
    // won in that frame is recorded; settling twice builds once.
    testsupport::openStore("game-settle");
    g.replace({.kind = ScreenKind::Solved, .level = 4, .marbles = 20, .score = 900});
    g.settle();
    g.settle();
    EXPECT_EQ(g.builds(), 5);
    EXPECT_EQ(store::unlockedLevel(), 6);
}

// Every screen with something to show, the paused game and the question before a stored
// game is dropped, at the smallest window the game allows and at a tall narrow one, in two
// languages: the drawing layer's record of what the frames drew holds no text below 10 px.
TEST(Screens, EveryTextIsReadableAtSmallWindows) {
    testsupport::usePrivateFonts();
    testsupport::openStore("readable", 24);
    for (int level = 0; level < 23; ++level) {
        store::recordBest(level, {.stars = 1 + level % 3, .moves = 30, .elapsedMs = 95000});
        store::recordSolve({.level = level, .marbles = 30, .score = 4350, .elapsedMs = 95000,
                            .solvedAt = 0, .stars = 1 + level % 3});
    }
    for (int i = 1; i <= 10; ++i)
        store::recordArcadeHigh({.score = 900 * i, .marbles = 40, .elapsedMs = 120000,
                                 .achievedAt = 1700000000000});
    using K = ScreenKind;
    const std::vector<std::pair<GameState, int>> screens = {  // a key in the second frame
        {{.kind = K::Splash}, 0},
        {{.kind = K::Menu}, 0},
        {{.kind = K::Menu}, -1},  // its first button: the question
        {{.kind = K::LevelSelect}, 0},
        {{.kind = K::Playing, .level = 30, .seed = 5}, SDLK_p},
        {{.kind = K::Playing, .seed = 5, .arcade = true}, 0},
        {{.kind = K::Solved, .level = 33, .marbles = 21, .score = 4350, .elapsedMs = 83000,
          .starOrbs = 2, .starOrbsTotal = 3}, 0},
        {{.kind = K::GameOver, .level = 12, .marbles = 48, .score = 1720, .elapsedMs = 191000,
          .starOrbs = 1, .starOrbsTotal = 3}, 0},
        {{.kind = K::GameOver, .arcade = true, .marbles = 48, .score = 9900, .highScore = 9900}, 0},
        {{.kind = K::Ending}, 0},
        {{.kind = K::HighScores}, 0},
        {{.kind = K::Gallery}, 0},
        {{.kind = K::Settings}, 0},
        {{.kind = K::About}, 0},
        {{.kind = K::Licenses}, 0},
    };
    double t = 100;
    for (auto [w, h] : {std::pair{820, 560}, {700, 1000}}) {
        testsupport::Headless win(w, h);
        ASSERT_TRUE(win.ok());
        for (const char* lang : {"en", "de"}) {
            i18n::setLanguage(lang);
            for (const auto& [state, key] : screens) {
                store::saveGame(testsupport::gameFor(5));
                win.start(state);
                win.frame(t += 1);
                if (key > 0) win.key(key, t += 0.1);
                if (key < 0) testsupport::clickOn(win, testsupport::control(win, 0), t += 0.1);
                ui::recordDrawnTexts(true);
                win.frame(t += 2.5);
                std::set<std::string> small;
                for (const ui::DrawnText& d : ui::drawnTexts())
                    if (d.px < 10) small.insert(d.text + " (" + std::to_string(d.px) + " px)");
                for (const std::string& s : small)
                    ADD_FAILURE() << static_cast<int>(state.kind) << " " << w << "x" << h << " "
                                  << lang << ": " << s;
            }
        }
    }
    ui::recordDrawnTexts(false);
    i18n::setLanguage("en");
}
