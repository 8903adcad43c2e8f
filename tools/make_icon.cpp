// Writes the application icon (ui/appicon.h) as a scalable SVG and as PNGs at the hicolor
// sizes. The results are committed, and a test fails when they no longer match the
// painter; run this again after the marbles' look changes:
//   cmake --build build --target tarnwick_icon && build/tarnwick_icon data/icons
#include <cairo-svg.h>
#include <cairo.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ui/appicon.h"
#include "ui/shell.h"

namespace {

constexpr int kSvgSize = 256;

bool writePng(const std::string& dir, int size) {
    const std::string folder =
        dir + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    ui::paintAppIcon(cr, size);
    cairo_destroy(cr);
    const std::string path = folder + "/" + ui::kAppId + ".png";
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool writeSvg(const std::string& dir) {
    const std::string folder = dir + "/hicolor/scalable/apps";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = folder + "/" + ui::kAppId + ".svg";
    cairo_surface_t* s = cairo_svg_surface_create(path.c_str(), kSvgSize, kSvgSize);
    cairo_svg_surface_set_document_unit(s, CAIRO_SVG_UNIT_PX);  // icon themes expect pixels
    cairo_t* cr = cairo_create(s);
    ui::paintAppIcon(cr, kSvgSize);
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
    for (int size : ui::kAppIconSizes) ok = writePng(dir, size) && ok;
    if (!ok) std::fprintf(stderr, "could not write every icon under %s\n", dir.c_str());
    return ok ? 0 : 1;
}
