// The level select's page choice and tile grid, apart from its painting so that both can
// be checked for any unlocked count and any window.
#pragma once

#include "ui/app.h"

namespace ui {

inline constexpr int kLevelPages = 5;
inline constexpr int kTilesPerPage = 20;

// The page that holds the newest playable level for an unlocked count (0..4).
int levelSelectOpeningPage(int unlocked);

// The grid of one page's tiles in a w x h window at interface scale u, below a header
// whose bottom edge is at headerBottom: 2 to 5 columns of tiles about 190u wide, centred
// vertically in the space above the page bar.
struct LevelGrid {
    int columns = 0;
    int rows = 0;
    double margin = 0;
    double gap = 0;
    double tileW = 0;
    double tileH = 0;  // never negative, however small the window
    double top = 0;
    // The rectangle of tile i (0..19) of a page.
    Rect tile(int i) const;
};
LevelGrid levelGrid(double w, double h, double u, double headerBottom);

}  // namespace ui
