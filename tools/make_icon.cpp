// Paints the application icon with the game's own marble painter: three marbles packed as
// on the board, as a scalable SVG and as PNGs at the hicolor sizes. The results are
// committed; run this again only when the marbles' look changes:
//   cmake --build build --target tarnwick_icon && build/tarnwick_icon data/icons
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "theme.h"
#include "ui/bubble.h"

namespace {

constexpr const char* kAppId = "org.tarnwick.Tarnwick";
constexpr int kPngSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};
constexpr int kSvgSize = 256;

// Red and blue below, yellow on top, touching like neighbours in the field.
void paintIcon(cairo_t* cr, double size) {
    const double margin = size * 0.03;
    const double r = (size - 2 * margin) / 4.0;
    const double height = (2.0 + std::sqrt(3.0)) * r;
    const double bottom = size / 2 + height / 2 - r;
    const double top = bottom - std::sqrt(3.0) * r;
    const double cx = size / 2;
    const auto skin = theme::MarbleSkin::Classic;
    ui::paintBubbleCairo(cr, skin, 0xFF4D6D, cx - r, bottom, r);
    ui::paintBubbleCairo(cr, skin, 0x4DC6FF, cx + r, bottom, r);
    ui::paintBubbleCairo(cr, skin, 0xFFE04D, cx, top, r);
}

bool writePng(const std::string& dir, int size) {
    const std::string folder =
        dir + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    paintIcon(cr, size);
    cairo_destroy(cr);
    const std::string path = folder + "/" + kAppId + ".png";
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool writeSvg(const std::string& dir) {
    const std::string folder = dir + "/hicolor/scalable/apps";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = folder + "/" + kAppId + ".svg";
    cairo_surface_t* s = cairo_svg_surface_create(path.c_str(), kSvgSize, kSvgSize);
    cairo_svg_surface_set_document_unit(s, CAIRO_SVG_UNIT_PX);  // icon themes expect pixels
    cairo_t* cr = cairo_create(s);
    paintIcon(cr, kSvgSize);
    cairo_destroy(cr);
    cairo_surface_finish(s);
    const bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ICON_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = writeSvg(dir);
    for (int size : kPngSizes) ok = writePng(dir, size) && ok;
    if (!ok) std::fprintf(stderr, "could not write every icon under %s\n", dir.c_str());
    return ok ? 0 : 1;
}
