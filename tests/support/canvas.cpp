#include "support/canvas.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace testsupport {

Canvas::Canvas(int w, int h, double ui)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr_(cairo_create(surface_)) {
    ctx_.cr = cr_;
    ctx_.w = w;
    ctx_.h = h;
    ctx_.ui = ui;
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Canvas::frame(double t, double dt) {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr_);
    cairo_restore(cr_);
    ctx_.t = t;
    ctx_.dt = dt;
    ctx_.in = ui::Input{};
    ctx_.clickUsed = false;
}

void Canvas::pointer(double x, double y, bool down, bool pressed, bool released) {
    ctx_.in.mouseX = x;
    ctx_.in.mouseY = y;
    ctx_.in.mouseDown = down;
    ctx_.in.pressed = pressed;
    ctx_.in.released = released;
}

std::uint32_t Canvas::pixel(int x, int y) const {
    cairo_surface_flush(surface_);
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface_) ||
        y >= cairo_image_surface_get_height(surface_))
        return 0;
    const unsigned char* row =
        cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

std::uint32_t Canvas::rgb(int x, int y) const {
    const std::uint32_t p = pixel(x, y);
    const double a = static_cast<double>(p >> 24);
    if (a == 0) return 0;
    auto ch = [a](std::uint32_t v) {
        return static_cast<std::uint32_t>(std::lround((v & 0xFF) * 255 / a));
    };
    return ch(p >> 16) << 16 | ch(p >> 8) << 8 | ch(p);
}

int Canvas::inked(int x, int y, int w, int h, int minAlpha) const {
    int n = 0;
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) n += static_cast<int>(pixel(xx, yy) >> 24) > minAlpha;
    return n;
}

Frame Canvas::image() const {
    Frame f{cairo_image_surface_get_width(surface_), cairo_image_surface_get_height(surface_), {}};
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) f.px.push_back(pixel(x, y));
    return f;
}

std::string Canvas::savePng(const std::string& name) const {
    const std::filesystem::path dir = std::filesystem::path(TARNWICK_BINARY_DIR) / "screenshots";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = (dir / (name + ".png")).string();
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS ? path : "";
}

bool nearRgb(std::uint32_t a, std::uint32_t b, int tol) {
    for (int s = 0; s < 24; s += 8)
        if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > tol)
            return false;
    return true;
}

}  // namespace testsupport
