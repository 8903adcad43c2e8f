#include "ui/decor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/grid.h"
#include "ui/bubble.h"
#include "ui/gpu.h"

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;

using theme::darken;
using theme::lighten;

void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

void addStop(cairo_pattern_t* p, double offset, std::uint32_t rgb, double a) {
    cairo_pattern_add_color_stop_rgba(p, offset, ((rgb >> 16) & 0xFF) / 255.0,
                                      ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a);
}

// A soft round glow: inner colour at the centre fading to outer at the rim.
void radial(cairo_t* cr, double cx, double cy, double r, std::uint32_t inner, double aInner,
            std::uint32_t outer, double aOuter) {
    if (!(r > 0)) return;
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    addStop(p, 0, inner, aInner);
    addStop(p, 1, outer, aOuter);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

constexpr int kGlowPx = 128;

void paintGlow(cairo_t* cr, void*) {
    const double r = kGlowPx / 2.0 / gpuScale();
    cairo_pattern_t* p = cairo_pattern_create_radial(r, r, 0, r, r, r);
    cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 1);
    cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 0);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

// A large soft light fading from rgb at alpha in the centre to nothing at radius r: one
// cached sprite stretched and tinted on the renderer, a gradient on cr only without one.
void softGlow(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    if (!(r > 0)) return;
    SDL_Texture* tex = gpuTexture("fx_glow", kGlowPx, kGlowPx, paintGlow, nullptr);
    if (tex != nullptr)
        gpuBlitTinted(tex, cx - r, cy - r, 2 * r, 2 * r, rgb, alpha);
    else
        radial(cr, cx, cy, r, rgb, alpha, rgb, 0);
}

// cairo has only cubic curves: the quadratic through control point (qx, qy).
void quadTo(cairo_t* cr, double x0, double y0, double qx, double qy, double x1, double y1) {
    cairo_curve_to(cr, x0 + 2.0 / 3.0 * (qx - x0), y0 + 2.0 / 3.0 * (qy - y0),
                   x1 + 2.0 / 3.0 * (qx - x1), y1 + 2.0 / 3.0 * (qy - y1), x1, y1);
}

void strokeQuad(cairo_t* cr, double x0, double y0, double qx, double qy, double x1, double y1) {
    cairo_new_path(cr);
    cairo_move_to(cr, x0, y0);
    quadTo(cr, x0, y0, qx, qy, x1, y1);
    cairo_stroke(cr);
}

std::uint32_t lcgStep(std::uint32_t s) { return s * 1664525u + 1013904223u; }

// Everything a trick changes about the mascot; all zero when no trick plays.
struct TrickPose {
    double lift = 0, squash = 0, tilt = 0, spin = 0;
    double squint = 0, wink = 0, tongue = 0;
    bool circleEyes = false;
    double eyeAngle = 0;
    double bubblesP = -1;  // progress of the Bubbles trick, -1 when not blowing
};

TrickPose poseFor(Trick trick, double trickAge) {
    TrickPose s;
    const double dur = trickDuration(trick);
    if (!(dur > 0) || !(trickAge >= 0) || !(trickAge < dur)) return s;
    const double p = trickAge / dur;
    switch (trick) {
        case Trick::Eyes:
            s.circleEyes = true;
            s.eyeAngle = 4 * kPi * p;
            break;
        case Trick::Nod:
            s.tilt = 0.22 * std::sin(2 * kPi * p);
            s.squash = 0.1 * std::sin(kPi * p);
            break;
        case Trick::Hop:
            s.lift = 0.9 * std::sin(kPi * p);
            if (p > 0.85) s.squash = 0.16 * (p - 0.85) / 0.15;
            break;
        case Trick::Flip:
            s.lift = 1.5 * std::sin(kPi * p);
            s.spin = 2 * kPi * p;
            break;
        case Trick::Spin:
            s.spin = 4 * kPi * (1 - (1 - p) * (1 - p));
            s.squash = 0.06;
            break;
        case Trick::Shake:
            s.tilt = 0.16 * std::sin(8 * kPi * p) * (1 - p);
            break;
        case Trick::Tongue: {
            const double a = p < 0.15 ? p / 0.15 : (p <= 0.85 ? 1.0 : (1 - p) / 0.15);
            s.tongue = a;
            s.squint = 0.85 * a;
            s.squash = 0.06 * std::sin(kPi * p);
            break;
        }
        case Trick::Wink: {
            const double w = p < 0.2 ? p / 0.2 : (p <= 0.75 ? 1.0 : 4 * (1 - p));
            s.wink = w;
            s.tilt = 0.1 * w;
            break;
        }
        case Trick::Bubbles:
            s.squash = -0.05 * std::sin(kPi * p);
            s.bubblesP = p;
            break;
        case Trick::None:
            break;
    }
    return s;
}

void drawEye(cairo_t* cr, double x, double h, double value, double blink, double gx, double gy,
             std::uint32_t color) {
    const double e = 0.155 * h;
    const double y = -0.08 * h;
    if (value > 0.7) {
        cairo_save(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_width(cr, std::max(0.05 * h, 1.5));
        setColor(cr, darken(color, 0.6), 1.0);
        cairo_new_path(cr);
        cairo_move_to(cr, x - 0.9 * e, y);
        cairo_curve_to(cr, x - 0.45 * e, y + 0.7 * e, x + 0.45 * e, y + 0.7 * e, x + 0.9 * e, y);
        cairo_stroke(cr);
        cairo_restore(cr);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, 1, std::max((1 - value) * blink, 0.06));
    cairo_new_path(cr);
    ellipse(cr, 0, 0, e, 1.15 * e);
    setColor(cr, 0xffffff, 1.0);
    cairo_fill(cr);
    const double pr = 0.52 * e;
    const double px = gx * 0.052 * h;
    const double py = gy * 0.052 * h;
    fillCircle(cr, px, py, pr, 0x2a1440, 1.0);
    fillCircle(cr, px - 0.32 * pr, py - 0.36 * pr, 0.38 * pr, 0xffffff, 1.0);
    cairo_restore(cr);
}

void drawMouth(cairo_t* cr, double h, Mood mood, std::uint32_t deep) {
    cairo_save(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, std::max(0.045 * h, 1.5));
    setColor(cr, deep, 1.0);
    switch (mood) {
        case Mood::Happy: {
            const double x0 = -0.22 * h, x1 = 0.22 * h, y = 0.18 * h;
            cairo_new_path(cr);
            cairo_move_to(cr, x0, y);
            quadTo(cr, x0, y, 0, 0.52 * h, x1, y);
            quadTo(cr, x1, y, 0, 0.32 * h, x0, y);
            cairo_close_path(cr);
            setColor(cr, 0x5b2340, 1.0);
            cairo_fill_preserve(cr);
            setColor(cr, deep, 1.0);
            cairo_stroke(cr);
            break;
        }
        case Mood::Worried:
            cairo_set_line_width(cr, std::max(0.05 * h, 1.5));
            for (const double s : {-1.0, 1.0}) {
                cairo_new_path(cr);
                cairo_move_to(cr, s * 0.44 * h, -0.28 * h);
                cairo_line_to(cr, s * 0.2 * h, -0.2 * h);
                cairo_stroke(cr);
            }
            cairo_set_line_width(cr, std::max(0.045 * h, 1.5));
            strokeQuad(cr, -0.18 * h, 0.22 * h, 0, 0.16 * h, 0.18 * h, 0.22 * h);
            break;
        case Mood::Idle:
        default:
            strokeQuad(cr, -0.18 * h, 0.22 * h, 0, 0.34 * h, 0.18 * h, 0.22 * h);
            break;
    }
    cairo_restore(cr);
}

void drawTongue(cairo_t* cr, double h, double a, double t) {
    if (!(a > 0.02)) return;
    const double l = 0.34 * h * a;
    cairo_save(cr);
    cairo_translate(cr, 0, 0.3 * h);
    cairo_rotate(cr, 0.12 * a * std::sin(12 * t));
    cairo_new_path(cr);
    ellipse(cr, 0, 0.5 * l, 0.13 * h, 0.62 * l);
    setColor(cr, 0xff6b8f, 1.0);
    cairo_fill(cr);
    drawLine(cr, 0, 0.15 * l, 0, 0.95 * l, std::max(0.02 * h, 1.0), 0xd94a72, 1.0);
    cairo_restore(cr);
}

void drawBubblesTrick(cairo_t* cr, double cx, double cy, double h, double p, double t) {
    for (int i = 0; i < 4; ++i) {
        const double v = (p - 0.16 * i) / 0.55;
        if (v < 0 || v > 1.25) continue;
        const double side = (i % 2 == 0) ? -h : h;
        const double x = cx + (0.05 + 0.1 * i) * side + 0.06 * h * std::sin(2 * t + i);
        const double base = cy + 0.3 * h;
        if (v < 1) {
            const double y = base - (0.5 + 1.5 * v) * h;
            const double rho = (0.07 + 0.1 * v) * h;
            fillCircle(cr, x, y, rho, 0xffffff, 0.16 * (1 - 0.4 * v));
            strokeCircle(cr, x, y, rho, std::max(0.018 * h, 1.0), 0xffffff, 0.55 * (1 - 0.3 * v));
            fillCircle(cr, x - 0.35 * rho, y - 0.38 * rho, 0.22 * rho, 0xffffff,
                       0.7 * (1 - 0.5 * v));
        } else if (v > 1) {
            const double s = 4 * (v - 1);
            strokeCircle(cr, x, base - 2 * h, (1 + 1.6 * s) * 0.17 * h,
                         std::max(0.03 * h * (1 - s), 1.0), 0xffffff, 0.5 * (1 - s));
        }
    }
}

constexpr double kDist[14] = {150, 110, 170, 120, 165, 105, 155,
                              115, 170, 125, 160, 108, 168, 190};
constexpr double kAngles[14] = {10, 40, 68, 95, 122, 150, 178, 205, 232, 258, 285, 312, 338, 55};
constexpr double kSize[14] = {8, 6, 7, 5, 8, 6, 7, 5, 8, 6, 7, 5, 8, 6};

constexpr std::uint32_t kFireworkPalette[6] = {0xff5fa3, 0xffd23d, 0x5dffe0,
                                               0x9b6dff, 0xff7043, 0x4dc6ff};

}  // namespace

double trickDuration(Trick trick) {
    switch (trick) {
        case Trick::Eyes: return 1.1;
        case Trick::Nod: return 0.6;
        case Trick::Hop: return 0.8;
        case Trick::Flip: return 1.0;
        case Trick::Spin: return 1.2;
        case Trick::Shake: return 0.7;
        case Trick::Tongue: return 1.0;
        case Trick::Wink: return 0.8;
        case Trick::Bubbles: return 2.0;
        case Trick::None: return 0;
    }
    return 0;
}

void drawMascot(Ctx& c, double cx, double cy, double size, std::uint32_t color, Mood mood,
                double lookX, double lookY, Trick trick, double trickAge) {
    cairo_t* cr = c.cr;
    if (!cr || !(size > 0)) return;
    const double h = size / 2;
    const double t = c.t;
    const TrickPose pose = poseFor(trick, trickAge);

    const std::uint32_t light = lighten(color, 0.42);
    const std::uint32_t dark = darken(color, 0.38);
    const std::uint32_t deep = darken(color, 0.55);
    const double b = std::sin(2.1 * t);
    const double sy = 1 + 0.045 * b - pose.squash;

    // The shadow stays on the ground and shrinks and fades as the mascot leaves it.
    const double m = std::min(pose.lift / 1.5, 1.0);
    cairo_save(cr);
    cairo_new_path(cr);
    ellipse(cr, cx, cy + 0.94 * h, (1 - 0.05 * b) * 0.72 * h * (1 - 0.3 * m), 0.045 * size);
    setColor(cr, 0x140820, 0.28 * (1 - 0.55 * m));
    cairo_fill(cr);

    // Body frame: the feet stay on the ground while it breathes.
    cairo_translate(cr, cx, cy - 0.55 * h * pose.lift + (1 - sy) * 0.86 * h);
    if (pose.tilt != 0 || pose.spin != 0) cairo_rotate(cr, pose.tilt + pose.spin);
    cairo_scale(cr, (1 - 0.04 * b) + 0.9 * pose.squash, sy);

    for (const double s : {-1.0, 1.0}) {
        cairo_new_path(cr);
        ellipse(cr, s * 0.32 * h, 0.78 * h, 0.2 * h, 0.1 * h);
        setColor(cr, dark, 1.0);
        cairo_fill(cr);
    }

    cairo_save(cr);
    cairo_scale(cr, 1.08, 0.96);
    cairo_pattern_t* body =
        cairo_pattern_create_radial(-0.3 * h, -0.34 * h, 0, -0.3 * h, -0.34 * h, 1.25 * h);
    addStop(body, 0, light, 1.0);
    addStop(body, 0.5, color, 1.0);
    addStop(body, 0.82, dark, 1.0);
    addStop(body, 1, deep, 1.0);
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 0.88 * h, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_restore(cr);

    cairo_save(cr);
    cairo_translate(cr, 0, 0.42 * h);
    cairo_scale(cr, 1, 0.6);
    radial(cr, 0, 0, 0.5 * h, 0xffffff, 0.3, 0xffffff, 0);
    cairo_restore(cr);
    for (const double s : {-1.0, 1.0}) radial(cr, s * 0.5 * h, 0.16 * h, 0.14 * h, 0xff78a0, 0.5,
                                              0xff78a0, 0);

    // A blink every 3.4 s.
    const double phi = std::fmod(t, 3.4) / 3.4;
    const double blink = (phi >= 0 && phi < 0.055) ? 1 - 0.92 * std::sin(kPi * phi / 0.055) : 1;

    double gx = lookX;
    double gy = lookY;
    if (gx == 0 && gy == 0) {
        gx = 0.45 * std::sin(0.53 * t);
        gy = 0.25 * std::sin(0.71 * t);
    }
    if (pose.circleEyes) {
        gx = std::cos(pose.eyeAngle);
        gy = std::sin(pose.eyeAngle);
    }
    drawEye(cr, -0.32 * h, h, pose.squint, blink, gx, gy, color);
    drawEye(cr, 0.32 * h, h, pose.wink, blink, gx, gy, color);

    drawMouth(cr, h, mood, deep);
    drawTongue(cr, h, pose.tongue, t);

    fillCircle(cr, -0.34 * h, -0.44 * h, 0.16 * h, 0xffffff, 0.85);
    fillCircle(cr, -0.14 * h, -0.56 * h, 0.06 * h, 0xffffff, 0.6);
    cairo_restore(cr);

    if (pose.bubblesP >= 0) drawBubblesTrick(cr, cx, cy, h, pose.bubblesP, t);
}

void MarbleRain::update(Ctx& c, const theme::World& world) {
    const double t = c.t;
    const double u = c.ui;
    const double W = c.w;
    const double H = c.h;
    if (lastSpawn_ < 0) lastSpawn_ = t - 0.85;

    if (t - lastSpawn_ > 0.85 && balls_.size() < 14) {
        lastSpawn_ = t;
        core::Mulberry32 g(seed_);
        double d[9];
        for (int i = 1; i <= 8; ++i) d[i] = g.next();
        const int n = static_cast<int>(world.marbleColors.size());
        Ball b;
        b.r = (14 + 12 * d[1]) * u;
        b.x = 2 * b.r + d[2] * (std::max(W - 2 * b.r, 3 * b.r) - 2 * b.r);
        b.y = -2 * b.r;
        b.vx = 120 * d[3] - 60;
        b.vy = 20 + 70 * d[4];
        b.color = n > 0 ? std::min(static_cast<int>(std::floor(d[5] * n)), n - 1) : 0;
        b.bornAt = t;
        b.swayPhase = 6.28 * d[6];
        b.swayFreq = 0.5 + 0.9 * d[7];
        b.swayAmp = 8 + 18 * d[8];
        balls_.push_back(b);
    }

    // A long frame (a stall, a dragged window) must not throw the balls through the floor.
    const double tau = std::min(c.dt, 0.064);
    seed_ = lcgStep(seed_);

    for (Ball& b : balls_) {
        b.vy += 600 * tau;
        b.x += (b.vx + b.swayAmp * std::sin(t * b.swayFreq + b.swayPhase)) * tau;
        b.y += b.vy * tau;
        if (b.x < b.r) {
            b.x = b.r;
            b.vx = 0.78 * std::fabs(b.vx);
        }
        if (b.x > W - b.r) {
            b.x = W - b.r;
            b.vx = -0.78 * std::fabs(b.vx);
        }
        if (b.y > H - b.r) {
            b.y = H - b.r;
            b.vy = -0.65 * std::fabs(b.vy);
            b.vx *= 0.9;
        }
    }

    auto colorOf = [&world](int idx) -> std::uint32_t {
        if (idx < 0 || idx >= static_cast<int>(world.marbleColors.size())) return 0xffffff;
        return world.marbleColors[static_cast<std::size_t>(idx)];
    };
    std::vector<bool> gone(balls_.size(), false);
    core::Mulberry32 g(seed_);
    for (std::size_t i = 0; i < balls_.size(); ++i) {
        if (t - balls_[i].bornAt < 0.38) continue;
        for (std::size_t j = i + 1; j < balls_.size(); ++j) {
            if (t - balls_[j].bornAt < 0.38) continue;
            const Ball& a = balls_[i];
            const Ball& b = balls_[j];
            if (std::hypot(a.x - b.x, a.y - b.y) > a.r + b.r) continue;
            const double mx = (a.x + b.x) / 2;
            const double my = (a.y + b.y) / 2;
            for (int k = 0; k < 14; ++k) {
                const double ra = g.next();
                const double rb = g.next();
                const double rc = g.next();
                const double ang = 2 * kPi * k / 14 + 0.4 * ra;
                const double speed = (120 + 260 * rb) * u;
                Spark s;
                s.x = mx;
                s.y = my;
                s.vx = std::cos(ang) * speed;
                s.vy = std::sin(ang) * speed - 60 * u;
                s.size = (3 + 4 * rc) * u;
                s.bornAt = t;
                s.color = colorOf(k % 2 == 0 ? b.color : a.color);
                sparks_.push_back(s);
            }
            gone[i] = true;
            gone[j] = true;
        }
    }
    std::vector<Ball> kept;
    kept.reserve(balls_.size());
    for (std::size_t i = 0; i < balls_.size(); ++i) {
        const Ball& b = balls_[i];
        if (gone[i]) continue;
        const bool settled = b.y > H - b.r - 1 && std::fabs(b.vy) < 40 * u && t - b.bornAt > 6;
        if (!settled) kept.push_back(b);
    }
    balls_.swap(kept);

    for (Spark& s : sparks_) {
        s.vy += 1200 * tau;
        s.x += s.vx * tau;
        s.y += s.vy * tau;
    }
    sparks_.erase(std::remove_if(sparks_.begin(), sparks_.end(),
                                 [t](const Spark& s) { return t - s.bornAt > 0.65; }),
                  sparks_.end());
}

void MarbleRain::draw(Ctx& c, const theme::World& world) {
    const int n = static_cast<int>(world.marbleColors.size());
    for (const Ball& b : balls_) {
        const std::uint32_t col =
            (b.color >= 0 && b.color < n) ? world.marbleColors[static_cast<std::size_t>(b.color)]
                                          : 0xffffff;
        drawBubble(world.marbleSkin, col, b.x, b.y, b.r, 0.85);
    }
    for (const Spark& s : sparks_) {
        const double a = 1 - (c.t - s.bornAt) / 0.65;
        gpuFillRect(s.x - s.size / 2, s.y - s.size / 2, s.size, s.size, s.color,
                    std::clamp(a, 0.0, 1.0));
    }
}

namespace {

// A white disc filling the square surface it is painted on.
void paintDisc(cairo_t* cr, void*) {
    cairo_surface_t* target = cairo_get_target(cr);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(target, &sx, &sy);
    const double r = cairo_image_surface_get_width(target) / 2.0 / sx;
    cairo_new_path(cr);
    cairo_arc(cr, r, r, r, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
}

// Discs up to this many pixels across share one sheet, each painted at its size in
// pixels, side by side with a clear pixel between them: a shower of sparks of every size
// is then one run of copies from one texture.
constexpr int kSheetDiscs = 32;

// Left edge of the sheet's disc n pixels across.
int discCell(int n) {
    return (n - 1) * n / 2 + (n - 1);
}

void paintDiscSheet(cairo_t* cr, void*) {
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    cairo_scale(cr, 1 / sx, 1 / sy);  // in the sheet's pixels
    cairo_set_source_rgb(cr, 1, 1, 1);
    for (int n = 1; n <= kSheetDiscs; ++n) {
        const double r = n / 2.0;
        cairo_new_path(cr);
        cairo_arc(cr, discCell(n) + r, r, r, 0, 2 * kPi);
        cairo_fill(cr);
    }
}

// A small disc on the renderer: on the software renderer's window its coverage blended
// four pixels at a time, elsewhere a white sprite painted at its size in pixels and tinted.
// A disc under a pixel across is one pixel faded by the area it would cover. False without
// a renderer: the caller paints on cr.
bool spriteDisc(double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    if (gpuRenderer() == nullptr) return false;
    if (!(r > 0) || !(alpha > 0)) return true;
    const double scale = gpuScale();
    const double across = 2 * r * scale;
    const int px = std::max(1, static_cast<int>(std::lround(across)));
    if (across < 1) alpha *= across * across * kPi / 4;
    const double w = px / scale;
    const double x = cx - w / 2;
    const double y = cy - w / 2;
    if (!gpuSoftware() && px <= kSheetDiscs) {
        if (SDL_Texture* sheet =
                gpuTexture("fx_disc_sheet", discCell(kSheetDiscs + 1), kSheetDiscs, paintDiscSheet,
                           nullptr)) {
            gpuBlitTintedPart(sheet, SDL_Rect{discCell(px), 0, px, px}, x, y, w, w, rgb, alpha);
            return true;
        }
    }
    const std::string key = "fx_disc" + std::to_string(px);
    int stride = 0;
    if (const std::uint8_t* mask = gpuMask(key, px, px, paintDisc, nullptr, &stride)) {
        if (gpuBlendCoverage(mask, px, px, stride, x, y, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF,
                             rgb & 0xFF, alpha))
            return true;
    }
    SDL_Texture* tex = gpuTexture(key, px, px, paintDisc, nullptr);
    if (tex == nullptr) return false;
    gpuBlitTinted(tex, x, y, w, w, rgb, alpha);
    return true;
}

// The falling petal's outline for half-height z, centred on the origin, pointing up.
void petalPath(cairo_t* cr, double z) {
    cairo_new_path(cr);
    cairo_move_to(cr, 0, -z);
    cairo_curve_to(cr, 0.8 * z, -0.4 * z, 0.6 * z, 0.6 * z, 0, z);
    cairo_curve_to(cr, -0.6 * z, 0.6 * z, -0.8 * z, -0.4 * z, 0, -z);
    cairo_close_path(cr);
}

constexpr std::uint32_t kPetal[3] = {0xffd6e8, 0xffb3d1, 0xfff0f6};
constexpr double kPetalAlpha = 0.85;
// The largest petal's half-height in units; a sprite is painted for it and shrunk for the rest.
constexpr double kPetalMaxZ = 14;

// Clear pixels between the petals of the sheet, so that a shrunk petal's filtering never
// reaches its neighbour.
constexpr int kPetalGap = 2;

struct PetalPaint {
    int px;  // one petal's side in pixels
};

// The three colours' petals side by side, each in a square of p.px pixels.
void paintPetals(cairo_t* cr, void* user) {
    const PetalPaint& p = *static_cast<const PetalPaint*>(user);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    const double z = p.px / 2.0 / sx;
    for (int i = 0; i < 3; ++i) {
        cairo_save(cr);
        cairo_translate(cr, i * (p.px + kPetalGap) / sx + z, z);
        petalPath(cr, z);
        setColor(cr, kPetal[i], kPetalAlpha);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

// Petal i's part of the petal sheet for a ui factor u; null without a renderer.
SDL_Texture* petalSprite(int i, double u, SDL_Rect* part) {
    if (gpuRenderer() == nullptr) return nullptr;
    PetalPaint p{std::max(1, static_cast<int>(std::lround(2 * kPetalMaxZ * u * gpuScale())))};
    *part = SDL_Rect{(i % 3) * (p.px + kPetalGap), 0, p.px, p.px};
    return gpuTexture("fx_petals", 3 * p.px + 2 * kPetalGap, p.px, paintPetals, &p);
}

}  // namespace

void sparkDisc(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    if (!spriteDisc(cx, cy, r, rgb, alpha)) fillCircle(cr, cx, cy, r, rgb, alpha);
}

void drawFireworks(Ctx& c, std::uint32_t seed) {
    cairo_t* cr = c.cr;
    if (!cr) return;
    const double W = c.w;
    const double H = c.h;
    const double u = c.ui;
    const double t = c.t;
    core::Mulberry32 g(seed);
    for (int i = 0; i < 5; ++i) {
        const double x = (0.15 + 0.7 * g.next()) * W;
        const double yb = (0.16 + 0.32 * g.next()) * H;
        const double P = 3.0 + 1.4 * g.next();
        const double o = 0.5 * g.next() + 0.7 * i;
        const int ci = std::min(static_cast<int>(std::floor(6 * g.next())), 5);
        const std::uint32_t col = kFireworkPalette[ci];
        const double tau = std::fmod(t + o, P);
        if (tau < 0.9) {
            const double gg = 1 - tau / 0.9;
            const double y = (H + 20 * u) - (1 - gg * gg) * (H + 20 * u - yb);
            for (int j = 0; j < 5; ++j)
                sparkDisc(cr, x, y + 9 * u * j, (1 - 0.16 * j) * 3.2 * u, col, (1 - 0.18 * j) * 0.9);
            continue;
        }
        const double tp = tau - 0.9;
        if (tp > 1.6) continue;
        if (tp < 0.32)
            softGlow(cr, x, yb, (tp / 0.32 + 0.3) * 70 * u, 0xffffff, (1 - tp / 0.32) * 0.85);
        const double f = std::max(0.0, 1 - tp / 1.6);
        for (int j = 0; j < 20; ++j) {
            const double a = g.next();
            const double b = g.next();
            const double ang = 2 * kPi * j / 20 + 0.34 * a - 0.17;
            const double speed = (160 + 150 * b) * u;
            const double px = x + std::cos(ang) * speed * tp;
            const double py = yb + std::sin(ang) * speed * tp + 190 * tp * tp;
            const double twinkle = (0.6 + 0.4 * std::sin(22 * t + j)) * f;
            sparkDisc(cr, px, py, 3.4 * u * f, kFireworkPalette[(j % 3 + ci) % 6], twinkle);
            sparkDisc(cr, px, py, 1.5 * u * f, 0xffffff, 0.9 * twinkle);
        }
    }
}

void drawBlossoms(Ctx& c, std::uint32_t seed) {
    cairo_t* cr = c.cr;
    if (!cr) return;
    const double W = c.w;
    const double H = c.h;
    const double u = c.ui;
    const double t = c.t;
    core::Mulberry32 g(seed);
    for (int i = 0; i < 22; ++i) {
        double d[6];
        for (double& v : d) v = g.next();
        const double phi = 6.28 * d[2];
        const double z = (7 + 7 * d[3]) * u;
        const double spin = (0.6 + 1.2 * d[4]) * (d[5] < 0.5 ? -1 : 1);
        const double fall = std::fmod((0.05 + 0.08 * d[1]) * t + phi / 6.28, 1.0);
        const double x = d[0] * W + 40 * u * std::sin(0.7 * t + phi);
        const double y = (H + 4 * z) * fall - 2 * z;
        const double turn = spin * t + phi;
        // On the renderer each petal is its colour's sprite, shrunk and turned.
        SDL_Rect part{};
        if (SDL_Texture* tex = petalSprite(i, u, &part)) {
            gpuBlitRotatedPart(tex, part, x, y, 2 * z, 2 * z, turn * 180 / kPi, 1);
            continue;
        }
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, turn);
        petalPath(cr, z);
        setColor(cr, kPetal[i % 3], kPetalAlpha);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

void ComboBurst::trigger(const Ctx& c, const std::string& title, const std::string& sub,
                         std::uint32_t accent) {
    title_ = title;
    sub_ = sub;
    accent_ = accent;
    bornAt_ = c.t;
}

bool ComboBurst::active(const Ctx& c) const { return c.t - bornAt_ < 1.6; }

void ComboBurst::draw(Ctx& c) {
    cairo_t* cr = c.cr;
    const double a = c.t - bornAt_;
    if (!cr || a < 0 || a > 1.6) return;
    const double u = c.ui;
    const double cx = c.w / 2;
    const double cy = 0.38 * c.h;

    double s = a < 0.28 ? 0.6 + 0.4 * (1 - std::cos(kPi / 2 * a / 0.28)) : 1.0;
    if (a > 0.28) s += 0.02 * std::sin(9 * (a - 0.28));
    const double f = a <= 1.15 ? 1.0 : (1.6 - a) / 0.45;
    const double e = std::min(a / 0.55, 1.0);
    const double k = 1 - e;

    // The glow is gone once the burst has spread (k = 0).
    if (k > 0) softGlow(cr, cx, cy, 180 * u * (e + 0.4), accent_, 0.28 * f * k);
    if (k > 0) strokeCircle(cr, cx, cy, 60 * u + 150 * u * e, 3 * u * k, accent_, 0.8 * f * k);

    if (k > 0) {
        cairo_save(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        const double r0 = 70 * u + 90 * u * e;
        for (int i = 0; i < 12; ++i) {
            const double ang = 2 * kPi * i / 12 + 0.6 * a;
            const bool even = i % 2 == 0;
            const double r1 = r0 + (even ? 44 : 26) * u;
            drawLine(cr, cx + std::cos(ang) * r0, cy + std::sin(ang) * r0, cx + std::cos(ang) * r1,
                     cy + std::sin(ang) * r1, (even ? 5 : 3) * u, even ? accent_ : 0xffffff,
                     0.75 * f * k);
        }
        cairo_restore(cr);
    }

    for (int i = 0; i < 14; ++i) {
        const double ang = kAngles[i] * kPi / 180;
        const double dist = kDist[i] * u * e;
        const double px = cx + std::cos(ang) * dist;
        const double py = cy + std::sin(ang) * dist + 60 * u * e * e;
        const double side = kSize[i] * u;
        const std::uint32_t col = i % 3 == 0 ? 0xffd700 : (i % 3 == 1 ? accent_ : 0xffffff);
        cairo_save(cr);
        cairo_translate(cr, px, py);
        cairo_rotate(cr, 6 * a + i);
        fillRect(cr, Rect{-side / 2, -side / 2, side, side}, col, f * (1 - 0.6 * e));
        cairo_restore(cr);
    }

    const double scale = gpuScale() > 0 ? gpuScale() : 1.0;
    char tail[64];
    std::snprintf(tail, sizeof tail, "|%06x|%.3f|%.3f", accent_ & 0xffffffu, u, scale);
    const std::string key = title_ + "|" + sub_ + tail;
    if (!image_ || imageKey_ != key) {
        TextStyle st;
        st.size = 40 * u;
        st.bold = true;
        st.minScale = 0.6;
        TextStyle ss = st;
        ss.size = 19 * u;
        double tw = 0, th = 0, sw = 0, sh = 0;
        measureText(cr, title_, st, &tw, &th);
        if (!sub_.empty()) measureText(cr, sub_, ss, &sw, &sh);
        const double pad = 10 * u;
        imageW_ = std::max(tw, sw) + 2 * pad;
        imageTop_ = th / 2 + pad;
        const double h = imageTop_ + std::max(3 * u + th / 2, 34 * u + sh / 2) + pad;
        cairo_surface_t* img = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(imageW_ * scale)),
            static_cast<int>(std::ceil(h * scale)));
        cairo_surface_set_device_scale(img, scale, scale);
        cairo_t* ic = cairo_create(img);
        const double ox = imageW_ / 2;
        st.color = 0x000000;
        st.alpha = 0.4;
        drawTextCentered(ic, ox + 2 * u, imageTop_ + 3 * u, title_, st);
        st.color = accent_;
        st.alpha = 1;
        drawTextCentered(ic, ox, imageTop_, title_, st);
        if (!sub_.empty()) {
            ss.color = 0xffffff;
            drawTextCentered(ic, ox, imageTop_ + 34 * u, sub_, ss);
        }
        cairo_destroy(ic);
        image_.reset(img, cairo_surface_destroy);
        imageKey_ = key;
    }
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, s, s);
    cairo_set_source_surface(cr, image_.get(), -imageW_ / 2, -imageTop_);
    cairo_paint_with_alpha(cr, f);
    cairo_restore(cr);
}

void wobbleText(Ctx& c, double cx, double cy, const std::string& text, const TextStyle& st,
                double bornAt, int delayIndex) {
    cairo_t* cr = c.cr;
    const double a = c.t - bornAt - 0.09 * delayIndex;
    if (!cr || a < 0) return;
    TextStyle s = st;
    s.alpha = st.alpha * std::min(2 * a, 1.0);
    const double e = std::exp(-5 * a);
    const double sn = std::sin(18 * a);
    const double squash = 0.04 * e * sn;
    // Once the wobble has died down to well below a pixel the text is drawn upright, where
    // its layout is kept from frame to frame instead of being laid out for each squash.
    if (std::fabs(squash) < 2e-4) {
        drawTextCentered(cr, cx, cy + 6 * c.ui * e * sn, text, s);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, cx, cy + 6 * c.ui * e * sn);
    cairo_scale(cr, 1 + squash, 1 - squash);
    drawTextCentered(cr, 0, 0, text, s);
    cairo_restore(cr);
}

}  // namespace ui
