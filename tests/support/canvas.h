// A frame context painting into an in-memory cairo image, with scripted input.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "support/headless.h"
#include "ui/app.h"

namespace testsupport {

class Canvas {
  public:
    // A w x h logical canvas (one pixel per unit) with Ctx::ui set to ui.
    Canvas(int w, int h, double ui = 1.0);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    ui::Ctx& ctx() { return ctx_; }
    cairo_t* cr() const { return cr_; }
    // Starts a frame at time t: clears the picture, the input and clickUsed, not the scroll.
    void frame(double t, double dt = 1.0 / 60);
    void pointer(double x, double y, bool down = false, bool pressed = false,
                 bool released = false);
    // 0xAARRGGBB (premultiplied) of a pixel, 0 outside.
    std::uint32_t pixel(int x, int y) const;
    // Number of pixels in the rectangle whose alpha is above minAlpha.
    int inked(int x, int y, int w, int h, int minAlpha = 8) const;
    // The picture (paint an opaque backdrop for a golden comparison).
    Frame image() const;

  private:
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    ui::Ctx ctx_;
};

}  // namespace testsupport
