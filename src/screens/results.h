// What the three result screens (solved, game over, ending) share: the compact factor of
// their layout, the column of three buttons under the text, the mascot's place beside the
// column, the text style they all use and the seed of a fresh game.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/app.h"
#include "ui/decor.h"
#include "ui/draw.h"

namespace ui {

// The layout factor k: 0.7 when the window is lower than 620 units, 1 otherwise, but
// where the window has the room, at least enough for k·Ctx::ui to reach min(h / 600, 1).
// Sizes written as n·k are n·k·Ctx::ui.
double resultCompactFactor(const Ctx& c);

// n·k·u for this frame.
double resultSize(const Ctx& c, double n);

// A centred result text: the widget family, alpha 1, minScale 0.6, shrunk to the window
// width less the margins.
TextStyle resultText(const Ctx& c, double size, std::uint32_t color, bool bold);

// The three stacked buttons, centred on the window: width min(w − 64u, 320u), height 48k,
// gap 10k; the first starts 10k below columnEnd, or higher when the column would push the
// last one closer than 24k to the bottom edge.
std::array<Rect, 3> resultButtons(const Ctx& c, double columnEnd);

// The mascot beside the text column of the solved and game-over screens.
void drawResultMascot(Ctx& c, Mood mood, Trick trick, double trickAge);

// A seed for a new game: the wall clock's milliseconds, kept to 31 bits.
std::uint32_t freshGameSeed();

}  // namespace ui
