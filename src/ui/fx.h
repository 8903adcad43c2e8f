// The play screen's effects: short-lived particles (droplets, sparkles, shockwave rings,
// marbles falling off the board with a splash, the ghost of a popped marble) and floating
// score texts. It owns no clock: each record keeps its birth time and motion and fading are
// closed-form functions of age, so update() only discards what has expired.
// Times are Ctx::t seconds; lengths logical units; colours 0xRRGGBB.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

struct Ctx;

class Fx {
public:
    struct P {
        double x = 0, y = 0;    // start position
        double vx = 0, vy = 0;  // start velocity, units per second
        std::uint32_t color = 0;
        double bornAt = 0;
        double life = 0;
        double size = 0;  // radius
        int kind = 0;     // 0 droplet, 1 sparkle, 2 shockwave, 3 falling marble, 4 pop ghost
        double extra = 0;   // shockwave: final ring radius; falling marble: floor line y
        double extra2 = 0;  // falling marble: fall time before the splash
        int skin = 0;       // marble skin of a falling marble or pop ghost
        int symbol = -1;    // its colour symbol, -1 none (ui/bubble.h)
    };
    struct Popup {
        double x = 0, y = 0;
        std::string text;
        std::uint32_t color = 0;
        double bornAt = 0;
        bool big = false;
    };

    void droplet(double x, double y, double vx, double vy, std::uint32_t colour, double bornAt,
                 double size);
    void sparkle(double x, double y, double vx, double vy, std::uint32_t colour, double bornAt,
                 double size);
    // A ring growing to R x 2.6 x scale.
    void shockwave(double cx, double cy, std::uint32_t colour, double bornAt, double scale,
                   double R);
    // A marble of radius R falling from y0 to the floor line, then splashing on it.
    void fallingBubble(double x, double y0, double vx, std::uint32_t colour, int skin,
                       double bornAt, double floorY, double R, int symbol = -1);
    void popGhost(double cx, double cy, std::uint32_t colour, int skin, double bornAt, double R,
                  int symbol = -1);
    void popup(double x, double y, const std::string& text, std::uint32_t colour, double bornAt,
               bool big);

    // Where and how a particle shows at frame time t, worked out from its age alone.
    enum class Sprite : int { Blob = 0, Ring = 1, Marble = 2 };
    struct Pose {
        bool visible = false;  // false before its birth and for unknown kinds
        Sprite sprite = Sprite::Blob;
        double x = 0, y = 0;    // centre
        double hw = 0, hh = 0;  // half width and half height (a marble: its radius)
        std::uint32_t tint = 0;
        double alpha = 0;
        double angleDeg = 0;  // a tumbling marble's turn
    };
    static Pose pose(const P& p, double t);

    // Discards particles older than their life and popups older than 1.1 s.
    void update(Ctx& c);
    // Blits every live particle; particles born after c.t wait, undrawn.
    void drawGpu(Ctx& c);
    // Paints the popups with a soft shadow into c.cr, rising and fading.
    void drawText(Ctx& c);
    bool empty() const { return parts_.empty() && popups_.empty(); }
    void clear();

    const std::vector<P>& parts() const { return parts_; }
    const std::vector<Popup>& popups() const { return popups_; }

private:
    // A popup's text with its shadow, laid out once and composited while it rises and
    // fades: laying out two texts per popup every frame cost milliseconds.
    struct TextImage {
        std::string key;
        std::shared_ptr<cairo_surface_t> surface;
        double w = 0, h = 0;  // logical size, padding included
    };
    const TextImage& textImage(const Popup& p);

    std::vector<P> parts_;
    std::vector<Popup> popups_;
    std::vector<TextImage> images_;  // most recently made last; a few at most
};

}  // namespace ui
