// The committed icons are what the painter draws now (a change to the marbles that forgets
// to redraw them fails here), and they are real icons: clear corners, a filled middle.
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"
#include "ui/appicon.h"
#include "ui/shell.h"

TEST(AppIcon, CommittedPngsMatchThePainterAndAreRealIcons) {
    for (int size : ui::kAppIconSizes) {
        const std::string px = std::to_string(size);
        const testsupport::Frame committed =
            testsupport::loadPng(TARNWICK_SOURCE_DIR "/data/icons/hicolor/" + px + "x" + px +
                                 "/apps/" + ui::kAppId + ".png");
        testsupport::Frame drawn{size, size, {}};
        drawn.px.resize(static_cast<size_t>(size) * size);
        cairo_surface_t* s =
            cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(drawn.px.data()),
                                                CAIRO_FORMAT_ARGB32, size, size, size * 4);
        cairo_t* cr = cairo_create(s);
        ui::paintAppIcon(cr, size);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        // PNG round trips unpremultiply and premultiply again: allow a step or two.
        EXPECT_LE(testsupport::maxChannelDiff(committed, drawn), 3)
            << "redraw with tools/make_icon.cpp: " << px;
        EXPECT_EQ(
            testsupport::alphaOf(drawn.at(0, 0)) + testsupport::alphaOf(drawn.at(size - 1, 0)), 0)
            << px;
        EXPECT_EQ(testsupport::alphaOf(drawn.at(size / 2, size / 3)), 255) << px;
    }
}
