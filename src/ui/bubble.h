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

// Marbles of a game may carry a symbol that tells their colour apart without colour: a
// symbol argument of 0..5 paints that one (upright, under the gloss), -1 none.
inline constexpr int kMarbleSymbols = 6;
// The symbol for marble colour index colorIndex of a game: colorIndex mod 6 while the
// player's symbols setting is on, else -1.
int marbleSymbol(int colorIndex);
// The symbol's outline centred at the origin, sized for a marble of radius r, as a path on
// cr (even-odd filled); the painters fill it white inside a dark rim.
void marbleSymbolPath(cairo_t* cr, int symbol, double r);

// The whole marble centred at (cx, cy), radius r, with its contact shadow.
void drawBubble(theme::MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r,
                double alpha, int symbol = -1);
// As drawBubble with the skin pattern turned by angle degrees; light, shadow and symbol
// stay put. Angles within 0.05 degrees of a whole turn cost one blit, others three.
void drawBubbleSpun(theme::MarbleSkin skin, std::uint32_t colour, double cx, double cy, double r,
                    double angle, double alpha, int symbol = -1);
// The complete marble texture for diameter d (null when it would be under one pixel).
SDL_Texture* bubbleTexture(theme::MarbleSkin skin, std::uint32_t colour, double d, int symbol = -1);
// A golden star orb that pulses with time t (seconds).
void drawStarOrb(double cx, double cy, double r, double t);
// An obstacle of the given kind (stone, bumper, puddle); bumpers pulse with time t.
void drawObstacle(int kind, double cx, double cy, double r, double t);
// Body, skin pattern and gloss centred at (x, y), painted directly (no shadow, no cache).
void paintBubbleCairo(cairo_t* cr, theme::MarbleSkin skin, std::uint32_t colour, double x, double y,
                      double r, int symbol = -1);
// The launcher at (x, y) aiming at angle radians (-pi/2 is straight up), loaded with a
// marble of the given colour and symbol, in the colours of the world.
void drawShooter(cairo_t* cr, double x, double y, double r, double angle, std::uint32_t colour,
                 const theme::World& world, int symbol = -1);

}  // namespace ui
