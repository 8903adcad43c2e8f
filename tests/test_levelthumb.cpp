// Level miniatures: inside and centred in their box, clamped levels, nothing when the
// marbles would be too small.
#include <gtest/gtest.h>

#include <tuple>

#include "support/canvas.h"
#include "ui/levelthumb.h"

TEST(LevelThumb, FitsCentredClampsAndSkipsTinyBoxes) {
    testsupport::Canvas a(300, 200), b(300, 200);
    for (const auto& [asked, real] : {std::pair{-3, 0}, std::pair{250, 99}}) {
        a.frame(0);
        b.frame(0);
        ui::drawLevelThumb(a.cr(), ui::Rect{60, 10, 180, 180}, asked);
        ui::drawLevelThumb(b.cr(), ui::Rect{60, 10, 180, 180}, real);
        EXPECT_EQ(a.image().px, b.image().px) << asked;
        const int ink = a.inked(0, 0, 300, 200);
        EXPECT_GT(ink, 1000);
        EXPECT_EQ(a.inked(60, 10, 180, 180), ink) << "inside its box";
        if (real == 0) {  // a full striped board: as much ink left of the middle as right
            EXPECT_NEAR(a.inked(0, 0, 150, 200), a.inked(150, 0, 150, 200), 0.1 * ink);
        }
    }
    // Below half a unit per marble radius nothing at all is painted.
    for (const auto& [w, h, inks] : {std::tuple{11.0, 60.0, false},
                                     {12.0, 60.0, true},
                                     {80.0, 4.0, false},
                                     {-50.0, 40.0, false}}) {
        a.frame(0);
        ui::drawLevelThumb(a.cr(), ui::Rect{10, 10, w, h}, 0);
        EXPECT_EQ(a.inked(0, 0, 300, 200, 0) > 0, inks) << w << " x " << h;
    }
}
