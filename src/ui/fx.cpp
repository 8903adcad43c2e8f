#include "ui/fx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "theme.h"
#include "ui/app.h"
#include "ui/bubble.h"
#include "ui/draw.h"
#include "ui/gpu.h"

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPopupLife = 1.1;
constexpr double kSplashTime = 0.6;
// Falling marbles accelerate at 2600 units/s^2: y = y0 + 1300 a^2.
constexpr double kFallAccel = 2600.0;

void paintBlob(cairo_t* cr, void*) {
    const double r = 24;
    cairo_pattern_t* g = cairo_pattern_create_radial(r, 0.85 * r, 0, r, r, r);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, 1);
    cairo_pattern_add_color_stop_rgba(g, 0.7, 1, 1, 1, 0.9);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0);
    cairo_new_path(cr);
    cairo_arc(cr, r, r, 0.98 * r, 0, 2 * kPi);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

void paintRing(cairo_t* cr, void*) {
    const double r = 48;
    cairo_set_line_width(cr, 0.16 * r);
    cairo_new_path(cr);
    cairo_arc(cr, r, r, 0.86 * r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    cairo_stroke(cr);
}

SDL_Texture* sharedSprite(const char* key, double logicalEdge, void (*paint)(cairo_t*, void*)) {
    const long px = std::lround(logicalEdge * gpuScale());
    if (px < 1) return nullptr;
    return gpuTexture(key, static_cast<int>(px), static_cast<int>(px), paint, nullptr);
}

}  // namespace

void Fx::droplet(double x, double y, double vx, double vy, std::uint32_t colour, double bornAt,
                 double size) {
    parts_.push_back({x, y, vx, vy, colour, bornAt, 0.9, size, 0, 0, 0, 0, -1});
}

void Fx::sparkle(double x, double y, double vx, double vy, std::uint32_t colour, double bornAt,
                 double size) {
    parts_.push_back({x, y, vx, vy, colour, bornAt, 0.75, size, 1, 0, 0, 0, -1});
}

void Fx::shockwave(double cx, double cy, std::uint32_t colour, double bornAt, double scale,
                   double R) {
    parts_.push_back({cx, cy, 0, 0, colour, bornAt, 0.5, scale, 2, R * 2.6 * scale, 0, 0, -1});
}

void Fx::fallingBubble(double x, double y0, double vx, std::uint32_t colour, int skin,
                       double bornAt, double floorY, double R, int symbol) {
    // Even a marble that starts right above the floor falls as if from 60 units, so every
    // marble gets a visible tumble before it splashes.
    const double d = floorY - 0.8 * R - y0;
    const double T = d > 60 ? std::sqrt(2 * d / kFallAccel) : std::sqrt(120 / kFallAccel);
    parts_.push_back(
        {x, y0, vx, 0, colour, bornAt, T + kSplashTime, R, 3, floorY, T, skin, symbol});
}

void Fx::popGhost(double cx, double cy, std::uint32_t colour, int skin, double bornAt, double R,
                  int symbol) {
    parts_.push_back({cx, cy, 0, 0, colour, bornAt, 0.28, R, 4, 0, 0, skin, symbol});
}

void Fx::popup(double x, double y, const std::string& text, std::uint32_t colour, double bornAt,
               bool big) {
    popups_.push_back({x, y, text, colour, bornAt, big});
}

void Fx::update(Ctx& c) {
    const double t = c.t;
    std::erase_if(parts_, [t](const P& p) { return t - p.bornAt > p.life; });
    std::erase_if(popups_, [t](const Popup& p) { return t - p.bornAt > kPopupLife; });
}

Fx::Pose Fx::pose(const P& p, double t) {
    Pose o;
    const double a = t - p.bornAt;
    if (!(a >= 0) || p.kind < 0 || p.kind > 4) return o;
    const double u = p.life > 0 ? a / p.life : 1.0;
    o.visible = true;
    o.tint = p.color;
    switch (p.kind) {
        case 0:  // droplet: falls at 1400 units/s^2, shrinks a little, fades
            o.x = p.x + p.vx * a;
            o.y = p.y + p.vy * a + 700 * a * a;
            o.hw = o.hh = (1 - 0.35 * u) * p.size;
            o.alpha = 1 - u;
            break;
        case 1:  // sparkle: lighter, floatier (490 units/s^2)
            o.x = p.x + p.vx * a;
            o.y = p.y + p.vy * a + 245 * a * a;
            o.hw = o.hh = (1 - 0.5 * u) * p.size;
            o.tint = theme::lighten(p.color, 0.5);
            o.alpha = 0.9 * (1 - u);
            break;
        case 2:  // shockwave: a ring growing from a quarter to its full radius
            o.sprite = Sprite::Ring;
            o.x = p.x;
            o.y = p.y;
            o.hw = o.hh = (0.25 + 0.75 * u) * p.extra;
            o.alpha = 0.7 * (1 - u);
            break;
        case 3: {
            const double r = p.size;
            const double T = p.extra2;
            if (a <= T) {
                // Tumbling while it falls: faster the harder it was thrown sideways.
                double rate = r > 1 ? 0.3 * p.vx / r : 0.3 * p.vx;
                rate += p.vx >= 0 ? 1.6 : -1.6;
                o.sprite = Sprite::Marble;
                o.x = p.x + p.vx * a;
                o.y = p.y + 0.5 * kFallAccel * a * a;
                o.hw = o.hh = r;
                o.alpha = 1.0;
                o.angleDeg = rate * a * 180.0 / kPi;
            } else {
                // A splat on the floor line that widens and flattens.
                double v = (a - T) / kSplashTime;
                double w = 2.8 * r, h = 0.4 * r;
                if (v < 1) {
                    w = (1.6 + 1.2 * v) * r;
                    h = (0.9 - 0.5 * v) * r;
                } else {
                    v = 1;
                }
                o.x = p.x + p.vx * T;
                o.y = p.extra;
                o.hw = w;
                o.hh = h;
                o.alpha = 0.85 * (1 - v);
            }
            break;
        }
        default:  // 4, pop ghost: swells and fades where the marble was
            o.x = p.x;
            o.y = p.y;
            o.hw = o.hh = (1 + 0.6 * u) * p.size;
            o.tint = theme::lighten(p.color, 0.35);
            o.alpha = 0.95 * (1 - u);
            break;
    }
    return o;
}

void Fx::drawGpu(Ctx& c) {
    SDL_Texture* blob = sharedSprite("fx_blob", 48, paintBlob);
    SDL_Texture* ring = sharedSprite("fx_ring", 96, paintRing);
    for (const P& p : parts_) {
        const Pose o = pose(p, c.t);
        if (!o.visible) continue;
        if (o.sprite == Sprite::Marble) {
            drawBubbleSpun(static_cast<theme::MarbleSkin>(p.skin), p.color, o.x, o.y, o.hw,
                           o.angleDeg, o.alpha, p.symbol);
            continue;
        }
        SDL_Texture* tex = o.sprite == Sprite::Ring ? ring : blob;
        if (tex) gpuBlitTinted(tex, o.x - o.hw, o.y - o.hh, 2 * o.hw, 2 * o.hh, o.tint, o.alpha);
    }
}

const Fx::TextImage& Fx::textImage(const Popup& p) {
    const double scale = gpuScale() > 0 ? gpuScale() : 1.0;
    char tail[64];
    std::snprintf(tail, sizeof tail, "|%06x|%d|%.3f", p.color & 0xffffffu, p.big ? 1 : 0, scale);
    const std::string key = p.text + tail;
    for (const TextImage& im : images_) {
        if (im.key == key) return im;
    }
    TextStyle st;
    st.family = "DejaVu Sans, Quendra CJK";
    st.size = p.big ? 24 : 17;
    st.bold = true;
    st.align = Align::Center;
    const double pad = 4;
    double tw = 0, th = 0;
    {
        cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* cr = cairo_create(probe);
        measureText(cr, p.text, st, &tw, &th);
        cairo_destroy(cr);
        cairo_surface_destroy(probe);
    }
    TextImage im;
    im.key = key;
    im.w = tw + 2 * pad;
    im.h = th + 2 * pad;
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(im.w * scale)),
        static_cast<int>(std::ceil(im.h * scale)));
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    st.color = 0x000000;
    st.alpha = 0.45;
    drawTextCentered(cr, im.w / 2 + 1.5, im.h / 2 + 1.5, p.text, st);
    st.color = p.color;
    st.alpha = 1.0;
    drawTextCentered(cr, im.w / 2, im.h / 2, p.text, st);
    cairo_destroy(cr);
    im.surface.reset(surface, cairo_surface_destroy);
    if (images_.size() >= 12) images_.erase(images_.begin());
    images_.push_back(std::move(im));
    return images_.back();
}

void Fx::drawText(Ctx& c) {
    if (!c.cr) return;
    for (const Popup& p : popups_) {
        const double a = c.t - p.bornAt;
        if (a < 0) continue;
        const double u = a / kPopupLife;
        const double f = std::max(0.0, 1 - u * u);
        if (f <= 0) continue;
        const double y = p.y - 60 * u;
        const TextImage& im = textImage(p);
        cairo_save(c.cr);
        cairo_set_source_surface(c.cr, im.surface.get(), p.x - im.w / 2, y - im.h / 2);
        cairo_paint_with_alpha(c.cr, f);
        cairo_restore(c.cr);
    }
}

void Fx::clear() {
    parts_.clear();
    popups_.clear();
}

}  // namespace ui
