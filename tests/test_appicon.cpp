// The committed icons are what the painter draws now, so a change to the marbles that
// forgets to redraw them fails here; and they are real icons: filled in the middle,
// transparent at the corners.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "ui/appicon.h"
#include "ui/shell.h"

namespace {

std::uint32_t pixel(cairo_surface_t* s, int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(s) +
                               static_cast<size_t>(y) * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

int channelDiff(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

}  // namespace

TEST(AppIcon, CommittedPngsMatchThePainterAndAreRealIcons) {
    for (int size : ui::kAppIconSizes) {
        const std::string px = std::to_string(size);
        const std::string path = std::string(TARNWICK_SOURCE_DIR) + "/data/icons/hicolor/" + px +
                                 "x" + px + "/apps/" + ui::kAppId + ".png";
        cairo_surface_t* committed = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(committed), CAIRO_STATUS_SUCCESS) << path;
        ASSERT_EQ(cairo_image_surface_get_width(committed), size);
        ASSERT_EQ(cairo_image_surface_get_height(committed), size);
        cairo_surface_t* drawn = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(drawn);
        ui::paintAppIcon(cr, size);
        cairo_destroy(cr);
        cairo_surface_flush(drawn);
        // PNG round trips unpremultiply and premultiply again: allow a step or two.
        int worst = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                worst = std::max(worst, channelDiff(pixel(committed, x, y), pixel(drawn, x, y)));
        EXPECT_LE(worst, 3) << "redraw with tools/make_icon.cpp: " << px;
        // Corners clear, the centre of each marble opaque.
        EXPECT_EQ((pixel(drawn, 0, 0) | pixel(drawn, size - 1, 0)) >> 24, 0u) << px;
        for (const auto& [x, y] : {std::pair{size / 2, size / 3}, {size / 4, size * 2 / 3},
                                   {size * 3 / 4, size * 2 / 3}})
            EXPECT_EQ(pixel(drawn, x, y) >> 24, 0xFFu) << px << " at " << x << "," << y;
        cairo_surface_destroy(drawn);
        cairo_surface_destroy(committed);
    }
}
