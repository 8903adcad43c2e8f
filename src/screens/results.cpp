#include "screens/results.h"

#include <algorithm>

#include "core/storage.h"
#include "ui/widgets.h"

namespace ui {

double resultCompactFactor(const Ctx& c) {
    const double k = c.h < 620 ? 0.7 : 1.0;
    // The tallest column (game over with a new record, and its buttons) takes about 530
    // units; a window with room for it grows a shrunk column back towards its full size,
    // so that its small lines stay readable.
    const double room = std::min(c.h / 600, 1.0) / c.ui;
    return std::max(k, room);
}

double resultSize(const Ctx& c, double n) {
    return n * resultCompactFactor(c) * c.ui;
}

TextStyle resultText(const Ctx& c, double size, std::uint32_t color, bool bold) {
    TextStyle st;
    st.family = kWidgetFont;
    st.size = size;
    st.bold = bold;
    st.color = color;
    st.alpha = 1.0;
    st.minScale = 0.6;
    st.maxWidth = std::max(c.w - c.s(32), 1.0);
    return st;
}

std::array<Rect, 3> resultButtons(const Ctx& c, double columnEnd) {
    const double bw = std::min(c.w - c.s(64), c.s(320));
    const double bh = resultSize(c, 48);
    const double gap = resultSize(c, 10);
    const double top =
        std::min(c.h - (3 * bh + 2 * gap) - resultSize(c, 24), columnEnd + resultSize(c, 10));
    std::array<Rect, 3> out;
    for (int i = 0; i < 3; ++i) out[i] = Rect{c.w / 2 - bw / 2, top + i * (bh + gap), bw, bh};
    return out;
}

void drawResultMascot(Ctx& c, Mood mood, Trick trick, double trickAge) {
    const double x = c.w / 2 + std::min(c.s(240), 0.3 * c.w);
    const double size = std::min(0.16 * c.w, c.s(130));
    drawMascot(c, x, 0.42 * c.h, size, kAccentPink, mood, 0, 0, trick, trickAge);
}

std::uint32_t freshGameSeed() {
    return static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
}

}  // namespace ui
