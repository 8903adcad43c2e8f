// The gallery: grid and pages, the solves it shows, paging by keys, wheel and buttons.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "screens/gallery.h"
#include "support/canvas.h"
#include "support/screens.h"
#include "ui/draw.h"

namespace {

// One frame with a key, wheel steps or a click on the previous frame's "‹" (-1) or "›" (1):
// the range label drawn ("" for none) and how many solved tiles were shown.
std::pair<std::string, int> run(ui::Screen& s, testsupport::Canvas& cv, int key = 0,
                                double wheel = 0, int button = 0) {
    static double t = 0;
    ui::Ctx& c = cv.ctx();
    const std::vector<ui::FocusSlot> before = c.focus.slots;
    cv.frame(t += 0.02);
    c.focus.slots.clear();
    if (key != 0) c.in.keys.push_back(key);
    c.in.wheel = wheel;
    if (button != 0 && before.size() >= 2) {
        const ui::Rect r = before[before.size() - (button < 0 ? 2 : 1)].r;
        cv.pointer(r.x + r.w / 2, r.y + r.h / 2, false, false, true);
    }
    ui::recordDrawnTexts(true);
    s.update(c);
    std::pair<std::string, int> seen{"", 0};
    for (const ui::DrawnText& d : ui::drawnTexts()) {
        if (d.text.find(" – ") != std::string::npos) seen.first = d.text;
        seen.second += d.text.rfind("Score", 0) == 0;
    }
    ui::recordDrawnTexts(false);
    return seen;
}

void openStore(const std::string& name, std::initializer_list<int> solvedLevels, int unlocked) {
    i18n::setLanguage("en");
    testsupport::openStore("gallery-" + name, unlocked);
    for (int level : solvedLevels) store::recordSolve({level, 20, 1500, 61000, 0, 2});
}

}  // namespace

TEST(GalleryGrid, ColumnsRowsPagesTilePlacesAndSolves) {
    const struct {
        double w, h, u;
        int cols, rows, pages, lastFirst;
    } cases[] = {
        {1100, 560, 1.0, 4, 2, 13, 96},  // 8 a page: the last shows levels 97 to 100
        {820, 560, 0.72, 4, 3, 9, 96},   // the smallest window the game allows
        {2560, 1440, 2.0, 4, 3, 9, 96},  // the same at double scale
        {1920, 1080, 1.0, 7, 5, 3, 70},  // 35 a page
        {400, 300, 1.0, 1, 1, 100, 99},  // nothing fits: still one tile a page
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.w) + "x" + std::to_string(k.h));
        const ui::GalleryGrid g = ui::galleryGrid(k.w, k.h, k.u);
        EXPECT_EQ(std::tuple(g.cols, g.rows, g.pages), std::tuple(k.cols, k.rows, k.pages));
        // Level 100 (one past the end) and level 99 both fall on the last page.
        for (int anchor : {99, 100, 1000}) {
            const ui::GalleryPage p = ui::galleryPageOf(g, anchor);
            EXPECT_EQ(std::tuple(p.page, p.first, p.last), std::tuple(k.pages - 1, k.lastFirst, 99));
        }
        EXPECT_EQ(ui::galleryPageOf(g, -3).page, 0);
        // A full page fits between the header and the pager: its last tile ends above it.
        const ui::Rect r =
            ui::galleryTileRect(g, k.w, k.h, k.u, 60 * k.u, g.perPage - 1, g.perPage);
        EXPECT_TRUE(k.w < 500 || (r.x + r.w <= k.w && r.y + r.h <= k.h - 56 * k.u));
    }
    const std::vector<store::SolveEntry> list = {
        {4, 30, 800, 70000, 5, 1}, {150, 1, 1, 1, 1, 3}, {-1, 1, 1, 1, 1, 3}, {4, 25, 900, 60000, 6, 2}};
    auto m = ui::gallerySolves(list, 0);
    ASSERT_EQ(m.size(), 1u) << "foreign level numbers are no tiles";
    EXPECT_EQ(m.at(4).marbles, 25) << "the later entry for a level wins";
    m = ui::gallerySolves(list, 5);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m.at(4).marbles, 16) << "an invented solve replaces the stored one";
    for (int i = 0; i < 5; ++i) EXPECT_EQ(m.at(i).stars, 1 + i % 3) << i;
    EXPECT_EQ(ui::gallerySolves({}, 250).size(), 100u);
    for (auto [text, n] : {std::pair<const char*, int>{nullptr, 0}, {"", 0}, {" 7 ", 7}, {"abc", 0},
                           {"5x", 0}, {"-3", 0}, {"250", 100}, {"99999999999999999999", 100}})
        EXPECT_EQ(ui::parseMadeUpSolves(text), n) << (text ? text : "null");
}

TEST(GalleryScreen, PagesByKeysWheelAndButtonsAndKeepsItsAnchorAcrossAResize) {
    openStore("empty", {}, 1);
    testsupport::Canvas small(1100, 560, 1.0);
    testsupport::Canvas large(1280, 720, 1.0);
    auto screen = ui::makeGalleryScreen();
    EXPECT_EQ(run(*screen, small), std::pair(std::string(), 0)) << "nothing solved: no pager";
    // Level 21 is the newest playable one: a 4 x 2 grid opens on page 3, with its solve.
    openStore("pages", {0, 2, 20, 99}, 21);
    screen = ui::makeGalleryScreen();
    EXPECT_EQ(run(*screen, small), std::pair(std::string("17 – 24"), 1));
    // Twelve a page: level 21 is on the second page now, and back again.
    EXPECT_EQ(run(*screen, large), std::pair(std::string("13 – 24"), 1));
    EXPECT_EQ(run(*screen, small).first, "17 – 24");
    // A page turned keeps its first level across the resize.
    run(*screen, small, SDLK_RIGHT);
    EXPECT_EQ(run(*screen, large).first, "25 – 36");
    // 13 pages of eight: past the end nothing moves.
    for (int i = 0; i < 15; ++i) run(*screen, small, 0, -1);
    EXPECT_EQ(run(*screen, small), std::pair(std::string("97 – 100"), 1));
    testsupport::Canvas tiny(400, 300, 1.0);  // one tile a page: the first level of the last
    EXPECT_EQ(run(*screen, tiny).first, "97 – 97");
    run(*screen, small, SDLK_PAGEUP);
    EXPECT_EQ(run(*screen, small).first, "89 – 96");
    run(*screen, small, 0, 1);
    EXPECT_EQ(run(*screen, small).first, "81 – 88");
    for (int i = 0; i < 12; ++i) run(*screen, small, SDLK_LEFT);
    EXPECT_EQ(run(*screen, small), std::pair(std::string("1 – 8"), 2));
    // On the first page "‹" is disabled: it takes neither focus nor clicks.
    int pager = 0;
    for (const ui::FocusSlot& f : small.ctx().focus.slots) pager += f.r.y > 560 - 56;
    EXPECT_EQ(pager, 1);
    run(*screen, small, 0, 0, 1);
    EXPECT_EQ(run(*screen, small).first, "9 – 16");
    run(*screen, small, 0, 0, -1);
    EXPECT_EQ(run(*screen, small).first, "1 – 8");
    // Escape goes back to the screen below.
    testsupport::openOver(ui::ScreenKind::Menu, {.kind = ui::ScreenKind::Gallery});
    run(*screen, small, SDLK_ESCAPE);
    EXPECT_EQ(ui::Game::instance().top().kind, ui::ScreenKind::Menu);
}
