#include "support/canvas.h"

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

}  // namespace testsupport
