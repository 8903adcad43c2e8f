// The application icon: three of the game's marbles packed as on the board, drawn with the
// marble painter so that the icon always looks like the game. tools/make_icon.cpp writes it
// as the committed SVG and PNGs that the desktop uses.
#pragma once

#include <cairo.h>

namespace ui {

// The hicolor sizes the icon is installed at, in pixels, smallest first.
inline constexpr int kAppIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

// Paints the icon into the square (0, 0)-(size, size) of cr on a transparent background.
void paintAppIcon(cairo_t* cr, double size);

}  // namespace ui
