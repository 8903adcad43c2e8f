// Level miniatures: fitting by width or by height, centring, the palette, and nothing at
// all when the marbles would be too small; plus a screenshot of the first levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
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

bool near(std::uint32_t a, std::uint32_t b, int tol = 10) {
    for (int sh = 0; sh < 32; sh += 8) {
        const int d = static_cast<int>((a >> sh) & 0xFF) - static_cast<int>((b >> sh) & 0xFF);
        if (std::abs(d) > tol) return false;
    }
    return true;
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
    cv.frame(0);
    const ui::Rect narrow{100, 10, 115, 180};
    ui::drawLevelThumb(cv.cr(), narrow, 0);
    const Box nb = inkBox(cv, 600, 200);
    EXPECT_GE(nb.l, 100);
    EXPECT_LE(nb.r, 215);
    const double Rw = 115.0 / 23;
    EXPECT_NEAR(nb.b - nb.t, core::cellCenter(4, 0, Rw).y + 0.94 * Rw - (Rw - 0.94 * Rw), 1.5);

    // Equal cells look equal, and colours follow the level's palette: stripes 0 0 0 1 1 1.
    cv.frame(0);
    ui::drawLevelThumb(cv.cr(), tall, 0);
    const double x0 = 50 + (500 - gw) / 2;
    auto centre = [&](int r, int c) {
        const core::Point p = core::cellCenter(r, c, R);
        return cv.pixel(static_cast<int>(std::floor(p.x + x0)),
                        static_cast<int>(std::floor(p.y + 22)));
    };
    EXPECT_TRUE(near(centre(0, 0), centre(0, 1)));
    EXPECT_TRUE(near(centre(0, 0), centre(1, 1)));  // row 1 repeats row 0, shifted
    EXPECT_FALSE(near(centre(0, 2), centre(0, 3), 30));
    const std::uint32_t c0 = centre(0, 0);
    const int red = static_cast<int>((c0 >> 16) & 0xFF);
    const int green = static_cast<int>((c0 >> 8) & 0xFF);
    const std::uint32_t want = theme::paletteForLevel(0)[0];  // candy's first: a red
    EXPECT_GT(red, green);
    EXPECT_GT(static_cast<int>(want >> 16), static_cast<int>((want >> 8) & 0xFF));

    // Nothing outside the rectangle's sides.
    EXPECT_EQ(cv.inked(0, 0, 50, 200), 0);
    EXPECT_EQ(cv.inked(550, 0, 50, 200), 0);
}

TEST(LevelThumb, TooSmallPaintsNothing) {
    Canvas cv(100, 100);
    // Width term 11 / 23 < 0.5: nothing at all.
    cv.frame(0);
    ui::drawLevelThumb(cv.cr(), ui::Rect{10, 10, 11, 60}, 0);
    EXPECT_EQ(cv.inked(0, 0, 100, 100, 0), 0);
    // Width 12: R = 0.52, tiny marbles appear.
    cv.frame(0);
    ui::drawLevelThumb(cv.cr(), ui::Rect{10, 10, 12, 60}, 0);
    EXPECT_GT(cv.inked(0, 0, 100, 100, 0), 0);
    // Height term: 5 rows need 8.93 R; a 4-unit box gives R < 0.5.
    cv.frame(0);
    ui::drawLevelThumb(cv.cr(), ui::Rect{10, 10, 80, 4}, 0);
    EXPECT_EQ(cv.inked(0, 0, 100, 100, 0), 0);
    cv.frame(0);
    ui::drawLevelThumb(cv.cr(), ui::Rect{10, 10, 0, 0}, 0);
    ui::drawLevelThumb(cv.cr(), ui::Rect{10, 10, -50, 40}, 0);
    EXPECT_EQ(cv.inked(0, 0, 100, 100, 0), 0);
}

TEST(LevelThumb, OutOfRangeLevelsAreClamped) {
    Canvas a(300, 200), b(300, 200);
    for (const auto& [asked, real] : {std::pair{-3, 0}, std::pair{250, 99}}) {
        a.frame(0);
        b.frame(0);
        ui::drawLevelThumb(a.cr(), ui::Rect{10, 10, 280, 180}, asked);
        ui::drawLevelThumb(b.cr(), ui::Rect{10, 10, 280, 180}, real);
        bool same = true;
        for (int y = 0; y < 200 && same; ++y)
            for (int x = 0; x < 300 && same; ++x) same = a.pixel(x, y) == b.pixel(x, y);
        EXPECT_TRUE(same) << asked;
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
