// Painting of marbles, star orbs, obstacles and the launcher. Marbles, orbs and obstacles
// are painted once per look and pixel size into cached textures and blitted each frame;
// the launcher and the marbles of thumbnails and titles are painted straight into cairo.
// Lengths are logical units; colours 0xRRGGBB; alpha 0..1.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "theme.h"

struct SDL_Texture;

namespace ui {

// The whole marble centred at (cx, cy), radius r, with its contact shadow.
void drawBubble(theme::MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r,
                double alpha);
// As drawBubble with the skin pattern turned by angle degrees; light and shadow stay put.
// Angles within 0.05 degrees of a whole turn cost one blit, others three.
void drawBubbleSpun(theme::MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r,
                    double angle, double alpha);
// The complete marble texture for diameter d (null when it would be under one pixel).
SDL_Texture* bubbleTexture(theme::MarbleSkin skin, std::uint32_t colour, double d);
// A golden star orb that pulses with time t (seconds).
void drawStarOrb(double cx, double cy, double r, double t);
// An obstacle of the given kind (stone, bumper, puddle); bumpers pulse with time t.
void drawObstacle(int kind, double cx, double cy, double r, double t);
// Body, skin pattern and gloss centred at (x, y), painted directly (no shadow, no cache).
void paintBubbleCairo(cairo_t* cr, theme::MarbleSkin skin, std::uint32_t colour, double x,
                      double y, double r);
// The launcher at (x, y) aiming at angle radians (-pi/2 is straight up), loaded with a
// marble of the given colour, in the colours of the world.
void drawShooter(cairo_t* cr, double x, double y, double r, double angle, std::uint32_t colour,
                 const theme::World& world);

}  // namespace ui
