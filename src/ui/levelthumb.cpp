#include "ui/levelthumb.h"

#include <algorithm>

#include "core/grid.h"
#include "core/levels.h"
#include "theme.h"
#include "ui/bubble.h"

namespace ui {

void drawLevelThumb(cairo_t* cr, const Rect& r, int level) {
    if (!cr) return;
    const core::LevelConfig cfg = core::levelConfig(level);
    const theme::World& world = theme::worldForLevel(cfg.flat);
    const core::LevelBoard lb = core::levelBoard(level);
    const std::vector<std::uint32_t> palette = theme::paletteForLevel(cfg.flat);
    const int cols = cfg.cols;
    if (cols <= 0 || palette.empty()) return;

    auto cellsOf = [&](int row) {
        const auto& cells = lb.board[static_cast<std::size_t>(row)];
        return std::min(static_cast<int>(cells.size()), cols);
    };
    const int rows = static_cast<int>(lb.board.size());
    int last = 0;
    for (int row = 0; row < rows; ++row) {
        const auto& cells = lb.board[static_cast<std::size_t>(row)];
        for (int col = 0; col < cellsOf(row); ++col)
            if (cells[static_cast<std::size_t>(col)] != -1) last = row;
    }

    // 1.732 rather than the exact root of three: only the occupied rows are fitted, and a
    // sparse board gets the larger marbles.
    const double R = std::min(r.h / (last * 1.732 + 2), r.w / (2.0 * cols + 1));
    if (!(R > 0.5)) return;
    const double x0 = r.x + (r.w - core::gridWidth(cols, R)) / 2;
    const double y0 = r.y + 2;
    const int n = static_cast<int>(palette.size());
    for (int row = 0; row <= last && row < rows; ++row) {
        const auto& cells = lb.board[static_cast<std::size_t>(row)];
        for (int col = 0; col < cellsOf(row); ++col) {
            const int v = cells[static_cast<std::size_t>(col)];
            if (v == -1) continue;
            // Negative codes other than -1 never occur in level data; wrap them like any
            // other out-of-palette value rather than index before the palette.
            const int idx = ((v % n) + n) % n;
            const core::Point p = core::cellCenter(row, col, R);
            paintBubbleCairo(cr, world.marbleSkin, palette[static_cast<std::size_t>(idx)], p.x + x0,
                             p.y + y0, 0.94 * R, marbleSymbol(idx));
        }
    }
}

}  // namespace ui
