// Level miniatures: fitting by width or by height, centring, the palette, and nothing at
// all when the marbles would be too small; plus a screenshot of the first levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include "core/grid.h"
#include "core/levels.h"
#include "support/canvas.h"
#include "theme.h"
#include "ui/draw.h"
#include "ui/levelthumb.h"

using testsupport::Canvas;

namespace {

// Extent of the ink: left, top, right, bottom (exclusive); all -1 when empty.
struct Box {
    int l = -1, t = -1, r = -1, b = -1;
};

Box inkBox(const Canvas& cv, int w, int h) {
    Box box;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((cv.pixel(x, y) >> 24) > 20) {
                if (box.l < 0 || x < box.l) box.l = x;
                if (box.t < 0) box.t = y;
                box.r = std::max(box.r, x + 1);
                box.b = y + 1;
            }
    return box;
}

// Every channel, alpha included, within tol.
bool near(std::uint32_t a, std::uint32_t b, int tol = 10) {
    return testsupport::nearRgb(a & 0xFFFFFF, b & 0xFFFFFF, tol) &&
           std::abs(static_cast<int>(a >> 24) - static_cast<int>(b >> 24)) <= tol;
}

// A new frame at time 0, for a picture of its own.
ui::Ctx& fresh(Canvas& cv) {
    cv.frame(0);
    return cv.ctx();
}

// The lowest row holding a marble in the level's starting board.
int lastRow(int level) {
    const core::LevelBoard lb = core::levelBoard(level);
    int last = 0;
    for (int r = 0; r < static_cast<int>(lb.board.size()); ++r)
        for (int v : lb.board[static_cast<std::size_t>(r)])
            if (v != -1) last = r;
    return last;
}

}  // namespace

TEST(LevelThumb, FitsCentresAndPaintsThePalette) {
    // Level 0 is a striped board of five full rows: a wide box limits by height.
    ASSERT_EQ(lastRow(0), 4);
    Canvas cv(600, 200);
    cv.frame(0);
    const ui::Rect tall{50, 20, 500, 100};
    ui::drawLevelThumb(cv.cr(), tall, 0);
    const double R = 100 / (4 * 1.732 + 2);
    const double gw = core::gridWidth(11, R);
    const Box box = inkBox(cv, 600, 200);
    EXPECT_NEAR(box.l, 50 + (500 - gw) / 2 + 0.06 * R, 1.5);
    EXPECT_NEAR(box.r, 50 + (500 + gw) / 2 - 0.06 * R, 1.5);
    EXPECT_NEAR(box.t, 20 + 2 + 0.06 * R, 1.5);
    EXPECT_NEAR(box.b, 20 + 2 + core::cellCenter(4, 0, R).y + 0.94 * R, 1.5);

    // A narrow box limits by width; the marbles stay inside its sides.
    ui::drawLevelThumb(fresh(cv).cr, ui::Rect{100, 10, 115, 180}, 0);
    const Box nb = inkBox(cv, 600, 200);
    EXPECT_GE(nb.l, 100);
    EXPECT_LE(nb.r, 215);
    const double Rw = 115.0 / 23;
    EXPECT_NEAR(nb.b - nb.t, core::cellCenter(4, 0, Rw).y + 0.94 * Rw - (Rw - 0.94 * Rw), 1.5);

    // Equal cells look equal, and colours follow the level's palette: stripes 0 0 0 1 1 1.
    ui::drawLevelThumb(fresh(cv).cr, tall, 0);
    const double x0 = 50 + (500 - gw) / 2;
    auto centre = [&](int r, int c) {
        const core::Point p = core::cellCenter(r, c, R);
        return cv.pixel(static_cast<int>(std::floor(p.x + x0)),
                        static_cast<int>(std::floor(p.y + 22)));
    };
    EXPECT_TRUE(near(centre(0, 0), centre(0, 1)));
    EXPECT_TRUE(near(centre(0, 0), centre(1, 1)));  // row 1 repeats row 0, shifted
    EXPECT_FALSE(near(centre(0, 2), centre(0, 3), 30));
    // Candy's first colour is a red.
    EXPECT_GT((centre(0, 0) >> 16) & 0xFF, (centre(0, 0) >> 8) & 0xFF);
    EXPECT_EQ(cv.inked(0, 0, 50, 200) + cv.inked(550, 0, 50, 200), 0);  // nothing beside it
}

TEST(LevelThumb, TooSmallPaintsNothing) {
    Canvas cv(100, 100);
    // Width 11: 11 / 23 < 0.5, nothing at all; width 12: R = 0.52, tiny marbles appear.
    // Height: 5 rows need 8.93 R, so a 4-unit box gives R < 0.5.
    for (const auto& [w, h, inks] : {std::tuple{11.0, 60.0, false}, {12.0, 60.0, true},
                                     {80.0, 4.0, false}, {0.0, 0.0, false}, {-50.0, 40.0, false}}) {
        ui::drawLevelThumb(fresh(cv).cr, ui::Rect{10, 10, w, h}, 0);
        EXPECT_EQ(cv.inked(0, 0, 100, 100, 0) > 0, inks) << w << " x " << h;
    }
}

TEST(LevelThumb, OutOfRangeLevelsAreClamped) {
    Canvas a(300, 200), b(300, 200);
    for (const auto& [asked, real] : {std::pair{-3, 0}, std::pair{250, 99}}) {
        a.frame(0);
        b.frame(0);
        ui::drawLevelThumb(a.cr(), ui::Rect{10, 10, 280, 180}, asked);
        ui::drawLevelThumb(b.cr(), ui::Rect{10, 10, 280, 180}, real);
        int differ = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) differ += a.pixel(x, y) != b.pixel(x, y);
        EXPECT_EQ(differ, 0) << asked;
        EXPECT_GT(a.inked(0, 0, 300, 200), 100);
    }
}

TEST(LevelThumb, Screenshot) {
    Canvas cv(1100, 380);
    cv.frame(0);
    cv.fill(0x1b1030);
    for (int i = 0; i < 10; ++i) {
        const ui::Rect r{10.0 + (i % 5) * 218, 10.0 + (i / 5) * 185, 200, 170};
        ui::fillRoundedRect(cv.cr(), r, 12, theme::worldForLevel(i).boardTint, 1.0);
        ui::drawLevelThumb(cv.cr(), ui::Rect{r.x + 8, r.y + 8, r.w - 16, r.h - 16}, i * 11);
    }
    ASSERT_FALSE(cv.savePng("levelthumbs").empty());
}
