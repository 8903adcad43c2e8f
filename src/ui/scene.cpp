// Sections: generation (ridges, particles, props) · the baked landscape · sprites of the
// shared textures and flyers · the day cycle · the frame, layer by layer.
#include "ui/scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/grid.h"
#include "ui/gpu.h"

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTau = 2 * kPi;

constexpr int kSkyBands = 48;
constexpr std::uint32_t kNightVeil = 0x0A0A24;
constexpr std::uint32_t kScreenVeil = 0x1B1030;
constexpr double kScreenVeilAlpha = 0.55;
// A re-bake for a small change of light is spread over this many frames, one strip each.
constexpr int kBakeStrips = 6;
// Small changes start a re-bake at most this often (seconds of scene time).
constexpr double kBakeGap = 0.3;

// The disc of sun or moon: centre and radius in window units.
struct Orb {
    double x = 0, y = 0, rho = 0;
    bool moon = false;
};

// What the baked picture shows: the light it was painted under and what of it can be
// seen (band colours, glow and veil strengths, where the sun's or moon's halo stands).
struct Look {
    double night = 0, sunset = 0, sunrise = 0, phase = 0;
    std::array<std::uint32_t, kSkyBands> bands{};
    int glow = 0;       // glow strength, 0..255
    int nightVeil = 0;  // night veil strength, 0..255
    double haloX = 0, haloY = 0;  // pixels
    bool moon = false;
};

struct State {
    Scene scene;  // the built scene; stage -1 until the first draw
    SceneStats stats;
    long lastFlyerReport = -1;  // half-second slot of the last flyer debug line
    // The baked background "scene_bake": valid while bakeW > 0 and the texture is cached.
    Look baked;
    Look target;    // what a re-bake in progress paints
    int strip = -1;  // next strip of that re-bake; -1 when none runs
    int bakeW = 0, bakeH = 0;
    double bakeVeil = -1;
    int bakeLand = -1;  // landscape paints counted when the bake was made
    double lastBake = 0;
    Orb bakedDisc;  // the disc of sun or moon as the bake holds it
    std::array<std::array<int, 4>, 5> cloudLooks{};  // tint and fade of each cloud's copy
    // The painted part of a cloud 256 x 128 pixels large; empty until first needed.
    SDL_Rect cloudInk{};
};

State& st() {
    static State s;
    return s;
}

double range(core::Mulberry32& g, double lo, double hi) {
    return lo + (hi - lo) * g.next();
}

std::uint32_t pick(core::Mulberry32& g, const std::vector<std::uint32_t>& list) {
    if (list.empty()) return 0xFFFFFF;
    return list[static_cast<std::size_t>(g.nextInt(static_cast<int>(list.size())))];
}

// fmod with a result in 0..m for any sign of v.
double wrap(double v, double m) {
    const double r = std::fmod(v, m);
    return r < 0 ? r + m : r;
}

// ---------------------------------------------------------------------------------------
// Generation

Ridge buildRidge(core::Mulberry32& g, double w, double base, double amp, bool crags) {
    Ridge r;
    r.jagged = crags;
    for (int i = 0; i <= 6; ++i) {
        const double d = g.next();
        r.xs.push_back(i * (w + 120) / 6 - 60);
        if (!crags) {
            r.ys.push_back(base + (2 * d - 1) * amp);
        } else if (i % 2 == 0) {
            r.ys.push_back(base - (0.6 + 0.8 * d) * amp);
        } else {
            r.ys.push_back(base - 0.15 * d * amp);
        }
    }
    return r;
}

void addCandyProps(Scene& sc, core::Mulberry32& g) {
    const auto& pal = sc.world->sceneryPalette;
    for (int i = 0; i < 4; ++i) {
        Prop p;
        p.kind = PropKind::Lolly;
        p.x = (i + 0.25 + 0.5 * g.next()) * sc.w / 4;
        p.y = sc.near.yAt(p.x) + 4;
        p.s = range(g, 18, 34);
        p.color = pal.empty() ? 0xFF5FA3 : pal[static_cast<std::size_t>(i) % pal.size()];
        sc.props.push_back(p);
    }
}

// The palms frame the scene: a tall one and a distant one on the left, one on the right,
// each far enough in that its fronds stay inside the window, all leaning inwards.
void addTropicalProps(Scene& sc, core::Mulberry32& g) {
    const double m = std::min(sc.w, sc.h);
    sc.props.push_back({PropKind::Sun, 0.72 * sc.w, 0.3 * sc.h, 0.13 * m, 0xFFD60A, 1, false});
    const std::uint32_t dark = theme::darken(sc.world->boardTint, 0.3);
    const std::uint32_t hazy = theme::mix(sc.world->boardTint, sc.farFill, 0.55);

    Prop big{PropKind::Palm, 0, 0, (0.4 + 0.08 * g.next()) * m, dark, 1, false};
    big.x = std::max(0.42 * big.s, 0.06 * sc.w) + 0.03 * sc.w * g.next();
    big.y = sc.near.yAt(big.x) + 6;

    Prop back{PropKind::Palm, 0, 0, (0.26 + 0.06 * g.next()) * m, hazy, 1, false};
    back.x = big.x + (0.5 + 0.15 * g.next()) * big.s;
    back.y = sc.far.yAt(back.x) + 4;

    Prop right{PropKind::Palm, 0, 0, (0.32 + 0.08 * g.next()) * m, dark, 1, true};
    right.x = sc.w - std::max(0.42 * right.s, 0.06 * sc.w) - 0.03 * sc.w * g.next();
    right.y = sc.near.yAt(right.x) + 6;

    sc.props.push_back(back);
    sc.props.push_back(big);
    sc.props.push_back(right);
}

// Three small pines on the far hills, two tall ones at the sides of the near hills and
// three bushes along the near ridge; farther things are paler.
void addForestProps(Scene& sc, core::Mulberry32& g) {
    const double m = std::min(sc.w, sc.h);
    const auto& pal = sc.world->sceneryPalette;
    const std::uint32_t pineColor = pal.size() > 4 ? pal[4] : 0x1F8A4C;
    const std::uint32_t farPine = theme::mix(pineColor, sc.farFill, 0.5);
    const std::uint32_t nearPine =
        theme::darken(theme::mix(pineColor, sc.world->boardTint, 0.4), 0.1);
    for (int k = 0; k < 3; ++k) {
        Prop p{PropKind::Pine, 0, 0, 0, farPine, 1, false};
        p.x = (0.28 + 0.22 * k + 0.1 * (g.next() - 0.5)) * sc.w;
        p.s = (0.13 + 0.06 * g.next()) * m;
        p.y = sc.far.yAt(p.x) + 3;
        sc.props.push_back(p);
    }
    for (int k = 0; k < 2; ++k) {
        Prop p{PropKind::Pine, 0, 0, 0, nearPine, 1, false};
        p.s = (0.3 + 0.08 * g.next()) * m;
        const double inset = 0.5 * p.s + 0.02 * sc.w + 0.05 * sc.w * g.next();
        p.x = k == 0 ? inset : sc.w - inset;
        p.y = sc.near.yAt(p.x) + 0.04 * p.s;
        sc.props.push_back(p);
    }
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t leaf =
            pal.size() > 1 ? pal[static_cast<std::size_t>(k % 2)] : pineColor;
        Prop p{PropKind::Bush, 0, 0, 0, theme::mix(leaf, sc.world->boardTint, 0.35), 1, false};
        p.x = (0.22 + 0.28 * k + 0.08 * (g.next() - 0.5)) * sc.w;
        p.s = (0.07 + 0.03 * g.next()) * m;
        p.y = sc.near.yAt(p.x) + 0.1 * p.s;
        sc.props.push_back(p);
    }
}

// Three corals spread over the sea floor, with seaweed stalks between and around them.
void addUnderwaterProps(Scene& sc, core::Mulberry32& g) {
    const double m = std::min(sc.w, sc.h);
    const auto& pal = sc.world->sceneryPalette;
    const std::size_t coralColors[3] = {3, 1, 2};
    for (int k = 0; k < 3; ++k) {
        const std::size_t ci = coralColors[k];
        Prop p{PropKind::Coral, 0, 0, 0, pal.size() > ci ? pal[ci] : 0xFF6F91, 1, false};
        p.x = (0.16 + 0.34 * k + 0.06 * (g.next() - 0.5)) * sc.w;
        p.s = (0.2 + 0.08 * g.next()) * m;
        p.y = sc.near.yAt(p.x) + 0.06 * p.s;
        sc.props.push_back(p);
    }
    const int stalks = 9;
    for (int k = 0; k < stalks; ++k) {
        double x = (k + 0.5 + 0.6 * (g.next() - 0.5)) * sc.w / stalks;
        // A stalk never grows through a coral: it moves to the coral's nearer side.
        for (const Prop& p : sc.props) {
            const double clear = 0.42 * p.s;
            if (std::fabs(x - p.x) < clear) x = x < p.x ? p.x - clear : p.x + clear;
        }
        sc.weedX.push_back(x);
        sc.weedY.push_back(sc.near.yAt(x) + 0.02 * sc.h);
        sc.weedH.push_back((0.16 + 0.16 * g.next()) * m);
        sc.weedPhase.push_back(g.next() * kTau);
        sc.weedW.push_back(std::max(3.0, (7 + 5 * g.next()) * m / 720));
    }
    const std::uint32_t leaf = pal.empty() ? 0x35E0C8 : pal[0];
    sc.weedColor = theme::mix(theme::mix(leaf, 0x2E9E4F, 0.5), sc.world->boardTint, 0.25);
}

void addGalaxyProps(Scene& sc, core::Mulberry32& g) {
    const double m = std::min(sc.w, sc.h);
    Prop p{PropKind::Planet, 0.76 * sc.w, 0.2 * sc.h, (0.065 + 0.02 * g.next()) * m, 0, 1, false};
    p.color = pick(g, sc.world->sceneryPalette);
    sc.props.push_back(p);
}

// ---------------------------------------------------------------------------------------
// The baked landscape

void setRgba(cairo_t* cr, std::uint32_t rgb, double alpha) {
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                          (rgb & 0xFF) / 255.0, alpha);
}

void addStop(cairo_pattern_t* pat, double at, std::uint32_t rgb, double alpha) {
    cairo_pattern_add_color_stop_rgba(pat, at, ((rgb >> 16) & 0xFF) / 255.0,
                                      ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

// A quadratic curve from the current point, as cairo only knows cubic ones.
void quadTo(cairo_t* cr, double cx, double cy, double x, double y) {
    double x0 = 0, y0 = 0;
    cairo_get_current_point(cr, &x0, &y0);
    cairo_curve_to(cr, x0 + 2.0 / 3.0 * (cx - x0), y0 + 2.0 / 3.0 * (cy - y0),
                   x + 2.0 / 3.0 * (cx - x), y + 2.0 / 3.0 * (cy - y), x, y);
}

void ridgePath(cairo_t* cr, const Ridge& r, double h) {
    const std::size_t n = r.xs.size();
    if (n == 0) return;
    cairo_new_path(cr);
    cairo_move_to(cr, r.xs[0], h + 60);
    cairo_line_to(cr, r.xs[0], r.ys[0]);
    if (r.jagged || n < 3) {
        for (std::size_t i = 1; i < n; ++i) cairo_line_to(cr, r.xs[i], r.ys[i]);
    } else {
        cairo_line_to(cr, (r.xs[0] + r.xs[1]) / 2, (r.ys[0] + r.ys[1]) / 2);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            quadTo(cr, r.xs[i], r.ys[i], (r.xs[i] + r.xs[i + 1]) / 2, (r.ys[i] + r.ys[i + 1]) / 2);
        }
        cairo_line_to(cr, r.xs[n - 1], r.ys[n - 1]);
    }
    cairo_line_to(cr, r.xs[n - 1], h + 60);
    cairo_close_path(cr);
}

// A radial light fading from inner (at alpha) in the centre to outer (transparent) at r.
void fillGlow(cairo_t* cr, double cx, double cy, double r, std::uint32_t inner, std::uint32_t outer,
              double alpha) {
    cairo_pattern_t* pat = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    addStop(pat, 0, inner, alpha);
    addStop(pat, 1, outer, 0);
    cairo_set_source(cr, pat);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, kTau);
    cairo_fill(cr);
    cairo_pattern_destroy(pat);
}

void disc(cairo_t* cr, double cx, double cy, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, kTau);
}

void paintProp(cairo_t* cr, const Prop& p) {
    const double s = p.s;
    const double a = p.alpha;
    cairo_save(cr);
    cairo_translate(cr, p.x, p.y);
    if (p.mirror) cairo_scale(cr, -1, 1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_new_path(cr);
    switch (p.kind) {
        case PropKind::Lolly: {
            setRgba(cr, 0xFFFFFF, 0.75 * a);
            cairo_set_line_width(cr, std::max(0.16 * s, 2.0));
            cairo_move_to(cr, 0, 0);
            cairo_line_to(cr, 0, -1.7 * s);
            cairo_stroke(cr);
            setRgba(cr, p.color, 0.95 * a);
            disc(cr, 0, -2.6 * s, 0.9 * s);
            cairo_fill(cr);
            setRgba(cr, 0xFFFFFF, 0.7 * a);
            cairo_set_line_width(cr, std::max(0.12 * s, 1.5));
            cairo_new_sub_path(cr);
            cairo_arc(cr, 0, -2.6 * s, 0.55 * s, 200 * kPi / 180, 350 * kPi / 180);
            cairo_new_sub_path(cr);
            cairo_arc(cr, 0, -2.6 * s, 0.25 * s, 20 * kPi / 180, 170 * kPi / 180);
            cairo_stroke(cr);
            break;
        }
        case PropKind::Palm: {
            setRgba(cr, p.color, a);
            cairo_set_line_width(cr, std::max(0.06 * s, 2.0));
            const double cx = 0.14 * s, cy = -0.9 * s;
            cairo_move_to(cr, 0, 0);
            cairo_curve_to(cr, 0.06 * s, -0.32 * s, 0, -0.62 * s, cx, cy);
            cairo_stroke(cr);
            cairo_set_line_width(cr, std::max(0.05 * s, 2.0));
            for (double deg : {-165.0, -125.0, -85.0, -45.0, -5.0}) {
                const double r = deg * kPi / 180;
                cairo_move_to(cr, cx, cy);
                quadTo(cr, cx + 0.3 * s * std::cos(r), cy + 0.28 * s * std::sin(r) - 0.08 * s,
                       cx + 0.55 * s * std::cos(r), cy + 0.34 * s * std::sin(r) + 0.1 * s);
            }
            cairo_stroke(cr);
            break;
        }
        case PropKind::Pine: {
            setRgba(cr, p.color, a);
            const double tiers[3][3] = {{0.5, 0, -0.38}, {0.4, -0.26, -0.62}, {0.28, -0.5, -0.88}};
            for (const auto& t : tiers) {
                cairo_move_to(cr, -t[0] * s, t[1] * s);
                cairo_line_to(cr, t[0] * s, t[1] * s);
                cairo_line_to(cr, 0, t[2] * s);
                cairo_close_path(cr);
            }
            cairo_rectangle(cr, -0.05 * s, -0.04 * s, 0.1 * s, 0.06 * s);
            cairo_fill(cr);
            break;
        }
        case PropKind::Bush: {
            // Cut flat a little below the base line: the near ridge in front is not quite opaque,
            // and the round bottoms would show through it as ghosts.
            cairo_rectangle(cr, -2 * s, -2 * s, 4 * s, 2.3 * s);
            cairo_clip(cr);
            cairo_new_path(cr);
            setRgba(cr, p.color, a);
            disc(cr, -0.5 * s, 0, 0.6 * s);
            disc(cr, 0.5 * s, 0, 0.55 * s);
            disc(cr, 0, -0.35 * s, 0.75 * s);
            cairo_fill(cr);
            break;
        }
        case PropKind::Coral: {
            setRgba(cr, p.color, a);
            cairo_set_line_width(cr, std::max(0.1 * s, 2.5));
            cairo_move_to(cr, 0, 0);
            cairo_curve_to(cr, 0.02 * s, -0.3 * s, -0.02 * s, -0.6 * s, 0.04 * s, -0.9 * s);
            const double branches[3][6] = {{0, -0.28, -0.22, -0.42, -0.26, -0.66},
                                           {0.01, -0.45, 0.24, -0.58, 0.28, -0.82},
                                           {-0.13, -0.52, -0.3, -0.6, -0.32, -0.76}};
            for (const auto& b : branches) {
                cairo_move_to(cr, b[0] * s, b[1] * s);
                quadTo(cr, b[2] * s, b[3] * s, b[4] * s, b[5] * s);
            }
            cairo_stroke(cr);
            break;
        }
        case PropKind::Planet: {
            fillGlow(cr, 0, 0, 2.2 * s, theme::lighten(p.color, 0.4), p.color, 0.35 * a);
            cairo_pattern_t* body =
                cairo_pattern_create_radial(-0.35 * s, -0.35 * s, 0, 0, 0, 1.2 * s);
            addStop(body, 0, theme::lighten(p.color, 0.5), a);
            addStop(body, 1, theme::darken(p.color, 0.55), a);
            cairo_set_source(cr, body);
            cairo_new_path(cr);
            disc(cr, 0, 0, s);
            cairo_fill(cr);
            cairo_pattern_destroy(body);
            // Stroked under the flattening so the ring thins where it turns away from us.
            cairo_save(cr);
            cairo_rotate(cr, -0.35);
            cairo_scale(cr, 1, 0.26);
            cairo_new_path(cr);
            cairo_arc(cr, 0, 0, 1.55 * s, 0, kTau);
            setRgba(cr, theme::lighten(p.color, 0.35), 0.75 * a);
            cairo_set_line_width(cr, 0.7 * s);
            cairo_stroke(cr);
            cairo_restore(cr);
            break;
        }
        case PropKind::Sun: {
            fillGlow(cr, 0, 0, 2.6 * s, 0xFFF3B0, p.color, 0.5 * a);
            setRgba(cr, p.color, 0.95 * a);
            cairo_new_path(cr);
            disc(cr, 0, 0, s);
            cairo_fill(cr);
            break;
        }
    }
    cairo_restore(cr);
}

void paintWeeds(cairo_t* cr, const Scene& sc) {
    setRgba(cr, sc.weedColor, 0.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (std::size_t i = 0; i < sc.weedX.size(); ++i) {
        const double x = sc.weedX[i], y = sc.weedY[i], h = sc.weedH[i];
        // The phase decides which way a stalk sways first, so neighbours do not look cloned.
        const double k = sc.weedPhase[i] < kPi ? 1 : -1;
        cairo_new_path(cr);
        cairo_move_to(cr, x, y);
        cairo_curve_to(cr, x - k * 0.12 * h, y - 0.22 * h, x + k * 0.12 * h, y - 0.4 * h, x,
                       y - 0.58 * h);
        cairo_curve_to(cr, x - k * 0.12 * h, y - 0.74 * h, x + k * 0.084 * h, y - 0.88 * h, x,
                       y - h);
        cairo_set_line_width(cr, sc.weedW[i]);
        cairo_stroke(cr);
    }
}

void paintLandscape(cairo_t* cr, void* user) {
    const Scene& sc = *static_cast<const Scene*>(user);
    ++st().stats.bakes;
    const double w = sc.w, h = sc.h;
    if (sc.hasRays) {
        cairo_pattern_t* beam = cairo_pattern_create_linear(0, -24, 0, 0.92 * h);
        const std::uint32_t light = theme::lighten(sc.world->glowColor, 0.55);
        addStop(beam, 0, light, 0.22);
        addStop(beam, 1, light, 0);
        cairo_set_source(cr, beam);
        cairo_new_path(cr);
        for (int i = 0; i < 3; ++i) {
            const double x = (i + 0.7) * w / 3.4;
            cairo_move_to(cr, x - 0.03 * w, -24);
            cairo_line_to(cr, x + 0.03 * w, -24);
            cairo_line_to(cr, x + 0.24 * w, 0.92 * h);
            cairo_line_to(cr, x, 0.92 * h);
            cairo_close_path(cr);
        }
        cairo_fill(cr);
        cairo_pattern_destroy(beam);
        // The haze fades out exactly at its lower edge so it leaves no seam across the sky.
        cairo_pattern_t* haze = cairo_pattern_create_linear(0, -24, 0, 0.55 * h);
        addStop(haze, 0, light, 0.22);
        addStop(haze, 1, light, 0);
        cairo_set_source(cr, haze);
        cairo_rectangle(cr, 0, 0, w, 0.55 * h);
        cairo_fill(cr);
        cairo_pattern_destroy(haze);
    }
    ridgePath(cr, sc.far, h);
    setRgba(cr, sc.farFill, sc.farAlpha);
    cairo_fill(cr);
    for (const Prop& p : sc.props) paintProp(cr, p);
    ridgePath(cr, sc.near, h);
    setRgba(cr, sc.nearFill, sc.nearAlpha);
    cairo_fill(cr);
    paintWeeds(cr, sc);
}

// ---------------------------------------------------------------------------------------
// Shared textures and flyer sprites

void paintDot(cairo_t* cr, void*) {
    cairo_pattern_t* pat = cairo_pattern_create_radial(32, 32, 0, 32, 32, 32);
    addStop(pat, 0, 0xFFFFFF, 1);
    addStop(pat, 0.45, 0xFFFFFF, 0.55);
    addStop(pat, 1, 0xFFFFFF, 0);
    cairo_set_source(cr, pat);
    cairo_arc(cr, 32, 32, 32, 0, kTau);
    cairo_fill(cr);
    cairo_pattern_destroy(pat);
}

void paintCloud(cairo_t* cr, void*) {
    const double w = 256, h = 128;
    const double puffs[4][3] = {{0.32 * w, 0.6 * h, 0.4 * h},
                                {0.52 * w, 0.46 * h, 0.5 * h},
                                {0.72 * w, 0.62 * h, 0.36 * h},
                                {0.5 * w, 0.72 * h, 0.3 * h}};
    for (const auto& p : puffs) {
        cairo_pattern_t* pat = cairo_pattern_create_radial(p[0], p[1], 0, p[0], p[1], p[2]);
        addStop(pat, 0, 0xFFFFFF, 0.95);
        addStop(pat, 0.55, 0xFFFFFF, 0.75);
        addStop(pat, 1, 0xFFFFFF, 0);
        cairo_set_source(cr, pat);
        cairo_new_path(cr);
        cairo_arc(cr, p[0], p[1], p[2], 0, kTau);
        cairo_fill(cr);
        cairo_pattern_destroy(pat);
    }
}

void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, kTau);
    cairo_restore(cr);
}

void triangle(cairo_t* cr, double x1, double y1, double x2, double y2, double x3, double y3) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_line_to(cr, x3, y3);
    cairo_close_path(cr);
}

void fillNow(cairo_t* cr, std::uint32_t rgb, double alpha = 1) {
    setRgba(cr, rgb, alpha);
    cairo_fill(cr);
}

void paintGullBody(cairo_t* cr, void*) {
    ellipse(cr, 33, 30.5, 17, 6.5);
    fillNow(cr, 0xF6F6F2);
    triangle(cr, 20, 27, 8, 22, 10, 32);
    fillNow(cr, 0xE4E4DE);
    disc(cr, 50, 26, 6.5);
    fillNow(cr, 0xFFFFFF);
    triangle(cr, 55, 24, 64, 27, 55, 30);
    fillNow(cr, 0xF2B53C);
    disc(cr, 52.5, 24.5, 1.7);
    fillNow(cr, 0x22180E);
}

void paintBat(cairo_t* cr, void*) {
    ellipse(cr, 26, 16, 8.6, 6.4);
    fillNow(cr, 0x9A7AC4, 0.55);
    ellipse(cr, 26, 16, 7, 5);
    triangle(cr, 22, 11, 24, 3, 28, 11);
    triangle(cr, 30, 11, 34, 3, 35, 11);
    fillNow(cr, 0x50336F);
    disc(cr, 34, 17, 3.4);
    fillNow(cr, 0x6A4A92);
    disc(cr, 27, 15, 1.5);
    disc(cr, 32, 15, 1.5);
    fillNow(cr, 0xFFD23D);
}

void paintFish(cairo_t* cr, void*) {
    ellipse(cr, 26, 17, 18, 9);
    fillNow(cr, 0xFFA54D);
    cairo_move_to(cr, 10, 17);
    cairo_line_to(cr, 0, 8);
    cairo_line_to(cr, 2, 17);
    cairo_line_to(cr, 0, 26);
    cairo_close_path(cr);
    fillNow(cr, 0xFF8A2B);
    triangle(cr, 24, 9, 30, 2, 33, 11);
    fillNow(cr, 0xFFC07A);
    disc(cr, 38, 15, 2);
    fillNow(cr, 0x2A1A0E);
}

struct WingArgs {
    double w = 0, h = 0;
    std::uint32_t color = 0;
};

const WingArgs kGullFarWing{22, 14, 0xD0D0C8};
const WingArgs kGullNearWing{26, 16, 0xFFFFFF};
const WingArgs kBatFarWing{34, 20, 0x462C66};
const WingArgs kBatNearWing{34, 20, 0x6B47A0};

// The cache hands paint functions a plain pointer; the wing tables are only read.
void* wingArg(const WingArgs& a) {
    return const_cast<WingArgs*>(&a);
}

void paintWing(cairo_t* cr, void* user) {
    const WingArgs& a = *static_cast<const WingArgs*>(user);
    const double w = a.w, h = a.h;
    cairo_move_to(cr, 0.25 * w, h);
    cairo_curve_to(cr, 0.083 * w, 0.57 * h, 0.15 * w, 0.24 * h, 0.45 * w, 2);
    cairo_curve_to(cr, 0.82 * w, 0.2 * h, 0.93 * w, 0.53 * h, 0.78 * w, h);
    cairo_close_path(cr);
    fillNow(cr, a.color);
}

void paintBatWing(cairo_t* cr, void* user) {
    const WingArgs& a = *static_cast<const WingArgs*>(user);
    const double w = a.w, h = a.h;
    cairo_move_to(cr, w, 0.45 * h);
    cairo_curve_to(cr, 0.7 * w, 0.02 * h, 0.3 * w, 0.05 * h, 1, 0.3 * h);
    cairo_line_to(cr, 0.26 * w, 0.86 * h);
    cairo_line_to(cr, 0.44 * w, 0.52 * h);
    cairo_line_to(cr, 0.6 * w, 0.95 * h);
    cairo_line_to(cr, 0.74 * w, 0.56 * h);
    cairo_line_to(cr, 0.88 * w, 0.92 * h);
    cairo_close_path(cr);
    fillNow(cr, a.color);
}

struct VeiledPaint {
    PaintFn paint = nullptr;
    void* user = nullptr;
};

// The sprite as it looks under the screen veil, so that it can be drawn over a picture
// whose veil is baked in.
void paintVeiled(cairo_t* cr, void* user) {
    const VeiledPaint& v = *static_cast<const VeiledPaint*>(user);
    v.paint(cr, v.user);
    cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
    setRgba(cr, kScreenVeil, kScreenVeilAlpha);
    cairo_paint(cr);
}

// A sprite painted once for a fixed logical canvas, at the current scale; its veiled twin
// when veiled is set.
SDL_Texture* sprite(bool veiled, const char* key, double w, double h, PaintFn paint,
                    void* user = nullptr) {
    const int wPx = static_cast<int>(w * gpuScale());
    const int hPx = static_cast<int>(h * gpuScale());
    if (!veiled) return gpuTexture(key, wPx, hPx, paint, user);
    VeiledPaint v{paint, user};
    return gpuTexture(std::string(key) + "_v", wPx, hPx, paintVeiled, &v);
}

SDL_Texture* cloudTexture() {
    return gpuTexture("scene_cloud", static_cast<int>(std::lround(256 * gpuScale())),
                      static_cast<int>(std::lround(128 * gpuScale())), paintCloud, nullptr);
}

SDL_Texture* dotTexture() {
    const int px = static_cast<int>(std::lround(64 * gpuScale()));
    return gpuTexture("scene_dot", px, px, paintDot, nullptr);
}


// ---------------------------------------------------------------------------------------
// The day cycle

// Distance between two phases on the day's circle.
double phaseDistance(double p, double centre) {
    const double d = std::fabs(p - centre);
    return std::min(d, 1 - d);
}

struct DayOverride {
    bool set = false;
    double phase = 0;
};

const DayOverride& dayOverride() {
    static const DayOverride o = [] {
        DayOverride r;
        r.set = parseDayOverride(std::getenv("PLUMBRIX_DAY"), &r.phase);
        return r;
    }();
    return o;
}

// The kind named by PLUMBRIX_FLYER, read once; -1 when unset.
int flyerOverride() {
    static const int kind = [] {
        const char* v = std::getenv("PLUMBRIX_FLYER");
        if (v == nullptr) return -1;
        const std::string s = v;
        if (s == "bat") return static_cast<int>(Flyer::Bat);
        if (s == "fish") return static_cast<int>(Flyer::Fish);
        if (s == "star") return static_cast<int>(Flyer::Star);
        return static_cast<int>(Flyer::Gull);
    }();
    return kind;
}

const char* flyerName(Flyer f) {
    switch (f) {
        case Flyer::Gull:
            return "gull";
        case Flyer::Fish:
            return "fish";
        case Flyer::Star:
            return "star";
        case Flyer::Bat:
            return "bat";
    }
    return "gull";
}

// ---------------------------------------------------------------------------------------
// The frame

std::uint32_t gradientAt(const std::vector<std::uint32_t>& g, double pos) {
    if (g.empty()) return 0;
    if (g.size() == 1 || pos <= 0) return g.front();
    const double last = static_cast<double>(g.size() - 1);
    if (pos >= last) return g.back();
    const auto i = static_cast<std::size_t>(pos);
    return theme::mix(g[i], g[i + 1], pos - static_cast<double>(i));
}

// How a sprite drawn over the baked picture stands in for one painted beneath the veils
// the bake already holds.
enum class Under : int {
    Nothing = 0,  // painted into the bake itself, before its veils
    Screen = 1,   // beneath the screen veil
    Both = 2,     // beneath the night veil and the screen veil
};

struct Frame {
    double w = 0, h = 0, u = 1, t = 0;
    double night = 0, sunset = 0, sunrise = 0, phase = 0;
    double veil = 0;  // the screen veil's strength
    Under under = Under::Nothing;
    SDL_Texture* dot = nullptr;
    double nightVeil() const { return night > 0.02 ? 0.42 * night : 0; }
};

// A white sprite tinted rgb and then veiled looks like one tinted with the veiled colour;
// an added light is dimmed by what the veils keep.
struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb veiled(const Frame& f, std::uint32_t rgb) {
    Rgb c{static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
          static_cast<double>(rgb & 0xFF)};
    auto over = [&c](std::uint32_t v, double a) {
        c.r += (static_cast<double>((v >> 16) & 0xFF) - c.r) * a;
        c.g += (static_cast<double>((v >> 8) & 0xFF) - c.g) * a;
        c.b += (static_cast<double>(v & 0xFF) - c.b) * a;
    };
    if (f.under == Under::Both) over(kNightVeil, f.nightVeil());
    if (f.under != Under::Nothing) over(kScreenVeil, f.veil);
    return c;
}

void blitVeiled(const Frame& f, SDL_Texture* tex, double x, double y, double w, double h,
                std::uint32_t rgb, double alpha) {
    const Rgb c = veiled(f, rgb);
    gpuBlitTintedRgb(tex, x, y, w, h, c.r, c.g, c.b, alpha);
}

double veiledLight(const Frame& f) {
    double k = 1;
    if (f.under == Under::Both) k *= 1 - f.nightVeil();
    if (f.under != Under::Nothing) k *= 1 - f.veil;
    return k;
}

Frame under(const Frame& f, Under u) {
    Frame g = f;
    g.under = u;
    return g;
}

void dotTinted(const Frame& f, double cx, double cy, double side, std::uint32_t rgb, double alpha) {
    blitVeiled(f, f.dot, cx - side / 2, cy - side / 2, side, side, rgb, alpha);
}

// Dots larger than this are left to the renderer's own stretched copy.
constexpr int kDotMaskMaxPx = 256;

// The soft dot's coverage painted to fill the mask it is drawn on.
void paintDotMask(cairo_t* cr, void*) {
    const double k = cairo_image_surface_get_width(cairo_get_target(cr)) / 64.0;
    cairo_scale(cr, k, k);
    paintDot(cr, nullptr);
}

void dotAdditive(const Frame& f, double cx, double cy, double side, std::uint32_t rgb,
                 double alpha) {
    const double a = alpha * veiledLight(f);
    // On the software renderer's window the dot's coverage is added four pixels at a time.
    const int sidePx = static_cast<int>(std::lround(side * gpuScale()));
    if (gpuSoftware() && sidePx <= kDotMaskMaxPx) {
        int stride = 0;
        const std::uint8_t* m = gpuMask("scene_dot_mask" + std::to_string(sidePx), sidePx,
                                        sidePx, paintDotMask, nullptr, &stride);
        if (m != nullptr && gpuBlendCoverage(m, sidePx, sidePx, stride, cx - side / 2,
                                             cy - side / 2, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF,
                                             rgb & 0xFF, a, Coverage::Add))
            return;
    }
    gpuBlitAdditive(f.dot, cx - side / 2, cy - side / 2, side, side, rgb, a);
}

// The sky's colour at height fraction k (0 top, 1 bottom) under this frame's light.
std::uint32_t skyColor(const Scene& sc, const Frame& f, double k) {
    const auto& grad = sc.world->bgGradient;
    std::uint32_t c = gradientAt(grad, k * (static_cast<double>(grad.size()) - 1));
    c = theme::mix(c, 0xFF7A2E, 0.42 * f.sunset * (1 - 0.5 * k));
    c = theme::mix(c, 0xFFB08A, 0.35 * f.sunrise * (1 - 0.5 * k));
    // Night is deep blue above and violet below; the two meet in a soft band around the
    // middle instead of a hard edge that would cut the sky in half.
    const std::uint32_t dark = theme::mix(0x070A24, 0x120A2E, (k - 0.4) / 0.2);
    return theme::mix(c, dark, 0.88 * f.night);
}

// The bands that reach into top..bottom.
void drawSky(const Scene& sc, const Frame& f, double top = -1e9, double bottom = 1e9) {
    for (int i = 0; i < kSkyBands; ++i) {
        const double k = i / (kSkyBands - 1.0);
        const double y = k * f.h, h = f.h / kSkyBands + 2;
        if (y + h <= top || y >= bottom) continue;
        gpuFillRect(0, y, f.w, h, skyColor(sc, f, k), 1);
    }
}

void drawGlows(const Scene& sc, const Frame& f) {
    for (const Glow& g : sc.sky) {
        const double a = (1 - 0.7 * f.night) * g.alpha * 0.5;
        if (a <= 0.01) continue;
        dotAdditive(f, g.x, g.y, 2 * g.r, g.color, 0.55 * a);
        dotAdditive(f, g.x, g.y, 0.9 * g.r, g.innerColor, 0.5 * a);
    }
}

// The sun by day, the moon by night, on an arc from the left horizon to the right.
Orb orbAt(const Frame& f, double p) {
    const double q = p < 0.5 ? 2 * p : 2 * (p - 0.5);
    const double m = std::min(f.w, f.h);
    Orb o;
    o.x = (0.06 + 0.88 * q) * f.w;
    o.y = (0.7 - 0.44 * std::sin(kPi * q)) * f.h;
    o.moon = p >= 0.5;
    o.rho = (o.moon ? 0.055 : 0.075) * m;
    return o;
}

void drawHalo(const Frame& f, const Orb& o) {
    if (o.moon)
        dotTinted(f, o.x, o.y, 8 * o.rho, 0x9FB4FF, 0.22);
    else
        dotTinted(f, o.x, o.y, 8 * o.rho, 0xFFC76A, 0.3);
}

// The disc, and the moon's crescent shadow, lie inside this square about the centre.
double discReach(const Orb& o) {
    return 1.1 * o.rho + 2;
}

// The disc at this moment with its centre on a whole pixel: it moves a pixel at a time, as
// its copy would anyway, so the bake holds it until it has moved one.
Orb discAt(const Frame& f) {
    Orb o = orbAt(f, f.phase);
    const double scale = gpuScale();
    o.x = std::round(o.x * scale) / scale;
    o.y = std::round(o.y * scale) / scale;
    return o;
}

bool sameDisc(const Orb& a, const Orb& b) {
    return a.x == b.x && a.y == b.y && a.rho == b.rho && a.moon == b.moon;
}

void drawDisc(const Scene& sc, const Frame& f, const Orb& o) {
    if (!o.moon) {
        dotTinted(f, o.x, o.y, 2 * o.rho, 0xFFF0A8, 0.95);
        return;
    }
    const double x = o.x, y = o.y, rho = o.rho;
    dotTinted(f, x, y, 2 * rho, 0xDFE6FF, 0.95);
    // The shadow that cuts the crescent takes the colour of the sky band behind the
    // moon under the moon's own halo, so it hides the lit disc without showing as a
    // dark blot of its own (a fixed night colour would, at dusk and low in the sky).
    const int band = std::clamp(static_cast<int>(y / f.h * kSkyBands), 0, kSkyBands - 1);
    const double side = 1.7 * rho;
    blitVeiled(f, f.dot, x - 0.62 * rho, y - 1.06 * rho, side, side,
               theme::mix(skyColor(sc, f, band / (kSkyBands - 1.0)), 0x9FB4FF, 0.2), 0.9);
}

double twinkle(const Particle& s, double t) {
    return (0.5 + 0.5 * std::sin(4 * t * s.breathFreq + s.breathPhase)) * 0.65 + 0.35;
}

void drawStars(const Scene& sc, const Frame& f, double nightFactor) {
    for (const Particle& s : sc.stars) {
        dotTinted(f, s.x, s.y, 4.4 * s.r, 0xFFFFFF, twinkle(s, f.t) * s.alpha * nightFactor);
    }
}

struct CloudLook {
    SDL_Texture* from = nullptr;
    double w = 0, h = 0;
    Rgb tint;
    double alpha = 0;
};

void paintCloudLook(void* user) {
    const CloudLook& c = *static_cast<const CloudLook*>(user);
    SDL_SetTextureBlendMode(c.from, SDL_BLENDMODE_NONE);
    gpuBlitTintedRgb(c.from, 0, 0, c.w, c.h, c.tint.r, c.tint.g, c.tint.b, c.alpha);
    SDL_SetTextureBlendMode(c.from, SDL_BLENDMODE_BLEND);  // straight alpha on this renderer
}

// SDL's software renderer stretches and tints a blended copy pixel by pixel through its
// slowest path: there each cloud is kept at its own size with its tint and fade applied
// (made again when they change, one cloud a frame), so that drawing it is one plain
// blended copy.
void blitCloudSoftware(int k, SDL_Texture* cloud, double x, double y, double w, double h,
                       Rgb tint, double alpha) {
    State& s = st();
    const int wPx = static_cast<int>(std::lround(w * gpuScale()));
    const int hPx = static_cast<int>(std::lround(h * gpuScale()));
    const std::array<int, 4> look{static_cast<int>(std::lround(tint.r)),
                                  static_cast<int>(std::lround(tint.g)),
                                  static_cast<int>(std::lround(tint.b)),
                                  static_cast<int>(std::lround(255 * alpha))};
    const std::string key = "scene_cloud" + std::to_string(k);
    const bool redraw =
        !gpuCached(key) || (s.cloudLooks[k] != look && gpuFrame() % 5 == k);
    CloudLook c{cloud, w, h, tint, alpha};
    SDL_Texture* tex = gpuRenderTarget(key, wPx, hPx, paintCloudLook, &c, redraw);
    if (tex == nullptr) return;
    s.cloudLooks[k] = look;
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
    gpuBlit(tex, x, y, w, h, 1);
}

// The cloud's coverage painted to fill the mask it is drawn on.
void paintCloudMask(cairo_t* cr, void*) {
    cairo_surface_t* target = cairo_get_target(cr);
    cairo_scale(cr, cairo_image_surface_get_width(target) / 256.0,
                cairo_image_surface_get_height(target) / 128.0);
    paintCloud(cr, nullptr);
}

// On the software renderer's window a cloud is its coverage blended in its tint, four
// pixels at a time; false where that path is not open.
bool blendCloud(int k, double x, double y, double w, double h, Rgb tint, double alpha) {
    const int wPx = static_cast<int>(std::lround(w * gpuScale()));
    const int hPx = static_cast<int>(std::lround(h * gpuScale()));
    int stride = 0;
    const std::uint8_t* m =
        gpuMask("scene_cloud_mask" + std::to_string(k), wPx, hPx, paintCloudMask, nullptr, &stride);
    return m != nullptr &&
           gpuBlendCoverage(m, wPx, hPx, stride, x, y, tint.r, tint.g, tint.b, alpha);
}

// A cloud painted to fill a texture of size[0] x size[1] logical units.
void paintCloudSized(cairo_t* cr, void* user) {
    const double* size = static_cast<const double*>(user);
    cairo_scale(cr, size[0] / 256.0, size[1] / 128.0);
    paintCloud(cr, nullptr);
}

// The part of a cloud tw x th pixels large that holds paint, with a texel to spare on each
// side so that a smoothed copy loses none of its edge: the puffs leave wide clear margins.
SDL_Rect cloudInk(int tw, int th) {
    State& s = st();
    constexpr int kW = 256, kH = 128;
    if (s.cloudInk.w == 0) {
        s.cloudInk = {0, 0, kW, kH};
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
        if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
            cairo_t* cr = cairo_create(mask);
            paintCloud(cr, nullptr);
            cairo_destroy(cr);
            cairo_surface_flush(mask);
            const unsigned char* data = cairo_image_surface_get_data(mask);
            const int stride = cairo_image_surface_get_stride(mask);
            int x0 = kW, y0 = kH, x1 = 0, y1 = 0;
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    if (data[y * stride + x] == 0) continue;
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x + 1);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y + 1);
                }
            }
            if (x1 > x0 && y1 > y0) s.cloudInk = {x0, y0, x1 - x0, y1 - y0};
        }
        cairo_surface_destroy(mask);
    }
    const SDL_Rect& ink = s.cloudInk;
    const int x0 = std::max(static_cast<int>(std::floor(ink.x * tw / double{kW})) - 1, 0);
    const int y0 = std::max(static_cast<int>(std::floor(ink.y * th / double{kH})) - 1, 0);
    const int x1 = std::min(static_cast<int>(std::ceil((ink.x + ink.w) * tw / double{kW})) + 1, tw);
    const int y1 = std::min(static_cast<int>(std::ceil((ink.y + ink.h) * th / double{kH})) + 1, th);
    return {x0, y0, x1 - x0, y1 - y0};
}

struct CloudPlace {
    double x = 0, y = 0, w = 0, h = 0, alpha = 0;
};

// Renderers that draw later than asked take the clouds from one sheet, each painted at the
// size it is drawn and copied pixel for pixel, sampled nearest (filtering a stretched cloud
// costs a rasteriser on the processor nearly twice as much), and only its painted part: one
// run of copies. A sheet that cannot be made leaves the shared cloud stretched.
void drawCloudsFromSheet(const Frame& f, const std::array<CloudPlace, 5>& clouds,
                         std::uint32_t tint, SDL_Texture* cloud) {
    const Rgb look = veiled(f, tint);
    const double scale = gpuScale();
    std::array<int, 5> wPx{}, hPx{};
    int slotW = 1, slotH = 1;
    for (size_t k = 0; k < clouds.size(); ++k) {
        wPx[k] = std::max(1, static_cast<int>(std::lround(clouds[k].w * scale)));
        hPx[k] = std::max(1, static_cast<int>(std::lround(clouds[k].h * scale)));
        slotW = std::max(slotW, wPx[k]);
        slotH = std::max(slotH, hPx[k]);
    }
    for (size_t k = 0; k < clouds.size(); ++k) {
        const CloudPlace& c = clouds[k];
        double size[2] = {wPx[k] / scale, hPx[k] / scale};
        SDL_Rect part{};
        SDL_Texture* sheet = gpuSheetPicture(
            "scene_clouds", static_cast<int>(clouds.size()), 2, static_cast<int>(k),
            std::to_string(wPx[k]) + "x" + std::to_string(hPx[k]), slotW, slotH,
            paintCloudSized, size, &part);
        if (sheet == nullptr) {
            gpuBlitTintedRgb(cloud, c.x, c.y, c.w, c.h, look.r, look.g, look.b, c.alpha);
            continue;
        }
        const SDL_Rect ink = cloudInk(wPx[k], hPx[k]);
        gpuBlitTintedRgbPart(sheet, SDL_Rect{part.x + ink.x, part.y + ink.y, ink.w, ink.h},
                             c.x + ink.x / scale, c.y + ink.y / scale, ink.w / scale,
                             ink.h / scale, look.r, look.g, look.b, c.alpha);
    }
}

void drawClouds(const Scene& sc, const Frame& f, SDL_Texture* cloud) {
    core::Mulberry32 g(sc.seed * 131u);
    const std::uint32_t tint = theme::mix(0xFFFFFF, 0x2A2B5A, 0.75 * f.night);
    std::array<CloudPlace, 5> clouds;
    for (CloudPlace& c : clouds) {
        c.w = (0.22 + 0.26 * g.next()) * f.w;
        c.h = 0.42 * c.w;
        c.y = (0.05 + 0.28 * g.next()) * f.h;
        const double speed = 6 + 14 * g.next();
        const double offset = g.next() * (f.w + 2 * c.w);
        c.alpha = (0.3 + 0.22 * g.next()) * (1 - 0.45 * f.night);
        c.x = wrap(speed * f.t + offset, f.w + 2 * c.w) - c.w;
    }
    if (!gpuSoftware()) {
        drawCloudsFromSheet(f, clouds, tint, cloud);
        return;
    }
    const Rgb look = veiled(f, tint);
    for (size_t k = 0; k < clouds.size(); ++k) {
        const CloudPlace& c = clouds[k];
        const int i = static_cast<int>(k);
        if (!blendCloud(i, c.x, c.y, c.w, c.h, look, c.alpha))
            blitCloudSoftware(i, cloud, c.x, c.y, c.w, c.h, look, c.alpha);
    }
}

void drawPropLights(const Scene& sc, const Frame& f) {
    if (f.night < 0.04) return;
    for (const Prop& p : sc.props) {
        double cx = p.x, cy = p.y, halo = 0, core = 0, strength = 0;
        switch (p.kind) {
            case PropKind::Lolly:
                cy = p.y - 2.6 * p.s;
                halo = 6 * p.s;
                core = 1.6 * p.s;
                strength = 0.55;
                break;
            case PropKind::Planet:
                halo = 4.6 * p.s;
                core = 1.2 * p.s;
                strength = 0.4;
                break;
            case PropKind::Sun:
                halo = 5.4 * p.s;
                core = 1.4 * p.s;
                strength = 0.4;
                break;
            default:
                continue;
        }
        const double a = f.night * (0.78 + 0.22 * std::sin(1.5 * f.t + 0.013 * cx)) * strength;
        dotAdditive(f, cx, cy, halo, theme::lighten(p.color, 0.45), a);
        dotAdditive(f, cx, cy, core, 0xFFFFFF, 0.6 * a);
    }
}

struct Flight {
    Flyer kind = Flyer::Gull;
    double q = 0;         // progress 0..1
    double speed = 1;     // speed factor: wing beats per crossing grow with it
    double z = 1;         // size factor
    double height = 0;    // cruising height
    bool toRight = true;  // direction of travel
};

// Where a flyer is drawn now; birds, bats and fish bob on their way across.
void flyerPosition(const Flight& fl, const Frame& f, double span, double* x, double* y) {
    if (fl.kind == Flyer::Star) {
        *x = (0.1 + 0.8 * fl.q) * f.w;
        *y = (0.05 + 0.35 * fl.q * fl.q) * f.h;
        return;
    }
    const double travel = (f.w + 2 * span) * fl.q;
    *x = fl.toRight ? -span + travel : f.w + span - travel;
    *y = fl.height + 12 * f.u * std::sin(5 * kPi * fl.q);
}

double flyerSpan(const Flight& fl, const Frame& f) {
    const double k = f.u * fl.z;
    return fl.kind == Flyer::Fish ? 56 * k : 66 * k;
}

// One wing turned about its root: root is where it joins the body on the body's canvas
// (66 x 46, facing right), pivot where the root lies on the wing's own canvas.
void drawWing(SDL_Texture* tex, double ww, double wh, double pivotX, double pivotY, double rootX,
              double rootY, double x, double y, double k, bool flip, double angle, double alpha) {
    const double bx = flip ? 66 - rootX : rootX;
    const double px = flip ? ww - pivotX : pivotX;
    const double sx = x + (bx - 33) * k;
    const double sy = y + (rootY - 23) * k;
    gpuBlitPivot(tex, sx - px * k, sy - pivotY * k, ww * k, wh * k, px * k, pivotY * k,
                 flip ? -angle : angle, flip, alpha);
}

void drawFlight(const Flight& fl, const Frame& f) {
    const double k = f.u * fl.z;
    double x = 0, y = 0;
    flyerPosition(fl, f, flyerSpan(fl, f), &x, &y);
    const bool flip = !fl.toRight;
    const bool v = f.veil > 0;
    switch (fl.kind) {
        // Each sprite is fetched right before its blit: a first paint of the next one may
        // evict older cache entries.
        case Flyer::Gull: {
            const double theta = 34 * kPi * fl.speed * fl.q;
            drawWing(sprite(v, "flyer_wf", 22, 14, paintWing, wingArg(kGullFarWing)), 22, 14, 11, 13.5,
                     30, 27, x, y, k, flip, 30 * std::sin(theta + 0.7) - 35, 1);
            gpuBlitMirrored(sprite(v, "flyer_gull", 66, 46, paintGullBody), x, y, 66 * k, 46 * k, 0,
                            flip, 1);
            drawWing(sprite(v, "flyer_wn", 26, 16, paintWing, wingArg(kGullNearWing)), 26, 16, 13,
                     15.5, 36, 28.5, x, y, k, flip, 38 * std::sin(theta) - 40, 1);
            break;
        }
        case Flyer::Bat: {
            const double theta = 52 * kPi * fl.speed * fl.q;
            drawWing(sprite(v, "flyer_batwf", 34, 20, paintBatWing, wingArg(kBatFarWing)), 34, 20, 33,
                     9, 25, 13, x, y, k, flip, 34 * std::sin(theta), 0.95);
            gpuBlitMirrored(sprite(v, "flyer_bat", 66, 46, paintBat), x, y, 66 * k, 46 * k, 0, flip,
                            0.95);
            drawWing(sprite(v, "flyer_batwn", 34, 20, paintBatWing, wingArg(kBatNearWing)), 34, 20, 33,
                     9, 27, 15.5, x, y, k, flip, 26 * std::sin(theta + 0.55), 0.95);
            break;
        }
        case Flyer::Fish: {
            SDL_Texture* fish = sprite(v, "flyer_fish", 56, 34, paintFish);
            const double tilt = 6 * std::sin(24 * kPi * fl.q);
            gpuBlitMirrored(fish, x, y, 56 * k, 34 * k, flip ? -tilt : tilt, flip, 0.9);
            break;
        }
        case Flyer::Star: {
            const double b = std::min(6 * std::min(fl.q, 1 - fl.q), 1.0);
            for (int j = 0; j < 10; ++j) {
                dotAdditive(f, x - 9 * f.u * j, y - 4.5 * f.u * j, 4 * (1 - 0.09 * j) * 3.4 * f.u,
                            0xBFD8FF, 0.5 * b * (1 - 0.1 * j));
            }
            dotAdditive(f, x, y, 18 * f.u, 0xFFFFFF, b);
            break;
        }
    }
}

// Two flight slots, each crossing once per period of its own; the kind is fixed when a
// flight sets off, so a gull does not turn into a bat half-way across at dusk.
void drawFlyers(const Scene& sc, const Frame& f) {
    core::Mulberry32 g(sc.seed * 977u);
    const int forced = flyerOverride();
    for (int slot = 0; slot < 2; ++slot) {
        const double period = 30 + 24 * g.next();
        const double offset = g.next() * period;
        Flight fl;
        fl.speed = 0.45 + 1.5 * g.next();
        fl.z = 0.55 + 0.85 * g.next();
        fl.height = (0.1 + 0.3 * g.next()) * f.h;
        fl.toRight = g.next() < 0.5;
        if (forced >= 0) {
            if (slot > 0) break;
            fl.kind = static_cast<Flyer>(forced);
            fl.height = 0.14 * f.h;
            fl.toRight = true;
            fl.q = wrap(f.t, 6) / 6;
        } else {
            const double duration = std::min(10.5 / fl.speed, 0.34 * period);
            const double local = wrap(f.t + offset, period);
            if (local >= duration) continue;
            fl.q = local / duration;
            if (sc.world->id == "underwater") {
                fl.kind = Flyer::Fish;
            } else if (sc.world->id == "galaxy") {
                fl.kind = Flyer::Star;
            } else {
                const double atStart = nightAmount(dayPhase(sc.seed, f.t - local));
                fl.kind = atStart > 0.55 ? Flyer::Bat : Flyer::Gull;
            }
        }
        drawFlight(fl, f);
        if (forced >= 0) {
            const long slotNow = static_cast<long>(std::floor(f.t / 0.5));
            if (slotNow != st().lastFlyerReport) {
                st().lastFlyerReport = slotNow;
                double x = 0, y = 0;
                flyerPosition(fl, f, flyerSpan(fl, f), &x, &y);
                std::fprintf(stderr, "[flyer] %s x=%.0f y=%.0f W=%.0f H=%.0f\n", flyerName(fl.kind),
                             x, y, f.w, f.h);
            }
        }
    }
}

void drawMovers(const Scene& sc, const Frame& f) {
    const double t = f.t;
    for (const Particle& m : sc.motes) {
        const double x = m.x + m.ampX * std::sin(kTau * t * m.freqX + m.phaseX);
        const double y = m.y + m.ampY * std::sin(kTau * t * m.freqY + m.phaseY);
        const double half = (0.85 + 0.15 * std::sin(kTau * t * m.breathFreq + m.breathPhase)) * m.r;
        dotTinted(f, x, y, 2 * half, m.color, m.alpha);
    }
    drawStars(sc, f, 1);
    for (const Particle& b : sc.bubbles) {
        const double y = f.h + 20 - wrap(b.phase * (f.h + 60) + b.speed * t, f.h + 60);
        const double x = b.x + b.wobble * std::sin(0.9 * (t + 10 * b.phase));
        dotTinted(f, x, y, 2 * b.r, 0xFFFFFF, b.alpha);
    }
    if (f.night < 0.1) return;
    for (const Particle& ff : sc.fireflies) {
        const double a =
            f.night * std::max(0.0, std::sin(kTau * t * ff.breathFreq + ff.breathPhase));
        if (a <= 0.01) continue;
        const double x = ff.x + ff.ampX * std::sin(kTau * t * ff.freqX + ff.phaseX);
        const double y = ff.y + ff.ampY * std::sin(kTau * t * ff.freqY + ff.phaseY);
        dotAdditive(f, x, y, 9 * ff.r * f.u, 0xBFFF7A, 0.8 * a);
        dotTinted(f, x, y, 2.4 * ff.r * f.u, 0xE8FFB0, a);
    }
}

// ---------------------------------------------------------------------------------------
// The baked picture: everything that holds still or changes only with the slow light of
// the day (sky, glows, the halo of sun or moon, landscape, veils) in one opaque texture,
// re-baked when what it shows would visibly change.

Look lookOf(const Scene& sc, const Frame& f) {
    Look k;
    k.night = f.night;
    k.sunset = f.sunset;
    k.sunrise = f.sunrise;
    k.phase = f.phase;
    for (int i = 0; i < kSkyBands; ++i) k.bands[i] = skyColor(sc, f, i / (kSkyBands - 1.0));
    k.glow = static_cast<int>(std::lround(255 * (1 - 0.7 * f.night)));
    k.nightVeil = static_cast<int>(std::lround(255 * f.nightVeil()));
    const Orb o = orbAt(f, f.phase);
    k.haloX = o.x * gpuScale();
    k.haloY = o.y * gpuScale();
    k.moon = o.moon;
    return k;
}

// How far apart two looks are: 0 alike, 1 a step too small to notice in one frame (the
// bake follows over a few frames), 2 a jump (re-baked at once).
int lookDistance(const Look& a, const Look& b) {
    int colour = std::max(std::abs(a.glow - b.glow), std::abs(a.nightVeil - b.nightVeil));
    for (int i = 0; i < kSkyBands; ++i)
        for (int shift = 0; shift <= 16; shift += 8)
            colour = std::max(colour, std::abs(static_cast<int>((a.bands[i] >> shift) & 0xFF) -
                                               static_cast<int>((b.bands[i] >> shift) & 0xFF)));
    // The halo is soft: a few pixels of travel change none of its pixels by more than a
    // level or two.
    const double moved = std::hypot(a.haloX - b.haloX, a.haloY - b.haloY);
    if (a.moon != b.moon || colour > 8 || moved > 32) return 2;
    return colour > 0 || moved > 8 ? 1 : 0;
}

Frame frameOf(const Frame& f, const Look& k) {
    Frame g = f;
    g.night = k.night;
    g.sunset = k.sunset;
    g.sunrise = k.sunrise;
    g.phase = k.phase;
    g.under = Under::Nothing;
    return g;
}

struct Still {
    const Scene* sc = nullptr;
    Frame f;                 // under the light of the look being painted
    bool land = false;          // the landscape "scene" is there to be drawn
    const Orb* disc = nullptr;  // the disc of sun or moon to paint in its place, if any
    double top = -1e9, bottom = 1e9;  // the rows painted (the rest is clipped away)
    SDL_Texture* sky = nullptr;       // the small sky of this look, stretched, if any
};

// Sky, glows and halo: soft enough to be painted at a quarter of the window's size and
// stretched, which costs a fraction of painting them whole.
void paintSky(void* user) {
    const Still& a = *static_cast<const Still*>(user);
    drawSky(*a.sc, a.f);
    drawGlows(*a.sc, a.f);
    drawHalo(a.f, orbAt(a.f, a.f.phase));
}

constexpr int kSkyShrink = 4;

// The small sky for the look of a.f, painted afresh into "scene_sky"; null without
// render targets.
SDL_Texture* paintSmallSky(const Still& a) {
    const double scale = gpuScale();
    const int wPx = std::max(1, static_cast<int>(std::lround(a.f.w * scale)) / kSkyShrink);
    const double k = wPx / (a.f.w * scale);
    const int hPx = std::max(1, static_cast<int>(std::lround(a.f.h * scale * k)));
    gpuSetScale(scale * k);
    SDL_Texture* tex = gpuOpaqueTarget("scene_sky", wPx, hPx, paintSky,
                                       const_cast<Still*>(&a), true);
    gpuSetScale(scale);
    return tex;
}

void paintStill(void* user) {
    const Still& a = *static_cast<const Still*>(user);
    const Frame& f = a.f;
    if (a.sky != nullptr) {
        gpuCopyOpaque(a.sky, 0, 0, f.w, f.h);
    } else {
        drawSky(*a.sc, f, a.top, a.bottom);
        drawGlows(*a.sc, f);
        drawHalo(f, orbAt(f, f.phase));
    }
    if (a.disc != nullptr) drawDisc(*a.sc, f, *a.disc);
    if (a.land) gpuBlitRuns("scene", 0, 0, 1);
    if (f.nightVeil() > 0) gpuFillRect(0, 0, f.w, f.h, kNightVeil, f.nightVeil());
    if (f.veil > 0) gpuFillRect(0, 0, f.w, f.h, kScreenVeil, f.veil);
}

// The small sky as last painted, or null when it is gone.
SDL_Texture* smallSky(double scale, const Frame& f) {
    const int wPx = std::max(1, static_cast<int>(std::lround(f.w * scale)) / kSkyShrink);
    const double k = wPx / (f.w * scale);
    const int hPx = std::max(1, static_cast<int>(std::lround(f.h * scale * k)));
    if (!gpuCached("scene_sky")) return nullptr;
    return gpuOpaqueTarget("scene_sky", wPx, hPx, nullptr, nullptr, false);
}

// Paints the bake's square about the disc afresh, with the disc now in it: every layer
// from the sky up, so that it still sets behind the hills.
void moveBakedDisc(State& s, SDL_Texture* tex, const Frame& f, bool land, const Orb& disc,
                   int wPx, int hPx) {
    const Orb& was = s.bakedDisc;
    const double ro = discReach(was), rn = discReach(disc);
    const double x0 = std::min(was.x - ro, disc.x - rn), x1 = std::max(was.x + ro, disc.x + rn);
    const double y0 = std::min(was.y - ro, disc.y - rn), y1 = std::max(was.y + ro, disc.y + rn);
    const double scale = gpuScale();
    const int px0 = std::clamp(static_cast<int>(std::floor(x0 * scale)), 0, wPx);
    const int px1 = std::clamp(static_cast<int>(std::ceil(x1 * scale)), 0, wPx);
    const int py0 = std::clamp(static_cast<int>(std::floor(y0 * scale)), 0, hPx);
    const int py1 = std::clamp(static_cast<int>(std::ceil(y1 * scale)), 0, hPx);
    s.bakedDisc = disc;
    if (px1 <= px0 || py1 <= py0) return;
    Still patch{&s.scene, frameOf(f, s.strip >= 0 ? s.target : s.baked), land, &disc, y0, y1,
                smallSky(scale, f)};
    patch.f.dot = dotTexture();  // the small sky painted this frame may have evicted it
    // The window is covered by the bake's copy right after, so it may be drawn on first.
    if (!gpuDrawViaWindow(tex, px0, py0, px1 - px0, py1 - py0, paintStill, &patch))
        gpuDrawInto(tex, px0, py0, px1 - px0, py1 - py0, paintStill, &patch);
}

// Brings the bake up to date with this frame's look and disc and returns it, or null when
// no render target can be made.
SDL_Texture* bakedPicture(State& s, const Frame& f, bool land, const Orb& disc) {
    const double scale = gpuScale();
    const int wPx = static_cast<int>(std::lround(f.w * scale));
    const int hPx = static_cast<int>(std::lround(f.h * scale));
    const Look now = lookOf(s.scene, f);
    const bool fresh = !gpuCached("scene_bake") || s.bakeW != wPx || s.bakeH != hPx ||
                       s.bakeVeil != f.veil || s.bakeLand != s.stats.bakes;
    Still still;
    still.sc = &s.scene;
    still.land = land;
    if (fresh || (s.strip < 0 && lookDistance(s.baked, now) == 2) ||
        (s.strip >= 0 && lookDistance(s.target, now) == 2)) {
        profBegin("scene.bake");
        still.f = frameOf(f, now);
        still.sky = paintSmallSky(still);
        still.disc = &disc;
        // On the software renderer the whole bake is drawn on the window too (see the steps
        // below): a new screen's first frame is not held up by blending inside a target.
        SDL_Texture* tex = nullptr;
        if (gpuSoftware()) {
            tex = gpuOpaqueTarget("scene_bake", wPx, hPx, nullptr, nullptr, false);
            if (tex != nullptr && !gpuDrawViaWindow(tex, 0, 0, wPx, hPx, paintStill, &still))
                tex = nullptr;
        }
        if (tex == nullptr)
            tex = gpuOpaqueTarget("scene_bake", wPx, hPx, paintStill, &still, true);
        profEnd("scene.bake");
        if (tex == nullptr) {
            s.bakeW = 0;
            return nullptr;
        }
        s.baked = now;
        s.strip = -1;
        s.bakeW = wPx;
        s.bakeH = hPx;
        s.bakeVeil = f.veil;
        s.bakeLand = s.stats.bakes;
        s.bakedDisc = disc;
        s.lastBake = f.t;
        ++s.stats.rebakes;
        return tex;
    }
    SDL_Texture* tex = gpuOpaqueTarget("scene_bake", wPx, hPx, nullptr, nullptr, false);
    const bool due = f.t - s.lastBake >= kBakeGap || f.t < s.lastBake;
    still.f = frameOf(f, s.target);
    if (s.strip < 0 && due && lookDistance(s.baked, now) == 1) {
        s.target = now;
        s.strip = 0;
        s.lastBake = f.t;
        ++s.stats.rebakes;
        still.f = frameOf(f, s.target);
        paintSmallSky(still);
    }
    if (s.strip >= 0) {
        profBegin("scene.bake");
        still.sky = smallSky(scale, f);
        still.disc = &s.bakedDisc;
        const int y0 = hPx * s.strip / kBakeStrips;
        const int y1 = hPx * (s.strip + 1) / kBakeStrips;
        still.top = y0 / scale - 1;
        still.bottom = y1 / scale + 1;
        // The window is covered by the bake's copy right after, so it may be drawn on first.
        if (!gpuDrawViaWindow(tex, 0, y0, wPx, y1 - y0, paintStill, &still))
            gpuDrawInto(tex, 0, y0, wPx, y1 - y0, paintStill, &still);
        profEnd("scene.bake");
        if (++s.strip == kBakeStrips) {
            s.baked = s.target;
            s.strip = -1;
        }
    }
    if (tex != nullptr && !sameDisc(s.bakedDisc, disc)) {
        profBegin("scene.bake");
        moveBakedDisc(s, tex, f, land, disc, wPx, hPx);
        profEnd("scene.bake");
    }
    return tex;
}

}  // namespace

// ---------------------------------------------------------------------------------------

double Ridge::yAt(double x) const {
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n == 0) return 0;
    if (n == 1 || x <= xs[0]) return ys[0];
    if (x >= xs[n - 1]) return ys[n - 1];
    auto lerp = [](double x0, double y0, double x1, double y1, double at) {
        return x1 == x0 ? y0 : y0 + (y1 - y0) * (at - x0) / (x1 - x0);
    };
    if (jagged || n < 3) {
        std::size_t i = 0;
        while (i + 2 < n && x > xs[i + 1]) ++i;
        return lerp(xs[i], ys[i], xs[i + 1], ys[i + 1], x);
    }
    // Straight from the first point to the first midpoint, then one quadratic per inner
    // point between the midpoints around it, then straight to the last point.
    auto midX = [&](std::size_t i) { return (xs[i] + xs[i + 1]) / 2; };
    auto midY = [&](std::size_t i) { return (ys[i] + ys[i + 1]) / 2; };
    if (x <= midX(0)) return lerp(xs[0], ys[0], midX(0), midY(0), x);
    if (x >= midX(n - 2)) return lerp(midX(n - 2), midY(n - 2), xs[n - 1], ys[n - 1], x);
    std::size_t i = 1;
    while (i + 2 < n && x > midX(i)) ++i;
    const double ax = midX(i - 1), cx = xs[i], bx = midX(i);
    const double ay = midY(i - 1), cy = ys[i], by = midY(i);
    // Solve x(s) = (1-s)^2 ax + 2 s (1-s) cx + s^2 bx for s in 0..1.
    const double qa = ax - 2 * cx + bx, qb = 2 * (cx - ax), qc = ax - x;
    double s = 0;
    if (std::fabs(qa) < 1e-9) {
        s = qb == 0 ? 0 : -qc / qb;
    } else {
        const double disc = std::max(0.0, qb * qb - 4 * qa * qc);
        s = (-qb + std::sqrt(disc)) / (2 * qa);
        if (s < -1e-9 || s > 1 + 1e-9) s = (-qb - std::sqrt(disc)) / (2 * qa);
    }
    s = std::clamp(s, 0.0, 1.0);
    return (1 - s) * (1 - s) * ay + 2 * s * (1 - s) * cy + s * s * by;
}

Scene buildScene(int stage, std::uint32_t seed, double w, double h) {
    Scene sc;
    sc.stage = stage;
    sc.seed = seed;
    sc.w = w;
    sc.h = h;
    sc.world = &theme::worldForStage(stage);
    const theme::World& world = *sc.world;
    const bool galaxy = world.id == "galaxy";
    sc.jagged = galaxy;
    sc.hasRays = !galaxy;
    core::Mulberry32 g(seed * 9173u + 31u);

    sc.far = galaxy ? buildRidge(g, w, 0.58 * h, 0.16 * h, true)
                    : buildRidge(g, w, 0.66 * h, 0.05 * h, false);
    sc.near = galaxy ? buildRidge(g, w, 0.76 * h, 0.12 * h, true)
                     : buildRidge(g, w, 0.8 * h, 0.045 * h, false);

    const std::uint32_t lastStop = world.bgGradient.empty() ? world.bg : world.bgGradient.back();
    sc.farFill = theme::mix(lastStop, world.boardTint, 0.5);
    sc.farAlpha = 0.75;
    sc.nearFill = world.boardTint;
    sc.nearAlpha = 0.95;

    const double m = std::min(w, h);
    Glow first;
    first.x = (0.25 + 0.5 * g.next()) * w;
    first.y = (0.05 + 0.17 * g.next()) * h;
    first.r = (0.5 + 0.2 * g.next()) * m;
    first.color = world.glowColor;
    first.innerColor = theme::lighten(world.glowColor, 0.45);
    first.alpha = 0.85;
    sc.sky.push_back(first);
    Glow second;
    second.x = g.next() * w;
    second.y = (0.3 + 0.35 * g.next()) * h;
    second.r = (0.35 + 0.2 * g.next()) * m;
    second.color = pick(g, world.sceneryPalette);
    second.innerColor = pick(g, world.sceneryPalette);
    second.alpha = 0.4;
    sc.sky.push_back(second);

    if (galaxy) {
        for (int i = 0; i < 14; ++i) {
            Particle s;
            s.x = g.next() * w;
            s.y = g.next() * 0.62 * h;
            s.r = range(g, 0.8, 2.4);
            s.alpha = range(g, 0.5, 1.0);
            s.breathFreq = range(g, 0.6, 1.6);
            s.breathPhase = g.next() * kTau;
            sc.stars.push_back(s);
        }
    }
    if (world.id == "underwater") {
        for (int i = 0; i < 9; ++i) {
            Particle b;
            b.x = range(g, 10, w - 10);
            b.r = range(g, 4, 12);
            b.speed = range(g, 26, 60);
            b.wobble = range(g, 6, 18);
            b.phase = g.next();
            b.alpha = 0.32;
            sc.bubbles.push_back(b);
        }
    }
    for (int i = 0; i < 9; ++i) {
        Particle p;
        p.x = range(g, -30, w + 30);
        p.y = range(g, 0.14, 0.86) * h;
        p.r = range(g, 10, 34);
        p.color = pick(g, world.sceneryPalette);
        p.alpha = range(g, 0.08, 0.2);
        p.ampX = range(g, 10, 36);
        p.ampY = range(g, 6, 20);
        p.freqX = range(g, 0.015, 0.05);
        p.freqY = range(g, 0.02, 0.06);
        p.phaseX = g.next() * kTau;
        p.phaseY = g.next() * kTau;
        p.breathFreq = range(g, 0.08, 0.25);
        p.breathPhase = g.next() * kTau;
        sc.motes.push_back(p);
    }

    if (world.id == "candy") {
        addCandyProps(sc, g);
    } else if (world.id == "tropical") {
        addTropicalProps(sc, g);
    } else if (world.id == "forest") {
        addForestProps(sc, g);
    } else if (world.id == "underwater") {
        addUnderwaterProps(sc, g);
    } else if (galaxy) {
        addGalaxyProps(sc, g);
    }

    for (int i = 0; i < 12; ++i) {
        Particle ff;
        ff.x = range(g, 0.04, 0.96) * w;
        ff.y = range(g, 0.58, 0.94) * h;
        ff.r = range(g, 2, 3.5);
        ff.ampX = range(g, 14, 44);
        ff.ampY = range(g, 8, 24);
        ff.freqX = range(g, 0.04, 0.11);
        ff.freqY = range(g, 0.05, 0.14);
        ff.phaseX = g.next() * kTau;
        ff.phaseY = g.next() * kTau;
        ff.breathFreq = range(g, 0.22, 0.5);
        ff.breathPhase = g.next() * kTau;
        sc.fireflies.push_back(ff);
    }
    return sc;
}

bool parseDayOverride(const char* text, double* phase) {
    if (text == nullptr || phase == nullptr) return false;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || !std::isfinite(v)) return false;
    while (*end == ' ' || *end == '\t' || *end == '\n') ++end;
    if (*end != '\0') return false;
    *phase = wrap(v, 1.0);
    if (*phase >= 1) *phase = 0;  // a tiny negative number wraps to exactly 1.0
    return true;
}

double dayPhase(std::uint32_t seed, double t) {
    const DayOverride& o = dayOverride();
    if (o.set) return o.phase;
    return wrap((seed % 1000u) / 1000.0 + t / 240.0, 1.0);
}

double nightAmount(double p) {
    return std::clamp(1 - phaseDistance(p, 0.75) / 0.22, 0.0, 1.0);
}

double sunsetAmount(double p) {
    return std::max(0.0, 1 - phaseDistance(p, 0.52) / 0.1);
}

double sunriseAmount(double p) {
    return std::max(0.0, 1 - phaseDistance(p, 0.02) / 0.1);
}

namespace {

void drawVeiledScene(Ctx& c, int stage, std::uint32_t seed, double veil) {
    if (!(c.w >= 1) || !(c.h >= 1)) return;
    profBegin("scene");
    State& s = st();
    if (s.scene.stage != stage || s.scene.seed != seed || s.scene.w != c.w || s.scene.h != c.h) {
        s.scene = buildScene(stage, seed, c.w, c.h);
        ++s.stats.builds;
        gpuDrop("scene");
    }
    const Scene& sc = s.scene;

    Frame f;
    f.w = c.w;
    f.h = c.h;
    f.u = c.ui;
    f.t = c.t;
    f.veil = veil;
    f.phase = dayPhase(seed, c.t);
    f.night = nightAmount(f.phase);
    f.sunset = sunsetAmount(f.phase);
    f.sunrise = sunriseAmount(f.phase);

    const double scale = gpuScale();
    // The landscape is drawn only into the bake and the disc's square: it is kept as runs
    // of equal pixels, not as a window-sized texture.
    const bool land =
        gpuRunsPicture("scene", static_cast<int>(std::lround(c.w * scale)),
                       static_cast<int>(std::lround(c.h * scale)), paintLandscape, &s.scene);
    // The dot is fetched again after every request that may have painted something new,
    // since a paint can evict a dot that was itself painted only this frame.
    f.dot = dotTexture();
    const Orb disc = discAt(f);
    SDL_Texture* bake = bakedPicture(s, f, land, disc);
    f.dot = dotTexture();
    profBegin("scene.copy");
    if (bake != nullptr) {
        gpuCopyOpaque(bake, 0, 0, c.w, c.h);
    } else {
        // No render target: the same layers straight onto the frame.
        Still whole{&sc, frameOf(f, s.strip >= 0 ? s.target : s.baked), land, &disc};
        paintStill(&whole);
    }
    profEnd("scene.copy");
    profBegin("scene.sprites");
    const Frame sky = under(f, Under::Both);
    if (f.night > 0.05) drawStars(sc, sky, f.night);
    drawClouds(sc, sky, cloudTexture());
    Frame top = under(f, Under::Screen);
    top.dot = dotTexture();
    drawPropLights(sc, top);
    drawFlyers(sc, top);
    top.dot = dotTexture();
    drawMovers(sc, top);
    profEnd("scene.sprites");
    profEnd("scene");
}

}  // namespace

void drawScene(Ctx& c, int stage, std::uint32_t seed) {
    drawVeiledScene(c, stage, seed, 0);
}

void drawMenuScene(Ctx& c) {
    drawScene(c, 0, 7);
}

void drawScreenScene(Ctx& c, int stage, std::uint32_t seed) {
    drawVeiledScene(c, stage, seed, kScreenVeilAlpha);
}

SceneStats sceneStats() {
    return st().stats;
}

}  // namespace ui
