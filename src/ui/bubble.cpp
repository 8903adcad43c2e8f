#include "ui/bubble.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/storage.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/gpu.h"

namespace ui {

namespace {

using theme::MarbleSkin;

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// Margin around a marble's texture that leaves room for its contact shadow.
constexpr double kMargin = 1.12;

enum class Layer : int { All = 0, Base = 1, Pattern = 2, Gloss = 3 };

struct BubbleSpec {
    MarbleSkin skin;
    std::uint32_t color;
    double r;
    Layer layer;
    int symbol;
};

struct OrbSpec {
    double r;
};

struct ObstacleSpec {
    int kind;
    double r;
};

void circle(cairo_t* cr, double x, double y, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
}

void stop(cairo_pattern_t* p, double offset, std::uint32_t rgb, double alpha) {
    cairo_pattern_add_color_stop_rgba(p, offset, ((rgb >> 16) & 0xFF) / 255.0,
                                      ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

void body(cairo_t* cr, std::uint32_t c, double r) {
    cairo_pattern_t* g =
        cairo_pattern_create_radial(-0.34 * r, -0.36 * r, 0, -0.34 * r, -0.36 * r, 1.5 * r);
    stop(g, 0.0, theme::lighten(c, 0.62), 1);
    stop(g, 0.28, theme::lighten(c, 0.35), 1);
    stop(g, 0.58, c, 1);
    stop(g, 0.85, theme::darken(c, 0.4), 1);
    stop(g, 1.0, theme::darken(c, 0.62), 1);
    cairo_new_path(cr);
    circle(cr, 0, 0, r);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

// A closed star of 2 x points vertices alternating between two distances, the first long
// point straight up.
void starPath(cairo_t* cr, int points, double outer, double inner) {
    cairo_new_path(cr);
    const int n = 2 * points;
    for (int i = 0; i < n; ++i) {
        const double a = i * kPi / points - kPi / 2;
        const double d = (i % 2 == 0) ? outer : inner;
        if (i == 0)
            cairo_move_to(cr, d * std::cos(a), d * std::sin(a));
        else
            cairo_line_to(cr, d * std::cos(a), d * std::sin(a));
    }
    cairo_close_path(cr);
}

void pattern(cairo_t* cr, MarbleSkin skin, double r) {
    if (skin == MarbleSkin::Bubble) {
        struct Ring {
            double x, y, radius, width, alpha;
            bool dot;
            double dx, dy, dr, dalpha;
        };
        const Ring rings[3] = {
            {0.35, 0.15, 0.16, 0.04, 0.5, true, 0.29, 0.09, 0.035, 0.7},
            {-0.05, 0.45, 0.12, 0.035, 0.45, true, -0.1, 0.4, 0.028, 0.65},
            {-0.42, -0.35, 0.08, 0.03, 0.4, false, 0, 0, 0, 0},
        };
        for (const Ring& g : rings) {
            cairo_new_path(cr);
            circle(cr, g.x * r, g.y * r, g.radius * r);
            setColor(cr, kWhite, g.alpha);
            cairo_set_line_width(cr, std::max(g.width * r, 1.0));
            cairo_stroke(cr);
            if (g.dot) {
                circle(cr, g.dx * r, g.dy * r, g.dr * r);
                setColor(cr, kWhite, g.dalpha);
                cairo_fill(cr);
            }
        }
    } else if (skin == MarbleSkin::Crystal) {
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        starPath(cr, 4, 0.55 * r, 0.18 * r);
        setColor(cr, kWhite, 0.16);
        cairo_fill_preserve(cr);
        setColor(cr, kWhite, 0.6);
        cairo_set_line_width(cr, std::max(0.03 * r, 1.0));
        cairo_stroke(cr);
        starPath(cr, 4, 0.3 * r, 0.1 * r);
        setColor(cr, kWhite, 0.35);
        cairo_set_line_width(cr, std::max(0.022 * r, 1.0));
        cairo_stroke(cr);
    }
}

void gloss(cairo_t* cr, std::uint32_t c, double r) {
    cairo_pattern_t* low =
        cairo_pattern_create_radial(0.3 * r, 0.55 * r, 0, 0.3 * r, 0.55 * r, 0.45 * r);
    stop(low, 0, kWhite, 0.3);
    stop(low, 1, kWhite, 0);
    cairo_new_path(cr);
    circle(cr, 0.3 * r, 0.55 * r, 0.45 * r);
    cairo_set_source(cr, low);
    cairo_fill(cr);
    cairo_pattern_destroy(low);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 0.93 * r, kPi / 12, 11 * kPi / 12);
    setColor(cr, theme::darken(c, 0.62), 0.5);
    cairo_set_line_width(cr, std::max(0.07 * r, 1.2));
    cairo_stroke(cr);

    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 0.82 * r, -2 * kPi / 45, 49 * kPi / 90);
    setColor(cr, kWhite, 0.5);
    cairo_set_line_width(cr, std::max(0.085 * r, 1.2));
    cairo_stroke(cr);

    cairo_save(cr);
    cairo_translate(cr, -0.36 * r, -0.42 * r);
    cairo_rotate(cr, -0.6);
    cairo_scale(cr, 1, 0.72);
    cairo_pattern_t* hi = cairo_pattern_create_radial(0, 0, 0, 0, 0, 0.36 * r);
    stop(hi, 0, kWhite, 0.9);
    stop(hi, 0.45, kWhite, 0.28);
    stop(hi, 1, kWhite, 0);
    cairo_new_path(cr);
    circle(cr, 0, 0, 0.36 * r);
    cairo_set_source(cr, hi);
    cairo_fill(cr);
    cairo_pattern_destroy(hi);
    cairo_restore(cr);

    cairo_new_path(cr);
    circle(cr, -0.42 * r, -0.47 * r, 0.1 * r);
    setColor(cr, kWhite, 0.95);
    cairo_fill(cr);
    circle(cr, -0.16 * r, -0.56 * r, 0.045 * r);
    setColor(cr, kWhite, 0.6);
    cairo_fill(cr);
}

// A white symbol in a dark rim: it reads on every marble colour and in grey alike.
void paintSymbol(cairo_t* cr, int k, double r) {
    if (k < 0) return;
    cairo_save(cr);
    marbleSymbolPath(cr, k, r);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColor(cr, 0x141018, 0.9);
    cairo_set_line_width(cr, std::max(0.16 * r, 1.6));
    cairo_stroke_preserve(cr);
    setColor(cr, kWhite, 1.0);
    cairo_fill(cr);
    cairo_restore(cr);
}

void paintBubble(cairo_t* cr, void* user) {
    const BubbleSpec& s = *static_cast<const BubbleSpec*>(user);
    const double r = s.r;
    cairo_save(cr);
    cairo_translate(cr, kMargin * r, kMargin * r);
    if (s.layer == Layer::All || s.layer == Layer::Base) {
        // Contact shadow: three soft black discs a fixed two units below the centre.
        const double grow[3] = {1.8, 1.2, 0.6};
        for (double g : grow) {
            cairo_new_path(cr);
            circle(cr, 0, 2.0, r + g);
            setColor(cr, 0x000000, 0.14);
            cairo_fill(cr);
        }
        body(cr, s.color, r);
    }
    if (s.layer == Layer::All || s.layer == Layer::Pattern) pattern(cr, s.skin, r);
    if (s.layer == Layer::All || s.layer == Layer::Gloss) {
        paintSymbol(cr, s.symbol, r);
        gloss(cr, s.color, r);
    }
    cairo_restore(cr);
}

// Pixel edge of a square sprite for a logical edge, or 0 when it would be under a pixel
// (NaN and absurd sizes included).
int spritePx(double logicalEdge) {
    const double px = gpuScale() * logicalEdge;
    if (!(px >= 0.5) || px > 16384.0) return 0;
    return static_cast<int>(std::lround(px));
}

SDL_Texture* bubbleLayer(MarbleSkin skin, std::uint32_t colour, double r, Layer layer, int sym) {
    const int px = spritePx(2 * r * kMargin);
    if (px < 1) return nullptr;
    if (layer == Layer::Base || layer == Layer::Pattern) sym = -1;  // shared by every symbol
    char key[64];
    const int n =
        std::snprintf(key, sizeof key, "bub_%d_%06x_%d_%d", static_cast<int>(skin),
                      static_cast<unsigned>(colour & 0xFFFFFF), px, static_cast<int>(layer));
    if (sym >= 0 && n > 0) std::snprintf(key + n, sizeof key - n, "_s%d", sym);
    BubbleSpec look{skin, colour & 0xFFFFFF, r, layer, sym};
    return gpuTexture(key, px, px, paintBubble, &look);
}

void paintOrb(cairo_t* cr, void* user) {
    const double r = static_cast<const OrbSpec*>(user)->r;
    cairo_save(cr);
    cairo_translate(cr, r, r);
    cairo_pattern_t* halo = cairo_pattern_create_radial(0, 0, 0, 0, 0, r);
    cairo_pattern_add_color_stop_rgba(halo, 0, 1.0, 0.95, 0.6, 0.85);
    cairo_pattern_add_color_stop_rgba(halo, 0.55, 1.0, 0.84, 0.25, 0.45);
    cairo_pattern_add_color_stop_rgba(halo, 1.0, 1.0, 0.8, 0.2, 0);
    cairo_new_path(cr);
    circle(cr, 0, 0, r);
    cairo_set_source(cr, halo);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);
    starPath(cr, 5, 0.62 * r, 0.62 * r * 0.42);
    setColor(cr, 0xFFD700, 1);
    cairo_fill_preserve(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColor(cr, 0xFFF6C0, 0.9);
    cairo_set_line_width(cr, std::max(0.06 * r, 1.0));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void paintObstacle(cairo_t* cr, void* user) {
    const ObstacleSpec& s = *static_cast<const ObstacleSpec*>(user);
    const double r = s.r;
    cairo_save(cr);
    cairo_translate(cr, r, r);
    if (s.kind == 2) {  // puddle: a dark round pool with a bright rim, as wide as it swallows
        cairo_save(cr);
        cairo_pattern_t* g = cairo_pattern_create_radial(0, 0, 0, 0, 0, 0.94 * r);
        cairo_pattern_add_color_stop_rgba(g, 0, 0.13, 0.19, 0.36, 0.95);
        cairo_pattern_add_color_stop_rgba(g, 0.75, 0.09, 0.13, 0.28, 0.9);
        cairo_pattern_add_color_stop_rgba(g, 1.0, 0.05, 0.08, 0.2, 0.55);
        cairo_new_path(cr);
        circle(cr, 0, 0, 0.94 * r);
        cairo_set_source(cr, g);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(g);
        setColor(cr, 0x7FD4FF, 0.5);
        cairo_set_line_width(cr, std::max(0.08 * r, 1.0));
        cairo_stroke(cr);
        cairo_restore(cr);
    } else {
        const bool bumper = s.kind == 1;
        const std::uint32_t b = bumper ? 0xFF5FA3 : 0xA18A72;
        cairo_pattern_t* g =
            cairo_pattern_create_radial(-0.3 * r, -0.32 * r, 0, -0.3 * r, -0.32 * r, 1.3 * r);
        stop(g, 0, theme::lighten(b, 0.45), 1);
        stop(g, 0.6, b, 1);
        stop(g, 1.0, theme::darken(b, 0.5), 1);
        cairo_new_path(cr);
        circle(cr, 0, 0, 0.94 * r);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        if (bumper) {
            circle(cr, 0, 0, 0.6 * r);
            setColor(cr, kWhite, 0.75);
            cairo_set_line_width(cr, std::max(0.1 * r, 1.5));
            cairo_stroke(cr);
            circle(cr, 0, 0, 0.26 * r);
            setColor(cr, 0xFFE8F4, 0.9);
            cairo_fill(cr);
        } else {
            cairo_new_path(cr);
            cairo_move_to(cr, -0.4 * r, -0.1 * r);
            cairo_line_to(cr, -0.05 * r, 0.15 * r);
            cairo_line_to(cr, 0.3 * r, -0.05 * r);
            setColor(cr, 0x6B5A48, 0.55);
            cairo_set_line_width(cr, std::max(0.06 * r, 1.0));
            cairo_stroke(cr);
        }
        cairo_new_path(cr);
        circle(cr, -0.34 * r, -0.36 * r, 0.16 * r);
        setColor(cr, kWhite, 0.5);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

}  // namespace

int marbleSymbol(int colorIndex) {
    if (!store::settings().marbleSymbols || colorIndex < 0) return -1;
    return colorIndex % kMarbleSymbols;
}

void marbleSymbolPath(cairo_t* cr, int k, double r) {
    const double s = 0.46 * r;
    // A plus sign of arm half-width a and reach b, optionally turned into an X.
    const auto cross = [cr](double a, double b, double turn) {
        const double c = std::cos(turn);
        const double d = std::sin(turn);
        const double pts[12][2] = {{-a, -b}, {a, -b}, {a, -a}, {b, -a}, {b, a},   {a, a},
                                   {a, b},   {-a, b}, {-a, a}, {-b, a}, {-b, -a}, {-a, -a}};
        for (int i = 0; i < 12; ++i) {
            const double x = c * pts[i][0] - d * pts[i][1];
            const double y = d * pts[i][0] + c * pts[i][1];
            if (i == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        cairo_close_path(cr);
    };
    cairo_new_path(cr);
    switch (((k % kMarbleSymbols) + kMarbleSymbols) % kMarbleSymbols) {
        case 0:  // disc
            circle(cr, 0, 0, 0.8 * s);
            break;
        case 1:  // triangle, point up
            cairo_move_to(cr, 0, -1.05 * s);
            cairo_line_to(cr, 1.0 * s, 0.72 * s);
            cairo_line_to(cr, -1.0 * s, 0.72 * s);
            cairo_close_path(cr);
            break;
        case 2:  // X
            cross(0.28 * s, 1.05 * s, kPi / 4);
            break;
        case 3:  // plus
            cross(0.28 * s, 1.0 * s, 0);
            break;
        case 4:  // ring
            circle(cr, 0, 0, 1.0 * s);
            circle(cr, 0, 0, 0.5 * s);
            break;
        default:  // two bars
            cairo_rectangle(cr, -0.95 * s, -0.75 * s, 1.9 * s, 0.55 * s);
            cairo_rectangle(cr, -0.95 * s, 0.2 * s, 1.9 * s, 0.55 * s);
            break;
    }
}

void drawBubble(MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r, double alpha,
                int symbol) {
    SDL_Texture* tex = bubbleLayer(skin, colour, r, Layer::All, symbol);
    const double e = 2 * r * kMargin;
    gpuBlit(tex, cx - e / 2, cy - e / 2, e, e, alpha);
}

void drawBubbleSpun(MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r,
                    double angle, double alpha, int symbol) {
    const double a = std::fmod(angle, 360.0);
    if (!(std::fabs(a) >= 0.05)) {  // a NaN angle, too, draws the marble unturned
        drawBubble(skin, colour, cx, cy, r, alpha, symbol);
        return;
    }
    const double e = 2 * r * kMargin;
    // Blit each layer right after fetching it: a later fetch may evict an earlier texture.
    gpuBlit(bubbleLayer(skin, colour, r, Layer::Base, -1), cx - e / 2, cy - e / 2, e, e, alpha);
    gpuBlitRotated(bubbleLayer(skin, colour, r, Layer::Pattern, -1), cx, cy, e, e, a, alpha);
    gpuBlit(bubbleLayer(skin, colour, r, Layer::Gloss, symbol), cx - e / 2, cy - e / 2, e, e,
            alpha);
}

SDL_Texture* bubbleTexture(MarbleSkin skin, std::uint32_t colour, double d, int symbol) {
    return bubbleLayer(skin, colour, d / 2, Layer::All, symbol);
}

void drawStarOrb(double cx, double cy, double r, double t) {
    const int px = spritePx(2 * r);
    if (px < 1) return;
    char key[32];
    std::snprintf(key, sizeof key, "orb_%d", px);
    OrbSpec look{r};
    SDL_Texture* tex = gpuTexture(key, px, px, paintOrb, &look);
    const double e = (0.86 + 0.14 * std::sin(2.2 * t)) * 2 * r;
    gpuBlit(tex, cx - e / 2, cy - e / 2, e, e, 0.9);
}

void drawObstacle(int kind, double cx, double cy, double r, double t) {
    const int px = spritePx(2 * r);
    if (px < 1) return;
    char key[32];
    std::snprintf(key, sizeof key, "obs_%d_%d", kind, px);
    ObstacleSpec look{kind, r};
    SDL_Texture* tex = gpuTexture(key, px, px, paintObstacle, &look);
    double e = 2 * r;
    if (kind == 1) e *= 1 + 0.04 * std::sin(3.4 * t);
    gpuBlit(tex, cx - e / 2, cy - e / 2, e, e, 1.0);
}

void paintBubbleCairo(cairo_t* cr, MarbleSkin skin, std::uint32_t colour, double x, double y,
                      double r, int sym) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    body(cr, colour & 0xFFFFFF, r);
    pattern(cr, skin, r);
    paintSymbol(cr, sym, r);
    gloss(cr, colour & 0xFFFFFF, r);
    cairo_restore(cr);
}

void drawShooter(cairo_t* cr, double x, double y, double r, double angle, std::uint32_t colour,
                 const theme::World& world, int sym) {
    cairo_save(cr);
    const double D = 3.1 * r;
    if (D > 0) {  // a zero-size plate would make the squash matrix singular
        cairo_save(cr);
        cairo_translate(cr, x, y + 0.35 * r);
        cairo_scale(cr, 1, 1.5 * r / D);
        cairo_pattern_t* g = cairo_pattern_create_radial(0, -0.2 * D, 0, 0, 0, 0.5 * D);
        stop(g, 0, theme::lighten(world.glowColor, 0.5), 0.95);
        stop(g, 1, theme::darken(world.boardTint, 0.15), 0.95);
        cairo_new_path(cr);
        circle(cr, 0, 0, 0.5 * D);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        cairo_restore(cr);
    }

    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle + kPi / 2);
    fillRoundedRect(cr, Rect{-0.42 * r, -1.75 * r, 0.84 * r, 1.6 * r}, 0.4 * r,
                    theme::lighten(world.glowColor, 0.25), 0.9);
    fillRoundedRect(cr, Rect{-0.24 * r, -1.7 * r, 0.48 * r, 1.4 * r}, 0.24 * r, kWhite, 0.35);
    cairo_restore(cr);

    paintBubbleCairo(cr, world.marbleSkin, colour, x, y, r, sym);
    cairo_restore(cr);
}

}  // namespace ui
