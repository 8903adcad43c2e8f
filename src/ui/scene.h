// The animated landscape behind every screen: a sky that runs through day and night with
// sunrise and sunset tints, sun or moon, glows, stars and clouds, two ridges with the props
// of the world, and things that move (flyers, motes, rising bubbles, fireflies).
//
// The still part (ridges, props, seaweed, light rays) is generated once per
// (stage, seed, window size) and painted once into the picture "scene", kept as runs of
// equal pixels.
// Sky, glows, the halo of sun or moon, that landscape and the veils are baked together
// into the opaque "scene_bake", copied whole each frame and re-baked only when the day's
// light visibly changes (small steps spread over a few frames); everything that moves is
// blitted on top each frame from the small shared textures "scene_dot" and "scene_cloud"
// and the flyer sprites, coloured as it would look beneath the baked veils. The day phase and all motion are functions of
// Ctx::t and the seed, so the same seed and time always give the same picture.
// Lengths are logical (window) units, colours 0xRRGGBB, alphas 0..1, angles degrees.
#pragma once

#include <cstdint>
#include <vector>

#include "theme.h"
#include "ui/app.h"

namespace ui {

// A soft coloured light in the sky.
struct Glow {
    double x = 0, y = 0, r = 0;
    std::uint32_t color = 0;
    std::uint32_t innerColor = 0;
    double alpha = 0;
};

// A small moving thing; each kind uses the fields it needs (motes drift and breathe, stars
// twinkle, bubbles rise and wobble, fireflies wander and blink).
struct Particle {
    double x = 0, y = 0, r = 0;
    std::uint32_t color = 0xFFFFFF;
    double alpha = 1;
    double ampX = 0, ampY = 0;
    double freqX = 0, freqY = 0;  // cycles per second
    double phaseX = 0, phaseY = 0;
    double breathFreq = 0, breathPhase = 0;
    double speed = 0;   // units per second
    double wobble = 0;  // sideways sway, units
    double phase = 0;   // 0..1
};

// A hill line through a few points, smooth (round hills) or straight (crags).
struct Ridge {
    std::vector<double> xs, ys;
    bool jagged = false;
    // The height of the drawn ridge line at x; the end heights outside the points.
    double yAt(double x) const;
};

enum class PropKind : int {
    Lolly = 0,
    Palm = 1,
    Pine = 2,
    Bush = 3,
    Coral = 4,
    Planet = 5,
    Sun = 6
};

// A piece of scenery standing at (x, y) with size s.
struct Prop {
    PropKind kind = PropKind::Lolly;
    double x = 0, y = 0, s = 0;
    std::uint32_t color = 0;
    double alpha = 1;
    bool mirror = false;  // drawn flipped left to right (palms lean towards the middle)
};

enum class Flyer : int { Gull = 0, Fish = 1, Star = 2, Bat = 3 };

// A generated landscape; stage, seed, w and h are its key.
struct Scene {
    int stage = -1;
    std::uint32_t seed = 0;
    double w = 0, h = 0;
    const theme::World* world = nullptr;
    std::vector<Glow> sky;
    std::vector<Particle> motes, stars, bubbles, fireflies;
    std::vector<Prop> props;
    Ridge far, near;
    std::uint32_t farFill = 0, nearFill = 0;
    double farAlpha = 0, nearAlpha = 0;
    std::vector<double> weedX, weedY, weedH, weedPhase, weedW;
    std::uint32_t weedColor = 0;
    bool jagged = false;   // sharp crags instead of round hills
    bool hasRays = false;  // light rays and haze from the top
};

// The landscape for stage (its world by theme::worldForStage), seed and a w x h window;
// the same arguments always give the same scene.
Scene buildScene(int stage, std::uint32_t seed, double w, double h);

// Reads a day-phase override: true with *phase in 0..1 (the number's fractional part,
// negative numbers wrapping round) for a finite number, false for anything else.
bool parseDayOverride(const char* text, double* phase);
// The day phase 0..1 at time t: PLUMBRIX_DAY when it holds a number (read once per
// process), otherwise a full day every 240 s, each seed starting at its own hour.
double dayPhase(std::uint32_t seed, double t);
// How much of the night has fallen at phase p: 1 at 0.75, 0 from 0.22 away.
double nightAmount(double p);
// Strength of the sunset tint: 1 at phase 0.52, 0 from 0.1 away.
double sunsetAmount(double p);
// Strength of the sunrise tint: 1 at phase 0.02, 0 from 0.1 away (across midnight too).
double sunriseAmount(double p);

// The full animated background of that stage's world into the renderer (never into
// c.cr), rebuilt and its landscape repainted only when stage, seed or the window size
// change.
void drawScene(Ctx& c, int stage, std::uint32_t seed);
// The main menu's landscape: stage 0, seed 7.
void drawMenuScene(Ctx& c);
// drawScene under a dark veil so that text on top stays readable.
void drawScreenScene(Ctx& c, int stage, std::uint32_t seed);

// Counters of the scene module since start: scenes generated and landscapes baked.
struct SceneStats {
    int builds = 0;
    int bakes = 0;
    int rebakes = 0;  // pictures of sky, landscape and veils baked together
};
SceneStats sceneStats();

}  // namespace ui
