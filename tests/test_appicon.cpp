// The committed icons are what the painter draws now (a change to the marbles that forgets
// to redraw them fails here), and they are real icons: clear corners, a filled middle.
#include <gtest/gtest.h>

#include <string>

#include "support/canvas.h"
#include "ui/appicon.h"
#include "ui/shell.h"

TEST(AppIcon, CommittedPngsMatchThePainterAndAreRealIcons) {
    for (int size : ui::kAppIconSizes) {
        const std::string px = std::to_string(size);
        const testsupport::Frame committed =
            testsupport::loadPng(TARNWICK_SOURCE_DIR "/data/icons/hicolor/" + px + "x" + px +
                                 "/apps/" + ui::kAppId + ".png");
        testsupport::Canvas cv(size, size);
        ui::paintAppIcon(cv.cr(), size);
        const testsupport::Frame drawn = cv.image();
        // PNG round trips unpremultiply and premultiply again: allow a step or two.
        EXPECT_LE(testsupport::maxChannelDiff(committed, drawn), 3)
            << "redraw with tools/make_icon.cpp: " << px;
        EXPECT_EQ(
            testsupport::alphaOf(drawn.at(0, 0)) + testsupport::alphaOf(drawn.at(size - 1, 0)), 0)
            << px;
        EXPECT_EQ(testsupport::alphaOf(drawn.at(size / 2, size / 3)), 255) << px;
    }
}
