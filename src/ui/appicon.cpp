#include "ui/appicon.h"

#include <cmath>

#include "theme.h"
#include "ui/bubble.h"

namespace ui {

void paintAppIcon(cairo_t* cr, double size) {
    // Red and blue below, yellow on top, touching like neighbours in the field, with a
    // small margin so that the gloss and rim are not cut at the edge.
    const double margin = size * 0.03;
    const double r = (size - 2 * margin) / 4.0;
    const double height = (2.0 + std::sqrt(3.0)) * r;
    const double bottom = size / 2 + height / 2 - r;
    const double top = bottom - std::sqrt(3.0) * r;
    const double cx = size / 2;
    const auto skin = theme::MarbleSkin::Classic;
    paintBubbleCairo(cr, skin, 0xFF4D6D, cx - r, bottom, r);
    paintBubbleCairo(cr, skin, 0x4DC6FF, cx + r, bottom, r);
    paintBubbleCairo(cr, skin, 0xFFE04D, cx, top, r);
}

}  // namespace ui
