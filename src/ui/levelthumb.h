// Miniatures of campaign levels for the level-select grid and the gallery.
#pragma once

#include <cairo.h>

#include "ui/app.h"

namespace ui {

// Paints the starting marbles of campaign level `level` (0..99, clamped) in its palette and
// marble skin, scaled to fit r and centred across it, rows from r's top down to the lowest
// occupied one. Draws no frame, background, star orbs, incoming rows or obstacles, and
// nothing at all when the marbles would come out half a unit or smaller.
void drawLevelThumb(cairo_t* cr, const Rect& r, int level);

}  // namespace ui
