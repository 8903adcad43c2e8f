// The level select: opening page, grid, locked tiles, paging, starting levels, screenshots.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "screens/level_select.h"
#include "support/headless.h"
#include "support/store_files.h"
#include "support/tmpdir.h"
#include "ui/app.h"
#include "ui/widgets.h"

using testsupport::Headless;
using ui::Game;
using ui::GameState;
using ui::ScreenKind;

namespace {

// Menu below, level select on top, with a fresh store at the unlocked count.
void openSelect(Headless& h, int unlocked, double t) {
    store::openAt(testsupport::freshDir("level-select"));
    store::advanceUnlockedLevel(unlocked);
    h.start({.kind = ScreenKind::Menu});
    Game::instance().push({.kind = ScreenKind::LevelSelect});
    h.frame(t);
}

}  // namespace

TEST(LevelSelect, OpeningPageAndGrid) {
    for (auto [unlocked, page] : {std::pair{1, 0}, {20, 0}, {21, 1}, {41, 2}, {100, 4}, {101, 4}})
        EXPECT_EQ(ui::levelSelectOpeningPage(unlocked), page) << unlocked;

    for (auto [w, h, u, columns, rows] : {std::tuple{500.0, 900.0, 1.0, 2, 10},
                                          {500.0, 900.0, 0.72, 3, 7},
                                          {1280.0, 720.0, 1.0, 5, 4},
                                          {700.0, 720.0, 0.72, 4, 5},
                                          {700.0, 720.0, 1.0, 3, 7},
                                          {800.0, 720.0, 1.0, 4, 5},
                                          {3840.0, 2160.0, 2.0, 5, 4}}) {
        const double header = 60 * u;
        const ui::LevelGrid g = ui::levelGrid(w, h, u, header);
        SCOPED_TRACE(std::to_string(int(w)) + "x" + std::to_string(int(h)));
        EXPECT_EQ(g.columns, columns);
        EXPECT_EQ(g.rows, rows);
        // Every tile between the header and the page bar, inside the margins, none overlapping
        // the next in its row or column.
        for (int i = 0; i < 20; ++i) {
            SCOPED_TRACE(i);
            const ui::Rect r = g.tile(i);
            EXPECT_GE(r.x, 16 * u - 1e-9);
            EXPECT_LE(r.x + r.w, w - 16 * u + 1e-6);
            EXPECT_GE(r.y, header);
            EXPECT_LE(r.y + r.h, h - 56 * u + 1e-6);
            EXPECT_LE(r.h, 1.15 * r.w + 1e-9);
            if ((i + 1) % g.columns != 0 && i + 1 < 20) {
                EXPECT_LT(r.x + r.w, g.tile(i + 1).x);
            }
            if (i + g.columns < 20) {
                EXPECT_LT(r.y + r.h, g.tile(i + g.columns).y);
            }
        }
    }
    // A window too small for the rows gives empty tiles, never negative ones.
    const ui::LevelGrid tiny = ui::levelGrid(300, 100, 0.72, 52 * 0.72);
    EXPECT_GE(tiny.tileH, 0);
}

TEST(LevelSelect, TilesPagesAndNavigation) {
    i18n::setLanguage("en");
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    Game& g = Game::instance();
    const ui::LevelGrid grid = ui::levelGrid(1280, 720, 1.0, 60);
    const ui::Rect first = grid.tile(0);
    const ui::Rect second = grid.tile(1);
    const double prevX = 640 - 130 + 22;
    const double nextX = 640 + 86 + 22;
    const double barY = 720 - 56 + 8 + 20;
    double t = 1;
    // The level the first tile of the shown page starts; -1 when the click did nothing.
    auto firstTileLevel = [&]() {
        h.click(first.x + first.w / 2, first.y + first.h / 2, t += 1);
        return g.top().kind == ScreenKind::Playing ? g.top().level : -1;
    };

    // Opening pages; a locked tile takes no click, an unlocked one starts its level.
    for (auto [unlocked, level] : {std::pair{1, 0}, {41, 40}, {100, 80}}) {
        openSelect(h, unlocked, t += 1);
        EXPECT_EQ(firstTileLevel(), level) << unlocked;
    }
    openSelect(h, 1, t += 1);
    h.click(second.x + second.w / 2, second.y + second.h / 2, t += 1);
    EXPECT_EQ(g.top().kind, ScreenKind::LevelSelect) << "level 2 is locked";

    // Turning pages from the last one (every level cleared): buttons, page keys, the wheel
    // and arrows that run off the grid move one page at a time and stop at both ends.
    // n/p: next/previous button, D/U: PageDown/PageUp, +/-: one wheel step back/forward,
    // W: a two-step wheel turn back, </>: arrow keys, which first move the focus from the
    // last level (the bottom-right tile) across the grid.
    for (auto [moves, level] : {std::pair{"n", 80},
                                {"U", 60},
                                {"W", 60},
                                {"UD", 80},
                                {"p", 60},
                                {"++++++pn", 20},
                                {"--", 80},
                                {">", 80},
                                {"<<<<", 80},
                                {"<<<<<", 60}}) {
        openSelect(h, 101, t += 1);
        for (const char* m = moves; *m != 0; ++m) {
            if (*m == 'n' || *m == 'p') {
                h.click(*m == 'n' ? nextX : prevX, barY, t += 1);
                continue;
            }
            ui::Input in;
            for (auto [c, key] : {std::pair{'D', SDLK_PAGEDOWN},
                                  {'U', SDLK_PAGEUP},
                                  {'>', SDLK_RIGHT},
                                  {'<', SDLK_LEFT}}) {
                if (*m == c) in.keys.push_back(key);
            }
            in.wheel = *m == '+' ? 1 : *m == '-' ? -1 : *m == 'W' ? 2 : 0;
            h.frame(in, t += 1);
        }
        EXPECT_EQ(firstTileLevel(), level) << moves;
    }

    // Starting a solved level over an interrupted game asks first: Escape keeps the game
    // and the level select (the key does not leave it), OK starts the level afresh and
    // drops the game.
    openSelect(h, 9, t += 1);
    store::recordBest(0, {.stars = 2});
    store::saveGame(testsupport::gameFor(5));
    h.click(first.x + first.w / 2, first.y + first.h / 2, t += 1);
    h.key(SDLK_ESCAPE, t += 1);
    EXPECT_EQ(std::tuple(g.top().kind, store::hasSavedGame()),
              std::tuple(ScreenKind::LevelSelect, true));
    h.click(first.x + first.w / 2, first.y + first.h / 2, t += 1);
    h.key(SDLK_RETURN, t += 1);
    ASSERT_EQ(g.top().kind, ScreenKind::Playing);
    EXPECT_EQ(std::tuple(g.top().level, g.top().resume, g.top().arcade),
              std::tuple(0, false, false));
    EXPECT_NE(g.top().seed, 0u);
    EXPECT_FALSE(store::hasSavedGame());

    // Escape and the back link both return to the menu.
    openSelect(h, 9, t += 1);
    h.key(SDLK_ESCAPE, t += 1);
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
    openSelect(h, 9, t += 1);  // and again for the back link
    const ui::Rect back = ui::backButtonRect(h.ctx());
    h.click(back.x + 20, back.y + back.h / 2, t += 1);
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
    EXPECT_EQ(g.stack().size(), 1u);
}

TEST(LevelSelect, TilesShowThumbnailsPadlocksAndStars) {
    i18n::setLanguage("en");
    struct Shot {
        int w, h;
        const char* name;
    };
    for (const Shot& s : {Shot{1280, 720, "level-select"}, Shot{820, 560, "level-select-small"},
                          Shot{2560, 1440, "level-select-large"}}) {
        Headless h(s.w, s.h);
        ASSERT_TRUE(h.ok());
        openSelect(h, 3, 1);
        store::recordBest(0, {.stars = 3});
        const testsupport::Frame& f = h.frame(2);
        testsupport::savePng(f, testsupport::artefactDir() + "/" + s.name + ".png");
        if (s.w != 1280) continue;

        // Gold stars on level 1 (solved with three) and none on level 2; marbles of many
        // colours in level 3's picture; a white padlock and no colour in level 4's.
        const ui::LevelGrid grid = ui::levelGrid(s.w, s.h, 1.0, 60);
        auto count = [&](int tile, bool starRow, auto&& wanted) {
            const ui::Rect r = grid.tile(tile);
            const int y0 = int(starRow ? r.y + r.h - 24 : r.y + 10);
            const int y1 = int(starRow ? r.y + r.h - 4 : r.y + 10 + 0.56 * r.h);
            int n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = int(r.x + 10); x < int(r.x + r.w - 10); ++x) {
                    const std::uint32_t p = f.at(x, y);
                    n += wanted(testsupport::red(p), testsupport::green(p), testsupport::blue(p));
                }
            return n;
        };
        auto gold = [](int r, int g, int b) { return r > 220 && g > 180 && b < 80; };
        auto white = [](int r, int g, int b) { return std::min({r, g, b}) > 230; };
        auto colourful = [](int r, int g, int b) {
            return std::max({r, g, b}) - std::min({r, g, b}) > 100;
        };
        EXPECT_GT(count(0, true, gold), 60);
        EXPECT_EQ(count(1, true, gold), 0);
        EXPECT_GT(count(2, false, colourful), 300) << "level 3's starting marbles";
        EXPECT_GT(count(3, false, white), 300) << "level 4's padlock";
        EXPECT_LT(count(3, false, colourful), 50);
    }
}
