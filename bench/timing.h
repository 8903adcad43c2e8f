// Clocks and the median shared by the frame benchmarks.
#pragma once

#include <SDL.h>
#include <cairo.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ui/app.h"
#include "ui/shell.h"

namespace benchtiming {

// CPU seconds of the whole process, rasteriser threads included.
inline double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Monotonic wall-clock seconds.
inline double wallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The middle value (upper middle for an even count); 0 for none.
inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The renderer as the game sets it up, before the first window:
// textures filtered linearly, and SDL's software renderer presenting through a plain window
// framebuffer, as on the dummy video driver, rather than through an OpenGL texture SDL
// makes for it on the offscreen driver (and on X11), so that the software figures hold the
// renderer's own cost alone.
inline void gameRenderer() {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

// The floor every frame of a full-window canvas pays: a mark in every canvas tile and on
// the last row, so the whole canvas is cleared, uploaded and drawn before the frame is
// presented. The marks change from frame to frame, as a changing canvas does: rows the
// graphics card holds already are not uploaded again.
inline void floorFrame(ui::Ctx& ctx) {
    cairo_surface_t* s = cairo_get_target(ctx.cr);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const int w = cairo_image_surface_get_width(s);
    const int h = cairo_image_surface_get_height(s);
    static unsigned calls = 0;  // black at alpha 1/255 or 2/255, premultiplied, by turns
    const std::uint32_t mark = ++calls % 2 == 0 ? 0x01000000u : 0x02000000u;
    auto put = [&](int x, int y) {
        std::memcpy(data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, &mark,
                    sizeof mark);
    };
    for (int x = 0; x < w; x += ui::kCanvasTile) {
        for (int y = 0; y < h; y += ui::kCanvasTile) put(x, y);
        put(x, h - 1);
    }
    cairo_surface_mark_dirty(s);
}

}  // namespace benchtiming
