// The gallery: grid and pages, the solves it shows, the screen on canvases and for real.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "i18n.h"
#include "screens/gallery.h"
#include "support/canvas.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "ui/draw.h"

using testsupport::Canvas;
using ui::galleryGrid;
using ui::galleryPageOf;

namespace {

double headerOf(const ui::Ctx& c) {
    return c.s(c.compact() ? 52 : 60);
}

// True when the pager's range label reads text: the middle of the strip is compared with
// the label drawn alone in the same style.
bool rangeReads(Canvas& cv, const std::string& text) {
    const ui::Ctx& c = cv.ctx();
    const double yb = c.h - c.s(56) + c.s(8);
    Canvas ref(static_cast<int>(c.w), static_cast<int>(c.h), c.ui);
    ref.frame(0);
    ui::TextStyle st;
    st.size = c.s(16);
    st.bold = true;
    ui::drawTextCentered(ref.cr(), c.w / 2, yb + c.s(14), text, st);
    int differing = 0;
    for (int y = static_cast<int>(yb); y < static_cast<int>(yb + c.s(30)); ++y)
        for (int x = static_cast<int>(c.w / 2 - c.s(80)); x < static_cast<int>(c.w / 2 + c.s(80));
             ++x)
            if (cv.pixel(x, y) != ref.pixel(x, y)) ++differing;
    return differing == 0 && ref.inked(0, static_cast<int>(yb), static_cast<int>(c.w), 40) > 0;
}

// One frame of the screen on cv, with the given key pressed (0 for none) and wheel steps.
void run(ui::Screen& s, Canvas& cv, int key = 0, double wheel = 0) {
    static double t = 0;
    t += 0.02;
    cv.frame(t);
    if (key != 0) cv.ctx().in.keys.push_back(key);
    cv.ctx().in.wheel = wheel;
    s.update(cv.ctx());
}

// The difference between the strongest and the weakest channel: high for saturated colours.
int spread(std::uint32_t p) {
    const int r = testsupport::red(p), g = testsupport::green(p), b = testsupport::blue(p);
    return std::max({r, g, b}) - std::min({r, g, b});
}

// What tile k of a page of count tiles shows.
struct TileLook {
    bool present = false;  // the panel is there
    bool green = false;    // the solved outline
    int colourful = 0;     // saturated pixels in the picture area: a miniature
};

TileLook tileAt(Canvas& cv, int k, int count) {
    const ui::Ctx& c = cv.ctx();
    const ui::GalleryGrid g = galleryGrid(c.w, c.h, c.ui);
    const ui::Rect r = ui::galleryTileRect(g, c.w, c.h, c.ui, headerOf(c), k, count);
    TileLook t;
    const int mid = static_cast<int>(r.y + r.h / 2);
    t.present = (cv.pixel(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + 4)) >> 24) > 60;
    // Just outside the panel only the outline leaves colour.
    t.green = testsupport::nearRgb(cv.rgb(static_cast<int>(r.x) - 1, mid), 0x4dd97a, 24);
    for (int y = static_cast<int>(r.y + 10); y < static_cast<int>(r.y + r.h - 94); ++y)
        for (int x = static_cast<int>(r.x + 10); x < static_cast<int>(r.x + r.w - 10); ++x) {
            t.colourful += (cv.pixel(x, y) >> 24) > 200 && spread(cv.rgb(x, y)) > 90;
        }
    return t;
}

void openStore(const std::string& name, std::initializer_list<int> solvedLevels, int unlocked) {
    unsetenv("PLUMBRIX_SOLVES");
    store::openAt(testsupport::freshDir("gallery-" + name));
    for (int level : solvedLevels) store::recordSolve({level, 20, 1500, 61000, 0, 2});
    store::advanceUnlockedLevel(unlocked);
}

}  // namespace

TEST(GalleryGrid, ColumnsRowsPagesAndTilePlaces) {
    const struct {
        double w, h, u;
        int cols, rows, pages, lastFirst;
    } cases[] = {
        {1100, 560, 1.0, 4, 2, 13, 96},  // 8 a page: the last shows levels 97 to 100
        {1280, 720, 1.0, 4, 3, 9, 96},   // 12 a page
        {820, 560, 0.72, 4, 3, 9, 96},   // the smallest window the game allows
        {2560, 1440, 2.0, 4, 3, 9, 96},  // the same at double scale
        {1920, 1080, 1.0, 7, 5, 3, 70},  // 35 a page
        {400, 300, 1.0, 1, 1, 100, 99},  // nothing fits: still one tile a page
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.w) + "x" + std::to_string(k.h));
        const ui::GalleryGrid g = galleryGrid(k.w, k.h, k.u);
        EXPECT_EQ(std::tuple(g.cols, g.rows, g.pages), std::tuple(k.cols, k.rows, k.pages));
        EXPECT_GE(g.tileH, 150 * k.u);
        EXPECT_LE(g.tileH, 200 * k.u);
        // Level 100 (one past the end) and level 99 both fall on the last page.
        for (int anchor : {99, 100, 1000}) {
            const ui::GalleryPage p = galleryPageOf(g, anchor);
            EXPECT_EQ(std::tuple(p.page, p.first, p.last), std::tuple(k.pages - 1, k.lastFirst, 99))
                << anchor;
        }
        EXPECT_EQ(galleryPageOf(g, -3).page, 0);
        // A full page fits between the header and the pager, inside the window.
        if (k.w < 500) continue;
        const double header = k.u * ((k.w >= 1100 * k.u && k.h >= 640 * k.u) ? 60 : 52);
        for (int i = 0; i < g.perPage; ++i) {
            const ui::Rect r = ui::galleryTileRect(g, k.w, k.h, k.u, header, i, g.perPage);
            EXPECT_GE(r.x, 0);
            EXPECT_LE(r.x + r.w, k.w);
            EXPECT_GE(r.y, header);
            EXPECT_LE(r.y + r.h, k.h - 56 * k.u) << i;
        }
    }
}

TEST(GalleryGrid, SolvesByLevelAndInventedOnes) {
    std::vector<store::SolveEntry> list = {{4, 30, 800, 70000, 5, 1},
                                           {150, 1, 1, 1, 1, 3},
                                           {-1, 1, 1, 1, 1, 3},
                                           {4, 25, 900, 60000, 6, 2}};
    auto m = ui::gallerySolves(list, 0);
    ASSERT_EQ(m.size(), 1u) << "foreign level numbers are no tiles";
    EXPECT_EQ(m.at(4).marbles, 25) << "the later entry for a level wins";

    m = ui::gallerySolves(list, 5);
    ASSERT_EQ(m.size(), 5u);
    const int stars[5] = {1, 2, 3, 1, 2};
    for (int i = 0; i < 5; ++i) {
        const store::SolveEntry& e = m.at(i);
        EXPECT_EQ(std::tuple(e.stars, e.marbles, e.score, e.elapsedMs, e.solvedAt),
                  std::tuple(stars[i], 12 + i, 900 + 37 * i, 45000 + 1700 * i, 0))
            << i;
    }
    EXPECT_EQ(m.at(4).marbles, 16) << "an invented solve replaces the stored one";
    EXPECT_EQ(ui::gallerySolves({}, 250).size(), 100u);

    const struct {
        const char* text;
        int n;
    } env[] = {{nullptr, 0}, {"", 0},   {"5", 5},     {" 7 ", 7}, {"abc", 0},
               {"5x", 0},    {"-3", 0}, {"250", 100}, {"0", 0},   {"99999999999999999999", 100}};
    for (const auto& e : env)
        EXPECT_EQ(ui::parseMadeUpSolves(e.text), e.n) << (e.text ? e.text : "null");
}

TEST(GalleryScreen, EmptyTextsTilesAndPager) {
    // Nothing solved: the one message, no tiles, no pager.
    openStore("empty", {}, 1);
    Canvas cv(1100, 560, 1.0);
    auto screen = ui::makeGalleryScreen();
    run(*screen, cv);
    EXPECT_GT(cv.inked(300, 260, 500, 40, 120), 200) << "the empty text in the middle";
    EXPECT_FALSE(tileAt(cv, 0, 8).present);
    EXPECT_EQ(cv.inked(0, 560 - 56, 1100, 56), 0) << "no pager";

    // Level 1 and 3 solved, level 4 playable: the first page, solved tiles with miniatures.
    openStore("some", {0, 2}, 4);
    screen = ui::makeGalleryScreen();
    run(*screen, cv);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        const TileLook t = tileAt(cv, k, 8);
        const bool solved = k == 0 || k == 2;
        EXPECT_TRUE(t.present);
        EXPECT_EQ(t.green, solved);
        EXPECT_EQ(t.colourful > 200, solved);
    }
    EXPECT_TRUE(rangeReads(cv, "1 – 8"));
    // The gap between the rows stays clear while the page has a solved level.
    const double midY = headerOf(cv.ctx()) + (560 - headerOf(cv.ctx()) - 56) / 2;
    EXPECT_LT(cv.inked(200, static_cast<int>(midY) - 4, 700, 8, 200), 10);

    // Page 3 holds none of them: its tiles, and the note over them.
    run(*screen, cv, SDLK_RIGHT);
    run(*screen, cv, SDLK_RIGHT);
    run(*screen, cv);
    EXPECT_TRUE(rangeReads(cv, "17 – 24"));
    EXPECT_TRUE(tileAt(cv, 0, 8).present);
    EXPECT_FALSE(tileAt(cv, 0, 8).green);
    EXPECT_GT(cv.inked(200, static_cast<int>(midY) - 4, 700, 8, 200), 100) << "the empty-page note";
}

TEST(GalleryScreen, PagesByKeysWheelAndButtonsAndTheAnchorAcrossAResize) {
    // Level 21 is the newest playable one: a 4 x 2 grid opens on page 3 (17 to 24).
    openStore("pages", {0, 20, 99}, 21);
    Canvas small(1100, 560, 1.0);
    Canvas large(1280, 720, 1.0);
    auto screen = ui::makeGalleryScreen();
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "17 – 24"));
    EXPECT_TRUE(tileAt(small, 4, 8).green) << "level 21";
    // Twelve a page: level 21 is on the second page now, and back again.
    run(*screen, large);
    EXPECT_TRUE(rangeReads(large, "13 – 24"));
    EXPECT_TRUE(tileAt(large, 8, 12).green);
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "17 – 24"));

    // A page turned keeps its first level across the resize.
    run(*screen, small, SDLK_RIGHT);
    run(*screen, large);
    EXPECT_TRUE(rangeReads(large, "25 – 36"));

    // 13 pages of eight: past the end nothing moves; the last one holds four tiles.
    for (int i = 0; i < 15; ++i) run(*screen, small, 0, -1);
    EXPECT_TRUE(rangeReads(small, "97 – 100"));
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(tileAt(small, k, 4).present) << k;
    EXPECT_TRUE(tileAt(small, 3, 4).green) << "level 100";
    EXPECT_FALSE(tileAt(small, 4, 4).present);
    run(*screen, small, SDLK_LEFT);
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "89 – 96"));
    run(*screen, small, 0, 1);
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "81 – 88"));

    // The pager's buttons: "›" forward, "‹" back; "‹" does nothing on the first page.
    const double yb = 560 - 56 + 8;
    for (int i = 0; i < 12; ++i) run(*screen, small, SDLK_LEFT);
    small.frame(9.0);
    small.pointer(550 + 86 + 22, yb + 20, false, false, true);
    screen->update(small.ctx());
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "9 – 16"));
    for (int i = 0; i < 2; ++i) {
        small.frame(9.1 + i);
        small.pointer(550 - 130 + 22, yb + 20, false, false, true);
        screen->update(small.ctx());
    }
    run(*screen, small);
    EXPECT_TRUE(rangeReads(small, "1 – 8"));

    // Escape goes back to the screen below.
    ui::Game::instance().resetTo({.kind = ui::ScreenKind::Menu});
    ui::Game::instance().push({.kind = ui::ScreenKind::Gallery});
    run(*screen, small, SDLK_ESCAPE);
    EXPECT_EQ(ui::Game::instance().top().kind, ui::ScreenKind::Menu);
}

TEST(GalleryScreen, ScreenshotsOverTheLandscape) {
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const struct {
        const char* name;
        const char* language;
        std::initializer_list<int> solved;
        int unlocked;
    } shots[] = {
        {"empty", "en", {}, 1},
        {"empty-page", "en", {0}, 30},
        {"de", "de", {0, 1, 2, 3, 5, 8}, 10},
        {"ja", "ja", {0, 1, 2, 3, 5, 8}, 10},
        {"ar", "ar", {0, 1, 2, 3, 5, 8}, 10},
    };
    testsupport::Frame previous;
    for (const auto& shot : shots) {
        i18n::setLanguage(shot.language);
        openStore(std::string("shot-") + shot.name, shot.solved, shot.unlocked);
        h.start({.kind = ui::ScreenKind::Gallery});
        const testsupport::Frame f = h.frame(2.0);
        ASSERT_TRUE(
            testsupport::savePng(f, testsupport::artefactDir() + "/gallery-" + shot.name + ".png"));
        if (!previous.empty()) {
            EXPECT_GT(testsupport::pixelsOver(previous, f, 40), 1000) << shot.name;
        }
        previous = f;
    }
    i18n::setLanguage("en");
}

TEST(GalleryScreen, InventedSolvesInTheRealGame) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd";
    const testsupport::Session s = testsupport::runXSession("gallery-solves", R"(
export PLUMBRIX_SCREEN=gallery PLUMBRIX_SOLVES=5
launch --size 1280x720 || exit 1
window_pos > "$OUT/pos"
# The first picture can take a while on a slow build or a busy machine; once painted, the
# landscape moves, so two shots that differ mean the screen is there.
for i in $(seq 1 30); do
    shot before; sleep 0.5; shot gallery
    cmp -s "$OUT/before.xwd" "$OUT/gallery.xwd" || break
done
keys ctrl+q
finish > "$OUT/status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/status").substr(0, 1), "0");
    int wx = 0, wy = 0;
    ASSERT_EQ(std::sscanf(testsupport::readText(s.dir + "/pos").c_str(), "%d %d", &wx, &wy), 2);
    const testsupport::Frame f = testsupport::loadXwd(s.dir + "/gallery.xwd");
    ASSERT_FALSE(f.empty());
    testsupport::savePng(f, testsupport::artefactDir() + "/x-gallery-solves.png");

    // Nothing stored: levels 1 to 5 are solved by invention, with 1, 2, 3, 1 and 2 stars.
    const ui::GalleryGrid g = galleryGrid(1280, 720, 1.0);
    int gold[6] = {};
    int colourful[6] = {};
    for (int k = 0; k < 6; ++k) {
        const ui::Rect r = ui::galleryTileRect(g, 1280, 720, 1.0, 60, k, g.perPage);
        const double picBottom = r.y + 9 + (r.h - 94);
        const int starY = static_cast<int>(picBottom + 13 + 15 + 16);
        for (int y = static_cast<int>(r.y) + 10; y < static_cast<int>(r.y + r.h) - 4; ++y)
            for (int x = static_cast<int>(r.x) + 10; x < static_cast<int>(r.x + r.w) - 10; ++x) {
                const std::uint32_t p = f.at(wx + x, wy + y);
                const int red = testsupport::red(p), green = testsupport::green(p),
                          blue = testsupport::blue(p);
                colourful[k] += y < picBottom && spread(p) > 90;
                const bool inStars =
                    std::abs(y - starY) <= 8 && std::abs(x - (r.x + r.w / 2)) <= 32;
                if (inStars && red > 220 && green > 180 && blue < 80) ++gold[k];
            }
    }
    for (int k = 0; k < 5; ++k) EXPECT_GT(colourful[k], 300) << "a miniature on tile " << k;
    EXPECT_LT(colourful[5], 50) << "level 6 shows a question mark";
    EXPECT_EQ(gold[5], 0);
    EXPECT_GT(gold[0], 10);
    // Gold pixels grow with the filled stars (anti-aliasing varies with the tile's place).
    const int want[5] = {1, 2, 3, 1, 2};
    for (int k = 1; k < 5; ++k)
        EXPECT_NEAR(gold[k], want[k] * gold[0], 0.25 * want[k] * gold[0]) << k << ": " << gold[k];
}
