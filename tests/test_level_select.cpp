// The level select: opening page, grid, locked tiles, paging and starting levels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "core/storage.h"
#include "i18n.h"
#include "screens/level_select.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/widgets.h"

using ui::ScreenKind;

TEST(LevelSelect, OpeningPageAndGrid) {
    for (auto [unlocked, page] : {std::pair{1, 0}, {20, 0}, {21, 1}, {41, 2}, {100, 4}, {101, 4}})
        EXPECT_EQ(ui::levelSelectOpeningPage(unlocked), page) << unlocked;
    for (auto [w, h, u, columns, rows] : {std::tuple{500.0, 900.0, 1.0, 2, 10},
                                          {500.0, 900.0, 0.72, 3, 7},
                                          {1280.0, 720.0, 1.0, 5, 4},
                                          {700.0, 720.0, 1.0, 3, 7},
                                          {3840.0, 2160.0, 2.0, 5, 4}}) {
        SCOPED_TRACE(std::to_string(int(w)) + "x" + std::to_string(int(h)));
        const ui::LevelGrid g = ui::levelGrid(w, h, u, 60 * u);
        EXPECT_EQ(std::pair(g.columns, g.rows), std::pair(columns, rows));
        // Every tile between the header and the page bar, none touching its neighbours.
        for (int i = 0; i < 20; ++i) {
            const ui::Rect r = g.tile(i);
            EXPECT_TRUE(r.x >= 0 && r.x + r.w <= w && r.y >= 60 * u && r.y + r.h <= h - 56 * u) << i;
            if ((i + 1) % g.columns != 0 && i + 1 < 20) {
                EXPECT_LT(r.x + r.w, g.tile(i + 1).x) << i;
            }
            if (i + g.columns < 20) {
                EXPECT_LT(r.y + r.h, g.tile(i + g.columns).y) << i;
            }
        }
    }
    EXPECT_GE(ui::levelGrid(300, 100, 0.72, 52 * 0.72).tileH, 0) << "never negative";
}

namespace {

// The level select over the menu at 1280 x 720, opened afresh for each case.
struct Select {
    testsupport::Headless h{1280, 720};
    const ui::LevelGrid grid = ui::levelGrid(1280, 720, 1.0, 60);
    double t = 1;
    void open(int unlocked) {
        i18n::setLanguage("en");
        testsupport::openStore("level-select", unlocked);
        testsupport::openOver(ScreenKind::Menu, {.kind = ScreenKind::LevelSelect});
        h.frame(t += 1);
    }
    // The level tile i starts; -1 when the click did nothing.
    int start(int i) {
        testsupport::clickOn(h, grid.tile(i), t += 1);
        const ui::GameState& top = ui::Game::instance().top();
        return top.kind == ScreenKind::Playing ? top.level : -1;
    }
};

}  // namespace

TEST(LevelSelect, TilesStartUnlockedLevelsAndAskOverAStoredGame) {
    Select s;
    ASSERT_TRUE(s.h.ok());
    ui::Game& g = ui::Game::instance();
    for (auto [unlocked, level] : {std::pair{1, 0}, {41, 40}, {100, 80}}) {
        s.open(unlocked);
        EXPECT_EQ(s.start(0), level) << unlocked;
    }
    s.open(2);
    EXPECT_EQ(s.start(2), -1) << "level 3 is locked";
    EXPECT_EQ(s.start(1), 1) << "level 2 is not";

    // Starting a level over an interrupted game asks first: Escape keeps the game and the
    // level select (the key does not leave it), Return (on OK) starts the level afresh.
    s.open(9);
    store::saveGame(testsupport::gameFor(5));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_ESCAPE, s.t += 1);
    EXPECT_EQ(std::tuple(g.top().kind, store::hasSavedGame()), std::tuple(ScreenKind::LevelSelect, true));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_RETURN, s.t += 1);
    ASSERT_EQ(g.top().kind, ScreenKind::Playing);
    EXPECT_EQ(std::tuple(g.top().level, g.top().resume, g.top().arcade, store::hasSavedGame()),
              std::tuple(0, false, false, false));
    EXPECT_NE(g.top().seed, 0u);

    // Escape and the back link both return to the menu.
    s.open(9);
    s.h.key(SDLK_ESCAPE, s.t += 1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
    s.open(9);
    testsupport::clickOn(s.h, ui::backButtonRect(s.h.ctx()), s.t += 1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
}

TEST(LevelSelect, PagesTurnOneAtATimeAndStopAtBothEnds) {
    Select s;
    ASSERT_TRUE(s.h.ok());
    // Turning pages from the last one (every level cleared): the page bar's buttons, page
    // keys, the wheel and arrows that run off the grid move one page at a time and stop at
    // both ends. n/p: "›"/"‹", D/U: PageDown/PageUp, +/-: one wheel step back/forward,
    // W: a two-step wheel turn back, </>: arrow keys, which first move the focus from the
    // last level (the bottom-right tile) across the grid.
    for (auto [moves, level] : {std::pair{"n", 80}, {"U", 60}, {"W", 60}, {"UD", 80}, {"p", 60},
                                {"++++++pn", 20}, {"--", 80}, {">", 80}, {"<<<<", 80}, {"<<<<<", 60}}) {
        s.open(101);
        for (const char* m = moves; *m != 0; ++m) {
            ui::Input in;
            for (const ui::FocusSlot& f : s.h.ctx().focus.slots) {  // the page bar's buttons
                const double x = f.r.x + f.r.w / 2;
                if (f.r.y > 720 - 56 && ((*m == 'n' && x > 640) || (*m == 'p' && x < 640))) {
                    in.mouseX = x;
                    in.mouseY = f.r.y + f.r.h / 2;
                    in.released = true;
                }
            }
            for (auto [c, key] : {std::pair{'D', SDLK_PAGEDOWN}, {'U', SDLK_PAGEUP},
                                  {'>', SDLK_RIGHT}, {'<', SDLK_LEFT}})
                if (*m == c) in.keys.push_back(key);
            in.wheel = *m == '+' ? 1 : *m == '-' ? -1 : *m == 'W' ? 2 : 0;
            s.h.frame(in, s.t += 1);
        }
        EXPECT_EQ(s.start(0), level) << moves;
    }
}
